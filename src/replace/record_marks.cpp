#include "replace/record_marks.h"

#include "core/cp932.h"

namespace tavo::replace {

RecordMarks ScanRecordPlain(std::string_view bytes) {
  RecordMarks marks;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    marks.quote |= b == '"';
    marks.blank |= b >= 0x01 && b <= 0x20;
  }
  marks.twin = Cp932HasTwinLeadPlain(bytes);
  return marks;
}

#if TAVO_SSE2
RecordMarks ScanRecordSse2(std::string_view bytes) {
  const std::size_t n = bytes.size();
  if (n < 16) return ScanRecordPlain(bytes);
  const char* p = bytes.data();
  __m128i quotes = _mm_setzero_si128();
  __m128i blanks = _mm_setzero_si128();
  __m128i twins = _mm_setzero_si128();
  // A byte plus an offset lands on the lowest signed values (80, 81, ...)
  // exactly for the bytes of a range: 01..20 for the blanks; ED..EE and
  // FA..FC (with 87) for the bytes Cp932HasTwinLead looks for.
  const auto in = [](__m128i v, int low, int count) {
    const __m128i shifted = _mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 - low)));
    return _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + count)));
  };
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i nec = _mm_set1_epi8(static_cast<char>(0x87));
  // The last sixteen bytes are read last, overlapping the ones before.
  for (std::size_t i = 0;; i += 16) {
    if (i + 16 > n) i = n - 16;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    quotes = _mm_or_si128(quotes, _mm_cmpeq_epi8(v, quote));
    blanks = _mm_or_si128(blanks, in(v, 0x01, 0x20));
    if (_mm_movemask_epi8(v) != 0) {  // only bytes from 80 on can be twins
      twins = _mm_or_si128(twins, _mm_or_si128(_mm_cmpeq_epi8(v, nec),
                                               _mm_or_si128(in(v, 0xED, 2), in(v, 0xFA, 3))));
    }
    if (i + 16 == n) break;
  }
  RecordMarks marks;
  marks.quote = _mm_movemask_epi8(quotes) != 0;
  marks.blank = _mm_movemask_epi8(blanks) != 0;
  marks.twin = _mm_movemask_epi8(twins) != 0;
  return marks;
}
#endif

}  // namespace tavo::replace

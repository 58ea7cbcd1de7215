#include "replace/record_marks.h"

#include <bit>

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

std::size_t FindRecordEndPlain(std::string_view bytes, RecordMarks& marks) {
  std::size_t at = 0;
  while (at < bytes.size() && bytes[at] != '\r' && bytes[at] != '\n') ++at;
  marks = ScanRecordPlain(bytes.substr(0, at));
  return at;
}

#if TAVO_SSE2
namespace {

// A byte plus an offset lands on the lowest signed values (80, 81, ...)
// exactly for the bytes of a range.
__m128i InRange(__m128i v, int low, int count) {
  const __m128i shifted = _mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 - low)));
  return _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + count)));
}

__m128i Quotes(__m128i v) { return _mm_cmpeq_epi8(v, _mm_set1_epi8('"')); }
__m128i Blanks(__m128i v) { return InRange(v, 0x01, 0x20); }
// The bytes Cp932HasTwinLead looks for: 87, ED..EE, FA..FC.
__m128i Twins(__m128i v) {
  return _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0x87))),
                      _mm_or_si128(InRange(v, 0xED, 2), InRange(v, 0xFA, 3)));
}

unsigned Mask(__m128i v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); }

}  // namespace

RecordMarks ScanRecordSse2(std::string_view bytes) {
  const std::size_t n = bytes.size();
  if (n < 16) return ScanRecordPlain(bytes);
  const char* p = bytes.data();
  unsigned quotes = 0;
  unsigned blanks = 0;
  unsigned twins = 0;
  // The last sixteen bytes are read last, overlapping the ones before.
  for (std::size_t i = 0;; i += 16) {
    if (i + 16 > n) i = n - 16;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    quotes |= Mask(Quotes(v));
    blanks |= Mask(Blanks(v));
    if (Mask(v) != 0) twins |= Mask(Twins(v));  // only bytes from 80 on can be twins
    if (i + 16 == n) break;
  }
  return RecordMarks{quotes != 0, blanks != 0, twins != 0};
}

std::size_t FindRecordEndSse2(std::string_view bytes, RecordMarks& marks) {
  const char* p = bytes.data();
  const std::size_t n = bytes.size();
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  unsigned quotes = 0;
  unsigned blanks = 0;
  unsigned twins = 0;
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const unsigned ends = Mask(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
    // Only the bytes before the line end count.
    const unsigned before = ends != 0 ? (1u << std::countr_zero(ends)) - 1 : 0xFFFFu;
    quotes |= Mask(Quotes(v)) & before;
    blanks |= Mask(Blanks(v)) & before;
    if ((Mask(v) & before) != 0) twins |= Mask(Twins(v)) & before;
    if (ends != 0) {
      marks = RecordMarks{quotes != 0, blanks != 0, twins != 0};
      return i + static_cast<std::size_t>(std::countr_zero(ends));
    }
  }
  const std::size_t at = i + FindRecordEndPlain(bytes.substr(i), marks);
  marks.quote |= quotes != 0;
  marks.blank |= blanks != 0;
  marks.twin |= twins != 0;
  return at;
}
#endif

}  // namespace tavo::replace

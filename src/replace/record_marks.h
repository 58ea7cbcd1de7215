// What decides how a receipt record is rewritten, found in one pass over its
// code page 932 bytes:
// - a double quote or a blank (bytes 01 to 20): a record without them comes
//   out of the split at every comma and the join again as it went in. Both
//   are single bytes below 40, never part of a double-byte code, so the bytes
//   are searched as they stand;
// - a byte that may start a code with a twin (87, ED, EE, FA, FB, FC: what
//   Cp932HasTwinLead looks for): only then can its bytes change when they are
//   decoded and encoded again.
// With SSE2 (every x86-64 CPU) sixteen bytes are examined at a time;
// elsewhere one at a time. Both give the same marks.
#pragma once

#include <bit>
#include <cstddef>
#include <string_view>

#include "core/line_breaks.h"
#include "core/simd.h"

namespace tavo::replace {

struct RecordMarks {
  bool quote = false;
  bool blank = false;
  bool twin = false;
  bool operator==(const RecordMarks&) const = default;
};

RecordMarks ScanRecordPlain(std::string_view bytes);
#if TAVO_SSE2
RecordMarks ScanRecordSse2(std::string_view bytes);
#endif

inline RecordMarks ScanRecord(std::string_view bytes) {
#if TAVO_SSE2
  return ScanRecordSse2(bytes);
#else
  return ScanRecordPlain(bytes);
#endif
}

// The first CR or LF in the bytes (or their size), and the marks of the bytes
// before it: the end of a record and its marks in one pass.
std::size_t FindRecordEndPlain(std::string_view bytes, RecordMarks& marks);
#if TAVO_SSE2
// The byte classes of the scans, sixteen bytes at a time.
namespace record_bytes {

inline unsigned Mask(__m128i v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); }
// A byte plus an offset lands on the lowest signed values (80, 81, ...)
// exactly for the bytes of a range.
inline __m128i InRange(__m128i v, int low, int count) {
  const __m128i shifted = _mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 - low)));
  return _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + count)));
}
inline __m128i Quotes(__m128i v) { return _mm_cmpeq_epi8(v, _mm_set1_epi8('"')); }
inline __m128i Blanks(__m128i v) { return InRange(v, 0x01, 0x20); }
// The bytes Cp932HasTwinLead looks for: 87, ED..EE, FA..FC.
inline __m128i Twins(__m128i v) {
  return _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0x87))),
                      _mm_or_si128(InRange(v, 0xED, 2), InRange(v, 0xFA, 3)));
}

}  // namespace record_bytes

// Inline: it runs once per record, and the loop around it keeps its constants.
inline std::size_t FindRecordEndSse2(std::string_view bytes, RecordMarks& marks) {
  const char* p = bytes.data();
  const std::size_t n = bytes.size();
  using namespace record_bytes;
  unsigned quotes = 0;
  unsigned blanks = 0;
  unsigned twins = 0;
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    // Most records hold only ASCII from 21 on, without a quote. As signed
    // bytes, the line ends, the blanks and the bytes from 80 on are all
    // below 21: sixteen bytes without them or a quote are passed at once.
    const __m128i quote = Quotes(v);
    const unsigned others = Mask(_mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x21)), quote));
    if (others == 0) continue;
    const unsigned ends = Mask(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')),
                                            _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))));
    // Only the bytes before the line end count.
    const unsigned before = ends != 0 ? (1u << std::countr_zero(ends)) - 1 : 0xFFFFu;
    if ((others & before) != 0) {
      quotes |= Mask(quote) & before;
      blanks |= Mask(Blanks(v)) & before;
      // Only bytes from 80 on can start a twin.
      if ((Mask(v) & before) != 0) twins |= Mask(Twins(v)) & before;
    }
    if (ends != 0) {
      marks = RecordMarks{quotes != 0, blanks != 0, twins != 0};
      return i + static_cast<std::size_t>(std::countr_zero(ends));
    }
  }
  const std::size_t at = i + FindCrOrLf(p + i, n - i);
  marks = ScanRecordPlain(bytes.substr(i, at - i));
  marks.quote |= quotes != 0;
  marks.blank |= blanks != 0;
  marks.twin |= twins != 0;
  return at;
}
#endif

inline std::size_t FindRecordEnd(std::string_view bytes, RecordMarks& marks) {
#if TAVO_SSE2
  return FindRecordEndSse2(bytes, marks);
#else
  return FindRecordEndPlain(bytes, marks);
#endif
}

// Where the n-th comma (n >= 1) from `from` on stands, or npos when the
// bytes, or their line (at a CR or an LF), end first: the field of a record
// that follows it. Sixteen bytes at a time with SSE2, else one at a time.
std::size_t FindNthCommaPlain(std::string_view bytes, std::size_t from, unsigned n);
#if TAVO_SSE2
std::size_t FindNthCommaSse2(std::string_view bytes, std::size_t from, unsigned n);
#endif

inline std::size_t FindNthComma(std::string_view bytes, std::size_t from, unsigned n) {
#if TAVO_SSE2
  return FindNthCommaSse2(bytes, from, n);
#else
  return FindNthCommaPlain(bytes, from, n);
#endif
}

}  // namespace tavo::replace

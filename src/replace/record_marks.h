// The two searches of the receipt run over a record's code page 932 bytes:
// - the record's end (the first CR or LF), and whether a double quote stands
//   before it: only a record with a quote needs its record name and fields
//   read without the quotes (they are dropped by the split at every comma);
// - the n-th comma, before the field that follows it.
// The quote, the comma, CR and LF are single bytes below 40, never part of a
// double-byte code, so the bytes are searched as they stand. With SSE2 (every
// x86-64 CPU) sixteen bytes are examined at a time; elsewhere one at a time.
// Both give the same answers.
#pragma once

#include <bit>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "core/line_breaks.h"
#include "core/simd.h"

namespace tavo::replace {

// The first CR or LF in the bytes (or their size); `quoted` tells whether a
// double quote stands before it.
std::size_t FindRecordEndPlain(std::string_view bytes, bool& quoted);
#if TAVO_SSE2
// Inline: it runs once per record, and the loop around it keeps its constants.
inline std::size_t FindRecordEndSse2(std::string_view bytes, bool& quoted) {
  const char* p = bytes.data();
  const std::size_t n = bytes.size();
  const auto mask = [](__m128i v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); };
  unsigned quotes = 0;
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i quote = _mm_cmpeq_epi8(v, _mm_set1_epi8('"'));
    const __m128i end = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')),
                                     _mm_cmpeq_epi8(v, _mm_set1_epi8('\n')));
    // Most sixteen bytes hold neither: one test passes them.
    if (mask(_mm_or_si128(quote, end)) == 0) continue;
    const unsigned ends = mask(end);
    if (ends == 0) {
      quotes |= mask(quote);
      continue;
    }
    const unsigned before = (1u << std::countr_zero(ends)) - 1;  // only the record's own bytes
    quoted = (quotes | (mask(quote) & before)) != 0;
    return i + static_cast<std::size_t>(std::countr_zero(ends));
  }
  const std::size_t at = i + FindCrOrLf(p + i, n - i);
  quoted = quotes != 0 || std::memchr(p + i, '"', at - i) != nullptr;
  return at;
}
#endif

inline std::size_t FindRecordEnd(std::string_view bytes, bool& quoted) {
#if TAVO_SSE2
  return FindRecordEndSse2(bytes, quoted);
#else
  return FindRecordEndPlain(bytes, quoted);
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

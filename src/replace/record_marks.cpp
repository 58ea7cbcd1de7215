#include "replace/record_marks.h"

#include <bit>

namespace tavo::replace {

std::size_t FindRecordEndPlain(std::string_view bytes, bool& quoted) {
  std::size_t at = 0;
  quoted = false;
  for (; at < bytes.size() && bytes[at] != '\r' && bytes[at] != '\n'; ++at) {
    quoted |= bytes[at] == '"';
  }
  return at;
}

std::size_t FindNthCommaPlain(std::string_view bytes, std::size_t from, unsigned n) {
  for (std::size_t i = from; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') break;
    if (c == ',' && --n == 0) return i;
  }
  return std::string_view::npos;
}

#if TAVO_SSE2
namespace {

unsigned Mask(__m128i v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); }

// The set bits of a sixteen-bit mask, in a few operations: std::popcount
// becomes a library call where the compiler may not assume the POPCNT instruction.
unsigned CountBits16(unsigned x) {
  x = x - ((x >> 1) & 0x5555u);
  x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
  x = (x + (x >> 4)) & 0x0F0Fu;
  return (x + (x >> 8)) & 0x1Fu;
}

}  // namespace

std::size_t FindNthCommaSse2(std::string_view bytes, std::size_t from, unsigned n) {
  const char* p = bytes.data();
  std::size_t i = from;
  for (; i + 16 <= bytes.size(); i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    unsigned commas = Mask(_mm_cmpeq_epi8(v, _mm_set1_epi8(',')));
    const unsigned ends = Mask(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')),
                                            _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))));
    if (ends != 0) commas &= (1u << std::countr_zero(ends)) - 1;  // the line's own commas
    const unsigned count = CountBits16(commas);
    if (count >= n) {
      while (--n != 0) commas &= commas - 1;  // drops the lower commas
      return i + static_cast<std::size_t>(std::countr_zero(commas));
    }
    if (ends != 0) return std::string_view::npos;
    n -= count;
  }
  return FindNthCommaPlain(bytes, i, n);
}
#endif

}  // namespace tavo::replace

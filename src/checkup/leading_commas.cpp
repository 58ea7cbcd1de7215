#include "checkup/leading_commas.h"

#include <bit>

namespace tavo::checkup {

std::size_t FindLeadingCommasPlain(std::string_view line, std::size_t* at, std::size_t count) {
  std::size_t found = 0;
  for (std::size_t i = 0; i < line.size() && found < count; ++i) {
    if (line[i] == ',') at[found++] = i;
  }
  return found;
}

#if TAVO_SSE2
std::size_t FindLeadingCommasSse2(std::string_view line, std::size_t* at, std::size_t count) {
  constexpr std::size_t kBlock = 16;
  const std::size_t n = line.size();
  if (n < kBlock) return FindLeadingCommasPlain(line, at, count);
  const __m128i comma = _mm_set1_epi8(',');
  std::size_t found = 0;
  // Takes the commas that `mask` marks in the block at `base`.
  auto take = [&](unsigned mask, std::size_t base) {
    while (mask != 0 && found < count) {
      at[found++] = base + static_cast<std::size_t>(std::countr_zero(mask));
      mask &= mask - 1;
    }
    return found == count;
  };
  auto block = [&](std::size_t base) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + base));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, comma)));
  };
  std::size_t i = 0;
  for (; i + kBlock <= n; i += kBlock) {
    if (take(block(i), i)) return found;
  }
  if (i < n) {
    // The last sixteen bytes of the line, without those already examined.
    const std::size_t base = n - kBlock;
    take(block(base) & (~0u << (i - base)), base);
  }
  return found;
}
#endif

}  // namespace tavo::checkup

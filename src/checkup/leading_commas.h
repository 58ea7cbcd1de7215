// The first few commas of a checkup line. A comma is one byte in UTF-8 and
// never part of a longer character, so the search runs on the bytes. With
// SSE2 (every x86-64 CPU) sixteen bytes are examined at a time; elsewhere a
// plain loop reads them one by one. Both find the same commas.
#pragma once

#include <bit>
#include <cstddef>
#include <string_view>

#include "core/simd.h"

namespace tavo::checkup {

// Writes the positions of the first `count` commas of `line` to `at` and
// returns how many it found (fewer than `count` when the line has fewer).
// Reads no byte outside the line.
inline std::size_t FindLeadingCommasPlain(std::string_view line, std::size_t* at,
                                          std::size_t count) {
  std::size_t found = 0;
  for (std::size_t i = 0; i < line.size() && found < count; ++i) {
    if (line[i] == ',') at[found++] = i;
  }
  return found;
}

#if TAVO_SSE2
inline std::size_t FindLeadingCommasSse2(std::string_view line, std::size_t* at,
                                         std::size_t count) {
  constexpr std::size_t kBlock = 16;
  const std::size_t n = line.size();
  if (n < kBlock || count == 0) return FindLeadingCommasPlain(line, at, count);
  const __m128i comma = _mm_set1_epi8(',');
  std::size_t found = 0;
  std::size_t next = 0;  // first byte not yet examined
  while (next < n) {
    // A whole block, or at the end the line's last sixteen bytes without
    // those already examined.
    const std::size_t base = next + kBlock <= n ? next : n - kBlock;
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + base));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, comma)));
    mask &= ~0u << (next - base);
    next = base + kBlock;
    for (; mask != 0; mask &= mask - 1) {
      at[found++] = base + static_cast<std::size_t>(std::countr_zero(mask));
      if (found == count) return found;
    }
  }
  return found;
}
#endif

inline std::size_t FindLeadingCommas(std::string_view line, std::size_t* at, std::size_t count) {
#if TAVO_SSE2
  return FindLeadingCommasSse2(line, at, count);
#else
  return FindLeadingCommasPlain(line, at, count);
#endif
}

}  // namespace tavo::checkup

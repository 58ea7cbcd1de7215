#include "core/line_breaks.h"

#include <bit>

#include "core/simd.h"

namespace tavo {

std::size_t FindCrOrLfPlain(const char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] == '\n' || p[i] == '\r') return i;
  }
  return n;
}

std::size_t FindCrOrLf(const char* p, std::size_t n) {
#if TAVO_SSE2
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const auto hits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
    if (hits != 0) return i + static_cast<std::size_t>(std::countr_zero(hits));
  }
  return i + FindCrOrLfPlain(p + i, n - i);
#else
  return FindCrOrLfPlain(p, n);
#endif
}

}  // namespace tavo

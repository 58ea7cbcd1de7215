#include "replace/key_find.h"

#include <bit>
#include <cstring>

namespace tavo::replace {

#if TAVO_SSE2
std::size_t FindKeySse2(std::string_view text, std::string_view key, std::size_t from) {
  const std::size_t k = key.size();
  if (k < 2 || from > text.size() || text.size() - from < k + 15) {
    return FindKeyPlain(text, key, from);
  }
  const char* t = text.data();
  const __m128i first = _mm_set1_epi8(key.front());
  const __m128i last = _mm_set1_epi8(key.back());
  const std::size_t lastStart = text.size() - k;  // the last position a key can start at
  std::size_t i = from;
  for (; i + 15 <= lastStart; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + k - 1));
    auto both = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
    while (both != 0) {
      const auto at = i + static_cast<std::size_t>(std::countr_zero(both));
      if (std::memcmp(t + at + 1, key.data() + 1, k - 2) == 0) return at;
      both &= both - 1;
    }
  }
  return FindKeyPlain(text, key, i);
}
#endif

}  // namespace tavo::replace

#include "core/leading_fields.h"

#include <algorithm>
#include <bit>

#include "core/simd.h"

namespace tavo {

namespace {

bool IsBlank(char c) { return c >= 0x01 && c <= 0x20; }

// Bit k of each mask stands for byte k of up to 64 bytes of a line.
struct Window {
  std::uint64_t delimiters = 0;
  // Blanks (01-20 other than the delimiter) unless strict, and quotes when
  // asked for: with none of them the fields are the runs between the delimiters.
  std::uint64_t odd = 0;
};

#if TAVO_SSE2
// The masks of the sixteen bytes at `p`, shifted to bit `shift` on, the
// bytes below `drop` left out.
void Add16(const char* p, char delimiter, bool strict, bool quotes, unsigned drop, unsigned shift,
           Window& w) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i delim = _mm_cmpeq_epi8(v, _mm_set1_epi8(delimiter));
  __m128i odd = quotes ? _mm_cmpeq_epi8(v, _mm_set1_epi8('"')) : _mm_setzero_si128();
  if (!strict) {
    // Signed compares: the bytes 80-FF are negative, so only 01-20 lie in (0, 21).
    const __m128i blank = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_setzero_si128()),
                                        _mm_cmplt_epi8(v, _mm_set1_epi8(0x21)));
    odd = _mm_or_si128(odd, _mm_andnot_si128(delim, blank));
  }
  auto bits = [&](__m128i m) {
    return std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(m)) >> drop} << shift;
  };
  w.delimiters |= bits(delim);
  w.odd |= bits(odd);
}
#endif

// The masks of the bytes from `from` on (up to 64) of the n at `p`.
template <bool kSse2>
Window WindowAt(const char* p, std::size_t n, std::size_t from, char delimiter, bool strict,
                bool quotes) {
  const std::size_t end = std::min(from + 64, n);
  Window w;
#if TAVO_SSE2
  if constexpr (kSse2) {
    if (n >= 16) {
      std::size_t at = from;
      for (; at + 16 <= end; at += 16) {
        Add16(p + at, delimiter, strict, quotes, 0, static_cast<unsigned>(at - from), w);
      }
      // The line's last bytes: the sixteen that end it, those before `at` dropped.
      if (at < end) {
        Add16(p + n - 16, delimiter, strict, quotes, static_cast<unsigned>(16 - (n - at)),
              static_cast<unsigned>(at - from), w);
      }
      return w;
    }
  }
#endif
  for (std::size_t k = from; k < end; ++k) {
    const std::uint64_t bit = std::uint64_t{1} << (k - from);
    if (p[k] == delimiter) {
      w.delimiters |= bit;
    } else if ((quotes && p[k] == '"') || (!strict && IsBlank(p[k]))) {
      w.odd |= bit;
    }
  }
  return w;
}

}  // namespace

template <bool kSse2>
bool LeadingFields::SplitWith(std::string_view line, char delimiter, bool strict,
                              std::size_t count) {
  if (fields_.size() < count) fields_.resize(count);
  std::string_view* const fields = fields_.data();
  const char* const p = line.data();
  const std::size_t n = line.size();
  std::size_t found = 0;

  // Nearly every line: no blank (where they count) and no quote up to the
  // last field wanted, so the fields are the runs between the delimiters.
  std::size_t start = 0;  // of the current field
  for (std::size_t base = 0; base < n && found < count; base += 64) {
    const Window w = WindowAt<kSse2>(p, n, base, delimiter, strict, true);
    const std::uint64_t odd = w.odd;
    // The delimiters before the first odd byte end their fields as they are.
    const std::uint64_t before = odd == 0 ? ~std::uint64_t{0} : (odd & (0 - odd)) - 1;
    std::uint64_t delimiters = w.delimiters & before;
    while (delimiters != 0 && found < count) {
      const std::size_t at = base + static_cast<std::size_t>(std::countr_zero(delimiters));
      fields[found++] = std::string_view(p + start, at - start);
      start = at + 1;
      delimiters &= delimiters - 1;
    }
    if (found == count) break;
    if (odd != 0) return SplitGeneral<kSse2>(line, delimiter, strict, count);
    if (base + 64 >= n) fields[found++] = std::string_view(p + start, n - start);  // the last one
  }
  size_ = found;
  return true;
}

template <bool kSse2>
bool LeadingFields::SplitGeneral(std::string_view line, char delimiter, bool strict,
                                 std::size_t count) {
  std::string_view* const fields = fields_.data();
  const char* const p = line.data();
  const std::size_t n = line.size();
  std::size_t found = 0;
  // The field ends (delimiters, and blanks unless strict) of the 64 bytes
  // from `base` on, found once for all fields there.
  std::size_t base = 0;
  std::uint64_t ends = 0;
  auto window = [&](std::size_t from) {
    base = from;
    // Quotes only matter where a field starts, which the loop looks at.
    const Window w = WindowAt<kSse2>(p, n, from, delimiter, strict, false);
    ends = w.delimiters | w.odd;
  };
  window(0);
  auto fieldEnd = [&](std::size_t from) {
    while (from < n) {
      if (from >= base + 64) window(from);
      const std::uint64_t rest = ends >> (from - base);
      if (rest != 0) return from + static_cast<std::size_t>(std::countr_zero(rest));
      from = base + 64;
    }
    return n;
  };
  auto blankAt = [&](std::size_t k) {
    return !strict && k < n && IsBlank(p[k]) && p[k] != delimiter;
  };
  std::size_t i = 0;
  while (blankAt(i)) ++i;
  while (i < n && found < count) {
    if (p[i] == '"') {
      size_ = 0;
      return false;
    }
    const std::size_t start = i;
    i = fieldEnd(i);
    fields[found++] = std::string_view(p + start, i - start);
    if (i < n && p[i] != delimiter) {
      // A blank: the next field starts after the blanks unless a delimiter follows them.
      while (blankAt(i)) ++i;
      if (i == n || p[i] != delimiter) continue;
    }
    if (i == n) break;
    // A delimiter that ends the line ends an empty field too.
    if (i + 1 == n && found < count) fields[found++] = std::string_view(p + n, 0);
    ++i;
    while (blankAt(i)) ++i;
  }
  size_ = found;
  return true;
}

bool LeadingFields::Split(std::string_view line, char delimiter, bool strict, std::size_t count) {
  return SplitWith<TAVO_SSE2 != 0>(line, delimiter, strict, count);
}

bool LeadingFields::SplitPlain(std::string_view line, char delimiter, bool strict,
                               std::size_t count) {
  return SplitWith<false>(line, delimiter, strict, count);
}

}  // namespace tavo

#include "postal/intermediate_fields.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "core/simd.h"

namespace tavo::postal {

namespace {

// Bit k of each mask stands for byte k of up to 64 bytes of a line.
struct Marks {
  std::uint64_t tabs = 0;
  std::uint64_t quotes = 0;
  std::uint64_t changes = 0;  // 87, ED-FF, comma
};

// A byte that may start a code with a twin, or a comma.
bool MayChange(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b == 0x87 || b >= 0xED || c == ',';
}

#if TAVO_SSE2
// MayChange of sixteen bytes: 87, ED-FF (the bytes that the unsigned maximum
// with ED leaves as they are) and the comma.
__m128i ChangeMarks(__m128i v) {
  return _mm_or_si128(_mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(static_cast<char>(0xED))), v),
                      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0x87))),
                                   _mm_cmpeq_epi8(v, _mm_set1_epi8(','))));
}

// The marks of the sixteen bytes at `p`, the bytes below `drop` left out,
// shifted to bit `shift` on.
void Add16(const char* p, unsigned drop, unsigned shift, Marks& m) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i tab = _mm_cmpeq_epi8(v, _mm_set1_epi8('\t'));
  const __m128i quote = _mm_cmpeq_epi8(v, _mm_set1_epi8('"'));
  auto bits = [&](__m128i x) {
    return std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(x)) >> drop} << shift;
  };
  m.tabs |= bits(tab);
  m.quotes |= bits(quote);
  m.changes |= bits(ChangeMarks(v));
}
#endif

// The marks of the bytes from `from` on (up to 64) of the n at `p`.
template <bool kSse2>
Marks MarksAt(const char* p, std::size_t n, std::size_t from) {
  const std::size_t end = std::min(from + 64, n);
  Marks m;
#if TAVO_SSE2
  if constexpr (kSse2) {
    if (n >= 16) {
      std::size_t at = from;
      for (; at + 16 <= end; at += 16) Add16(p + at, 0, static_cast<unsigned>(at - from), m);
      // The line's last bytes: the sixteen that end it, those before `at` dropped.
      if (at < end) {
        Add16(p + n - 16, static_cast<unsigned>(16 - (n - at)), static_cast<unsigned>(at - from),
              m);
      }
      return m;
    }
  }
#endif
  for (std::size_t k = from; k < end; ++k) {
    const std::uint64_t bit = std::uint64_t{1} << (k - from);
    if (p[k] == '\t') m.tabs |= bit;
    if (p[k] == '"') m.quotes |= bit;
    if (MayChange(p[k])) m.changes |= bit;
  }
  return m;
}

// The marks of a line of up to 64 bytes.
template <bool kSse2>
Marks ShortLineMarks(const char* p, std::size_t n) {
#if TAVO_SSE2
  if constexpr (kSse2) {
    if (n >= 16) {
      // Sixteen bytes at a time, the last sixteen ending the line: bytes seen
      // twice give the same bits.
      Marks m;
      const __m128i tab = _mm_set1_epi8('\t');
      const __m128i quote = _mm_set1_epi8('"');
      for (std::size_t from = 0;; from += 16) {
        const std::size_t at = std::min(from, n - 16);
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        auto bits = [&](__m128i x) {
          return std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(x))} << at;
        };
        m.tabs |= bits(_mm_cmpeq_epi8(v, tab));
        m.quotes |= bits(_mm_cmpeq_epi8(v, quote));
        m.changes |= bits(ChangeMarks(v));
        if (from + 16 >= n) return m;
      }
    }
  }
#endif
  return MarksAt<false>(p, n, 0);
}

// Of the window's 64 bytes: those that stop a field or a line (TAB, CR, LF,
// and a quote, which sends the line to the text rule), and those that may
// change when written (MayChange).
template <bool kSse2>
void WindowMarks(const char* p, std::uint64_t& stops, std::uint64_t& changes) {
  stops = 0;
  changes = 0;
#if TAVO_SSE2
  if constexpr (kSse2) {
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (unsigned at = 0; at < IntermediateFields::kWindow; at += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
      const __m128i stop =
          _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, quote)),
                       _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
      stops |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(stop))} << at;
      changes |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(ChangeMarks(v)))} << at;
    }
    return;
  }
#endif
  for (std::size_t k = 0; k < IntermediateFields::kWindow; ++k) {
    const char c = p[k];
    if (c == '\t' || c == '"' || c == '\r' || c == '\n') stops |= std::uint64_t{1} << k;
    if (MayChange(c)) changes |= std::uint64_t{1} << k;
  }
}

// Whether a bit of `marks` lies in [from, to), to below 64.
bool AnyIn(std::uint64_t marks, std::size_t from, std::size_t to) {
  return ((marks & ((std::uint64_t{1} << to) - 1)) >> from) != 0;
}

}  // namespace

template <bool kSse2>
std::size_t IntermediateFields::SplitWindowWith(const char* p) {
  std::uint64_t stops;
  std::uint64_t changes;
  WindowMarks<kSse2>(p, stops, changes);
  std::size_t start = 0;
  // The first five fields end at TABs; anything else first makes the line short or quoted.
  for (std::size_t i = 0; i + 1 < kCount; ++i) {
    if (stops == 0) return 0;
    const auto at = static_cast<std::size_t>(std::countr_zero(stops));
    if (p[at] != '\t') return 0;
    fields_[i] = std::string_view(p + start, at - start);
    changes_[i] = AnyIn(changes, start, at);
    start = at + 1;
    stops &= stops - 1;
  }
  if (stops == 0) return 0;
  auto at = static_cast<std::size_t>(std::countr_zero(stops));
  char c = p[at];
  if (c == '"') return 0;
  fields_[kCount - 1] = std::string_view(p + start, at - start);
  changes_[kCount - 1] = AnyIn(changes, start, at);
  // The line ends at the first CR or LF; TABs and quotes after the sixth field do not matter.
  while (c != '\r' && c != '\n') {
    stops &= stops - 1;
    if (stops == 0) return 0;
    at = static_cast<std::size_t>(std::countr_zero(stops));
    c = p[at];
  }
  return at + 1 + (c == '\r' && p[at + 1] == '\n');
}

std::size_t IntermediateFields::SplitWindow(const char* p) {
  return SplitWindowWith<TAVO_SSE2 != 0>(p);
}

std::size_t IntermediateFields::SplitWindowPlain(const char* p) {
  return SplitWindowWith<false>(p);
}

template <bool kSse2>
bool IntermediateFields::SplitWith(std::string_view line) {
  const char* const p = line.data();
  const std::size_t n = line.size();
  if (n <= 64) {
    // Most lines: one look at all bytes, then the fields from the marks.
    const Marks m = ShortLineMarks<kSse2>(p, n);
    std::array<std::size_t, kCount> ends;
    std::uint64_t tabs = m.tabs;
    for (std::size_t i = 0; i + 1 < kCount; ++i) {
      if (tabs == 0) return false;
      ends[i] = static_cast<std::size_t>(std::countr_zero(tabs));
      tabs &= tabs - 1;
    }
    ends[kCount - 1] = tabs == 0 ? n : static_cast<std::size_t>(std::countr_zero(tabs));
    // (countr_zero of no bits is 64, past every end.)
    if (static_cast<std::size_t>(std::countr_zero(m.quotes)) < ends[kCount - 1]) return false;
    std::size_t start = 0;
    std::uint64_t changes = m.changes;  // those from the current field's start on
    for (std::size_t i = 0; i < kCount; ++i) {
      fields_[i] = std::string_view(p + start, ends[i] - start);
      changes_[i] = static_cast<std::size_t>(std::countr_zero(changes)) < ends[i];
      if (i + 1 == kCount) break;
      // Those through the TAB at ends[i] (below 64) dropped.
      changes &= ~((std::uint64_t{2} << ends[i]) - 1);
      start = ends[i] + 1;
    }
    return true;
  }
  std::size_t found = 0;
  std::size_t start = 0;  // of the current field
  bool changeBefore = false;  // in the current field, in the windows before
  for (std::size_t base = 0; base < n; base += 64) {
    const Marks m = MarksAt<kSse2>(p, n, base);
    // The bits from the current field's start on (a field never starts past a window's start).
    std::uint64_t fromStart = ~std::uint64_t{0};
    // The TABs before the first quote end their fields as they are.
    const std::uint64_t beforeQuote =
        m.quotes == 0 ? ~std::uint64_t{0} : (m.quotes & (0 - m.quotes)) - 1;
    std::uint64_t tabs = m.tabs & beforeQuote;
    while (tabs != 0) {
      const unsigned at = static_cast<unsigned>(std::countr_zero(tabs));
      const std::uint64_t below = (std::uint64_t{1} << at) - 1;
      fields_[found] = std::string_view(p + start, base + at - start);
      changes_[found] = changeBefore || (m.changes & fromStart & below) != 0;
      if (++found == kCount) return true;
      start = base + at + 1;
      fromStart = at == 63 ? 0 : ~std::uint64_t{0} << (at + 1);
      changeBefore = false;
      tabs &= tabs - 1;
    }
    // A quote here lies in a field still wanted.
    if (m.quotes != 0) return false;
    changeBefore = changeBefore || (m.changes & fromStart) != 0;
  }
  // The line's last field (empty after a TAB that ends it).
  if (found + 1 != kCount) return false;
  fields_[found] = std::string_view(p + start, n - start);
  changes_[found] = changeBefore;
  return true;
}

bool IntermediateFields::Split(std::string_view line) {
  return SplitWith<TAVO_SSE2 != 0>(line);
}

bool IntermediateFields::SplitPlain(std::string_view line) { return SplitWith<false>(line); }

}  // namespace tavo::postal

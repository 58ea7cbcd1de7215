#include "linkage/tab_fields.h"

#include <algorithm>
#include <cstring>

#include "core/line_breaks.h"

namespace tavo::linkage {

std::size_t TabFields::SplitToBreak(std::string_view bytes) {
#if TAVO_SSE2
  return SplitBlocks<true>(bytes.data(), bytes.size());
#else
  const std::size_t length = FindCrOrLf(bytes.data(), bytes.size());
  if (length < bytes.size()) SplitPlain(bytes.substr(0, length));
  return length;
#endif
}

void TabFields::Begin(std::string_view line) {
  // Forget the fields of the previous line that held a high byte.
  std::fill(high_.begin(), high_.begin() + static_cast<std::ptrdiff_t>(count_ / 64 + 1), 0);
  count_ = 0;
  base_ = line.data();
  comma_ = false;
}

void TabFields::Room(std::size_t fields) {
  // The positions written past the count (up to eight past it) and the
  // end mark fit as well.
  if (starts_.size() < fields + 16) {
    starts_.resize(std::max(fields + 16, 2 * starts_.size()));
    high_.resize(starts_.size() / 64 + 1);
  }
}

void TabFields::Want(const std::vector<std::size_t>& fields) {
  std::size_t last = 0;
  for (std::size_t f : fields) last = std::max(last, f);
  // For every field index, the first index from it on whose start is
  // wanted (a field's start and end are the starts of it and the next).
  std::vector<bool> wanted(last + 2, false);
  for (std::size_t f : fields) wanted[f] = wanted[f + 1] = true;
  nextWanted_.assign(last + 2, kNever);
  for (std::size_t k = last + 2; k-- > 0;) {
    nextWanted_[k] = wanted[k] ? k : k + 1 < nextWanted_.size() ? nextWanted_[k + 1] : kNever;
  }
  all_ = false;
}

void TabFields::SplitPlain(std::string_view line) {
  Begin(line);
  if (line.empty()) return;
  const std::size_t n = line.size();
  const auto* p = reinterpret_cast<const unsigned char*>(base_);
  std::uint64_t* high = nullptr;
  std::size_t* starts = nullptr;
  std::size_t f = 0;  // the field being read
  // A byte at a time, noting the fields that hold a byte of 0x80 or more;
  // without branches, as such bytes come mixed with TABs. The next start
  // is written in any case and kept only after a TAB.
  auto bytes = [&p, &starts, &high, &f](std::size_t from, std::size_t to) {
    for (std::size_t j = from; j < to; ++j) {
      starts[f + 1] = j + 1;
      f += p[j] == '\t';
      high[f / 64] |= static_cast<std::uint64_t>(p[j] >> 7) << (f % 64);
    }
  };
  constexpr std::uint64_t k7f = 0x7F7F7F7F7F7F7F7Full;
  constexpr std::uint64_t kTab = 0x0909090909090909ull;
  constexpr std::uint64_t kComma = 0x2C2C2C2C2C2C2C2Cull;
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  std::uint64_t commas = 0;  // non-zero once a word held a comma
  std::size_t i = 0;
  while (true) {
    Room(f + kChunk);
    starts = starts_.data();
    high = high_.data();
    if (i == 0) starts[0] = 0;
    const std::size_t stop = std::min(n, i + kChunk);
    for (; i + 8 <= stop; i += 8) {
      const std::uint64_t w = Load8(base_ + i);
      const std::uint64_t y = w ^ kComma;
      commas |= (y - kOnes) & ~y & kHighBits;
      const std::uint64_t x = w ^ kTab;
      // One bit at the bottom of every byte that is a TAB, exact (no
      // borrow between bytes).
      std::uint64_t tabs = ~(((x & k7f) + k7f) | x | k7f) >> 7;
      if (w & kHighBits) {
        // Byte j of `before` counts the TABs up to byte j: a byte of 0x80
        // or more there belongs to field f + that count. The fields are
        // gathered in a register and noted at once.
        const std::uint64_t before = tabs * 0x0101010101010101ull;
        const std::uint64_t highs = (w >> 7) & 0x0101010101010101ull;
        std::uint64_t m = 1;  // a word without a TAB lies in field f
        if (tabs) {
          m = 0;
          for (unsigned j = 0; j < 64; j += 8) m |= ((highs >> j) & 1u) << ((before >> j) & 0xFF);
        }
        const std::size_t at = f % 64;
        high[f / 64] |= m << at;
        if (at > 55) high[f / 64 + 1] |= m >> (64 - at);
      }
      // Four positions written whether or not there are as many TABs; the
      // count decides which of them are kept. Few words hold more than
      // four, so no branch is mispredicted. The top bit stops the bit
      // search of an exhausted word.
      constexpr std::uint64_t kStop = std::uint64_t{1} << 63;
      const auto count = static_cast<std::size_t>((tabs * 0x0101010101010101ull) >> 56);
      if (!Wanted(f, count)) {
        f += count;
        continue;
      }
      for (std::size_t k = 1; k <= 4; ++k) {
        starts[f + k] = i + (static_cast<std::size_t>(std::countr_zero(tabs | kStop)) >> 3) + 1;
        tabs &= tabs - 1;
      }
      if (count > 4) {
        for (std::size_t k = 5; k <= count; ++k) {
          starts[f + k] = i + (static_cast<std::size_t>(std::countr_zero(tabs | kStop)) >> 3) + 1;
          tabs &= tabs - 1;
        }
      }
      f += count;
    }
    if (stop == n) break;
  }
  comma_ = commas != 0 || std::memchr(base_ + i, ',', n - i) != nullptr;
  bytes(i, n);
  count_ = f + 1;
  starts[count_] = n + 1;
}

#if TAVO_SSE2
template <bool kToBreak>
std::size_t TabFields::SplitBlocks(const char* p, std::size_t n) {
  Begin({p, n});
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i comma = _mm_set1_epi8(',');
  // Any comma among the bytes loaded, past the line's end too: nearly every
  // line has none, and one that seems to have one is looked at again.
  __m128i anyComma = _mm_setzero_si128();
  [[maybe_unused]] const __m128i cr = _mm_set1_epi8('\r');
  [[maybe_unused]] const __m128i lf = _mm_set1_epi8('\n');
  std::size_t f = 0;  // the field being read
  std::size_t* starts = nullptr;
  std::uint64_t* high = nullptr;
  // Sixty-four bytes at a time into a mask of TABs and one of bytes of 0x80
  // or more (and one of CR or LF when the line's end is sought). No load of
  // sixteen bytes starts past the end (the slack covers the rest of one);
  // the bits past the end are dropped.
  for (std::size_t i = 0; i < n; i += 64) {
    if (i % kChunk == 0) {
      if (starts_.size() < f + kChunk + 16) Room(f + kChunk);
      starts = starts_.data();
      high = high_.data();
      if (i == 0) starts[0] = 0;
    }
    std::uint64_t tabs = 0;
    std::uint64_t highs = 0;
    std::uint64_t breaks = 0;
    // CR or LF anywhere in the block, gathered without a mask per sixteen
    // bytes: nearly every block has none.
    [[maybe_unused]] __m128i anyBreak = _mm_setzero_si128();
    const auto look = [&](std::size_t k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base_ + i + k));
      tabs |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, tab)))} << k;
      highs |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(v))} << k;
      anyComma = _mm_or_si128(anyComma, _mm_cmpeq_epi8(v, comma));
      if constexpr (kToBreak) {
        const __m128i brk = _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf));
        anyBreak = _mm_or_si128(anyBreak, brk);
      }
    };
    if (n - i >= 64) {
      look(0);
      look(16);
      look(32);
      look(48);
    } else {
      for (std::size_t k = 0; i + k < n; k += 16) look(k);
    }
    if (kToBreak && _mm_movemask_epi8(anyBreak) != 0) {
      for (std::size_t k = 0; k < 64 && i + k < n; k += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base_ + i + k));
        const __m128i brk = _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf));
        breaks |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(brk))} << k;
      }
    }
    if (n - i < 64) {
      const std::uint64_t inside = (std::uint64_t{1} << (n - i)) - 1;
      tabs &= inside;
      highs &= inside;
      breaks &= inside;
    }
    if (kToBreak && breaks != 0) {
      // The line ends in this block: what follows is no part of it.
      n = i + static_cast<std::size_t>(std::countr_zero(breaks));
      const std::uint64_t inside = (std::uint64_t{1} << (n - i)) - 1;
      tabs &= inside;
      highs &= inside;
    }
    // The fields that hold a high byte, one step per field: the first high
    // byte left lies in the field that the TABs before it say, and the rest
    // of that field is done with.
    while (highs != 0) {
      const std::uint64_t below = (highs & (0 - highs)) - 1;
      const std::size_t g = f + CountBits(tabs & below);
      high[g / 64] |= std::uint64_t{1} << (g % 64);
      const std::uint64_t after = tabs & ~below;  // the TAB that ends it, if any
      highs &= after == 0 ? 0 : ~(((after & (0 - after)) << 1) - 1);
    }
    // A block that starts no wanted field is only counted. Otherwise four
    // positions at a time, written whether or not there are as many TABs
    // (the room has space past them); the count decides which are kept.
    // The top bit added to the search is a TAB's own where there is one
    // there, and otherwise ends an exhausted mask (a position not kept)
    // without a test for an empty one.
    constexpr std::uint64_t kStop = std::uint64_t{1} << 63;
    const std::size_t count = CountBits(tabs);
    if (Wanted(f, count)) {
      for (std::size_t k = 1; k <= count; k += 4) {
        for (std::size_t u = 0; u < 4; ++u) {
          starts[f + k + u] = i + static_cast<unsigned>(std::countr_zero(tabs | kStop)) + 1;
          tabs &= tabs - 1;
        }
      }
    }
    f += count;
    if (kToBreak && breaks != 0) break;
  }
  if (n == 0) return 0;  // an empty line (also one cut at its first byte) has no fields
  comma_ = _mm_movemask_epi8(anyComma) != 0 && std::memchr(p, ',', n) != nullptr;
  count_ = f + 1;
  starts[count_] = n + 1;
  return n;
}

template std::size_t TabFields::SplitBlocks<false>(const char*, std::size_t);
template std::size_t TabFields::SplitBlocks<true>(const char*, std::size_t);
#endif

}  // namespace tavo::linkage

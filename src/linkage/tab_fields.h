// A TAB-separated line split into its fields in one pass, for the streamed
// conversions of converter 2. TAB is one byte in code page 932 and never part
// of a double-byte character, so the split works on the bytes. With SSE2
// (every x86-64 CPU) sixty-four bytes are examined at a time; elsewhere a plain
// split reads eight bytes at a time. Both give the same fields.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "core/cp932.h"
#include "core/simd.h"

namespace tavo::linkage {

// Eight bytes as a little-endian word: byte 0 in the low bits.
inline std::uint64_t Load8(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  if constexpr (std::endian::native == std::endian::big) {
    std::uint64_t r = 0;
    for (int b = 0; b < 8; ++b) r |= ((w >> (8 * b)) & 0xFF) << (8 * (7 - b));
    return r;
  }
  return w;
}

inline constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// The bits set in w; std::popcount is a library call where the target's
// baseline has no instruction for it.
inline std::size_t CountBits(std::uint64_t w) {
  w -= (w >> 1) & 0x5555555555555555ull;
  w = (w & 0x3333333333333333ull) + ((w >> 2) & 0x3333333333333333ull);
  w = (w + (w >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<std::size_t>((w * 0x0101010101010101ull) >> 56);
}

// Cp932HasTwinLead of a field followed by kFieldSlack readable bytes: a
// short field is tested in one step of sixteen bytes (the bytes past it
// are masked off), a longer one as Cp932HasTwinLead does.
inline constexpr std::size_t kFieldSlack = 16;
inline bool HasTwinLeadPadded(std::string_view field) {
#if TAVO_SSE2
  if (field.size() <= kFieldSlack) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(field.data()));
    auto same = [v](int b) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(b))); };
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_or_si128(same(0x87), same(0xED)),
                                                  _mm_or_si128(same(0xEE), same(0xFA))),
                                     _mm_or_si128(same(0xFB), same(0xFC)));
    const auto inside = static_cast<unsigned>((1u << field.size()) - 1);
    return (static_cast<unsigned>(_mm_movemask_epi8(hit)) & inside) != 0;
  }
#endif
  return Cp932HasTwinLead(field);
}

class TabFields {
 public:
  // Bytes past the end of a line that Split may read (and ignores).
  static constexpr std::size_t kReadSlack = 16;

  // Splits a line that is followed by kReadSlack readable bytes. The fields
  // stay views into it.
  void Split(std::string_view line) {
#if TAVO_SSE2
    SplitSse2(line);
#else
    SplitPlain(line);
#endif
  }
  void SplitPlain(std::string_view line);
#if TAVO_SSE2
  void SplitSse2(std::string_view line) { SplitBlocks<false>(line.data(), line.size()); }
#endif
  // The line at the start of `bytes` (followed by kReadSlack readable bytes),
  // cut at its first CR or LF and split as Split does, in one pass. Returns
  // the line's length; bytes.size() when no CR or LF is among the bytes, and
  // then the split is not to be used.
  std::size_t SplitToBreak(std::string_view bytes);

  // Only these fields will be asked for (by default all): the split then
  // need not note the positions of the others, only count them.
  void Want(const std::vector<std::size_t>& fields);

  std::size_t size() const { return count_; }
  // Only for a wanted field.
  std::string_view field(std::size_t i) const {
    return {base_ + starts_[i], starts_[i + 1] - starts_[i] - 1};
  }
  // No byte of 0x80 or more.
  bool ascii(std::size_t i) const { return ((high_[i / 64] >> (i % 64)) & 1u) == 0; }
  // The line holds a comma: a value of it written into a comma-separated
  // output needs its commas widened. Found in the split's own pass.
  bool comma() const { return comma_; }

  // The same questions through plain pointers, valid until the next split:
  // a local copy stays in registers where the members would be read again
  // after every byte written elsewhere (a byte may alias anything).
  struct View {
    const char* base;
    const std::size_t* starts;
    const std::uint64_t* high;
    std::size_t count;
    bool comma;
    std::size_t size() const { return count; }
    std::string_view field(std::size_t i) const {
      return {base + starts[i], starts[i + 1] - starts[i] - 1};
    }
    bool ascii(std::size_t i) const { return ((high[i / 64] >> (i % 64)) & 1u) == 0; }
    // Fields first ... first + count - 1 with the TABs between them.
    std::string_view span(std::size_t first, std::size_t count) const {
      return {base + starts[first], starts[first + count] - starts[first] - 1};
    }
    // Where the TAB before field i lies in a span that starts at field first.
    std::size_t tabIn(std::size_t first, std::size_t i) const {
      return starts[i] - 1 - starts[first];
    }
  };
  View view() const { return {base_, starts_.data(), high_.data(), count_, comma_}; }

 private:
  static constexpr std::size_t kNever = ~std::size_t{0};
  // Bytes split between two checks of the room for field positions, which
  // grows with the fields found, so that memory follows the field count.
  static constexpr std::size_t kChunk = 1024;
  void Begin(std::string_view line);
#if TAVO_SSE2
  // The split of the n bytes at p, or of those before the first CR or LF
  // among them; returns the length split.
  template <bool kToBreak>
  std::size_t SplitBlocks(const char* p, std::size_t n);
#endif
  void Room(std::size_t fields);
  // Whether the start of any of fields f + 1 ... f + count is wanted.
  bool Wanted(std::size_t f, std::size_t count) const {
    if (all_) return true;
    return f + 1 < nextWanted_.size() && nextWanted_[f + 1] <= f + count;
  }
  bool all_ = true;
  std::vector<std::size_t> nextWanted_;
  // Start of each field; the entry past the last field is one past its end
  // plus one, so that every field ends one byte before the next start.
  std::vector<std::size_t> starts_;
  std::vector<std::uint64_t> high_ = std::vector<std::uint64_t>(1);  // a bit per field
  std::size_t count_ = 0;
  const char* base_ = nullptr;
  bool comma_ = false;
};

}  // namespace tavo::linkage

// Tests on Shift_JIS or UTF-8 bytes that need no decoding: the bytes up to 20
// are the same blanks in both and never part of a longer character, and the
// bytes below 80 are ASCII in both.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tavo {

// Only blanks: the bytes trim to nothing.
inline bool IsBlankBytes(std::string_view bytes) {
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) > 0x20) return false;
  }
  return true;
}

// Every byte below 80.
inline bool IsAsciiBytes(std::string_view bytes) {
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// n (0 to 8) bytes as a word, the first byte lowest, the others zero, read
// with loads of fixed size that stay inside the n bytes: keys are short, and
// a library call per key would cost more than its hash.
inline std::uint64_t LoadUpTo8(const char* p, std::size_t n) {
  if constexpr (std::endian::native != std::endian::little) {
    std::uint64_t w = 0;
    for (std::size_t i = 0; i < n; ++i) {
      w |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    }
    return w;
  }
  // Where a low and a high load overlap, both hold the same bytes there.
  if (n >= 4) {
    std::uint32_t low;
    std::uint32_t high;
    std::memcpy(&low, p, 4);
    std::memcpy(&high, p + n - 4, 4);
    return low | std::uint64_t{high} << (8 * (n - 4));
  }
  if (n >= 2) {
    std::uint16_t low;
    std::uint16_t high;
    std::memcpy(&low, p, 2);
    std::memcpy(&high, p + n - 2, 2);
    return low | std::uint64_t{high} << (8 * (n - 2));
  }
  return n == 1 ? static_cast<unsigned char>(p[0]) : 0;
}

}  // namespace tavo

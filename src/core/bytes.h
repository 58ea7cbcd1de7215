// Tests on Shift_JIS or UTF-8 bytes that need no decoding: the bytes up to 20
// are the same blanks in both and never part of a longer character, and the
// bytes below 80 are ASCII in both.
#pragma once

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

}  // namespace tavo

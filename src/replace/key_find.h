// The next occurrence of a patient number in a line. Numbers are mostly
// digits in lines full of digits, so a search led by the first byte alone
// stops at nearly every position; with SSE2 (every x86-64 CPU) sixteen
// positions are tested at a time on the first and the last byte of the key
// together, and only the rare positions where both match are compared whole.
// Elsewhere the standard search. Both give the same position.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/simd.h"

namespace tavo::replace {

inline std::size_t FindKeyPlain(std::string_view text, std::string_view key, std::size_t from) {
  return text.find(key, from);
}
#if TAVO_SSE2
std::size_t FindKeySse2(std::string_view text, std::string_view key, std::size_t from);
#endif

// The first position from `from` on where `key` stands in `text`, or npos.
inline std::size_t FindKey(std::string_view text, std::string_view key, std::size_t from) {
#if TAVO_SSE2
  return FindKeySse2(text, key, from);
#else
  return FindKeyPlain(text, key, from);
#endif
}

}  // namespace tavo::replace

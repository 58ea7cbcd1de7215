// FF1 lines read as bytes. CR, LF, TAB and every byte up to 20 are single
// characters in Shift_JIS and UTF-8, never part of a longer character, and no
// other byte decodes to one of them; so line ends, blank tests, trimming and
// field cuts on the bytes agree with the decoded text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/simd.h"

namespace tavo::ff1 {

// The integer reading of ToInt32 over ASCII bytes (any other byte is not a
// digit). False when the bytes are not an integer.
inline bool ParseInt32Bytes(std::string_view s, std::int32_t& out) {
  if (s.empty()) return false;
  std::size_t i = 0;
  bool neg = false;
  if (s[0] == '+' || s[0] == '-') {
    neg = s[0] == '-';
    i = 1;
  }
  if (i == s.size()) return false;
  std::int64_t v = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > 2147483648LL) return false;
  }
  if (neg) v = -v;
  if (v > 2147483647LL || v < -2147483648LL) return false;
  out = static_cast<std::int32_t>(v);
  return true;
}

// What the merge asks of a line, found in one pass over its bytes: where it
// ends, where its leading TABs are, how many TABs it has, and whether a pair
// of bytes (the first two of the title "施設コード") occurs in it. With SSE2 (every
// x86-64 CPU) sixteen bytes are examined at a time; elsewhere a byte at a
// time. Both give the same shape.
struct LineShape {
  std::size_t length = 0;     // bytes before the first CR or LF
  std::size_t tabs = 0;       // TABs among them
  std::size_t tab[3] = {};    // where the first three TABs are (those below `tabs`)
  bool pair = false;          // bytes a, b follow each other among them
};

// Readable bytes that the shaping needs after the CR or LF that ends the line.
inline constexpr std::size_t kShapeSlack = 32;

// Shapes the line at p, which a CR or LF ends (followed by kShapeSlack
// readable bytes); a and b are neither CR nor LF.
void ShapeLinePlain(const char* p, char a, char b, LineShape& shape);
#if TAVO_SSE2
void ShapeLineSse2(const char* p, char a, char b, LineShape& shape);
#endif
inline void ShapeLine(const char* p, char a, char b, LineShape& shape) {
#if TAVO_SSE2
  ShapeLineSse2(p, a, b, shape);
#else
  ShapeLinePlain(p, a, b, shape);
#endif
}

}  // namespace tavo::ff1

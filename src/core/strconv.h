// Case, width and kana mapping of the Japanese locale (LCMapString's rules).
#pragma once

#include "core/text.h"

namespace tavo {

enum TConversion : unsigned {
  UpperCase = 1u << 0,
  LowerCase = 1u << 1,
  Wide = 1u << 2,
  Narrow = 1u << 3,
  Katakana = 1u << 4,
  Hiragana = 1u << 5,
};

// Empty when src is empty, the result would pass 1024 code units, or the
// combination is refused: no conversion at all, upper with lower, wide with narrow,
// katakana with hiragana.
Text StrConv(TextView src, unsigned conversion);

}  // namespace tavo

// Text as the system handles it: UTF-16 code units, 1-based positions in the
// algorithms, and the number readings that every subsystem shares.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavo {

using Text = std::u16string;
using TextView = std::u16string_view;
using FieldList = std::vector<Text>;

// UTF-8 <-> UTF-16. Invalid UTF-8 bytes decode to U+FFFD.
Text FromUtf8(std::string_view utf8);
std::string ToUtf8(TextView text);

// Shorthand for literals in code: T("社保") is the UTF-16 text of a UTF-8 literal.
inline Text T(std::string_view utf8) { return FromUtf8(utf8); }

// Removes leading and trailing characters up to U+0020 (never U+3000).
Text Trim(TextView text);
Text TrimLeft(TextView text);
Text TrimRight(TextView text);
bool IsBlank(TextView text);  // empty after Trim

// Trim on Shift_JIS or UTF-8 bytes: the bytes up to 20 are the same blanks and
// never part of a longer character.
inline std::string_view TrimBytes(std::string_view bytes) {
  while (!bytes.empty() && static_cast<unsigned char>(bytes.front()) <= 0x20)
    bytes.remove_prefix(1);
  while (!bytes.empty() && static_cast<unsigned char>(bytes.back()) <= 0x20) bytes.remove_suffix(1);
  return bytes;
}

// Every occurrence of `from` replaced by `to`.
Text ReplaceAll(TextView text, TextView from, TextView to);
// Every occurrence of the character removed.
Text RemoveChar(TextView text, char16_t ch);
// Letter case ignored for ASCII letters only.
bool SameTextAscii(TextView a, TextView b);
Text UpperAscii(TextView text);

// "t as an integer": optional sign, decimal digits, nothing else (no blanks).
std::optional<std::int32_t> ToInt32(TextView text);
std::optional<std::int64_t> ToInt64(TextView text);
// "t as an integer, 0 when it is not one".
std::int32_t ToInt32Def(TextView text, std::int32_t def);
std::int64_t ToInt64Def(TextView text, std::int64_t def);

// "t as a number": optional sign, decimal digits with "." as decimal point and
// an optional exponent; nothing else. nullopt when the text is not a number.
std::optional<double> ToNumber(TextView text);
double ToNumberDef(TextView text, double def);

// "%3.1f" as the system writes it: the value's exact binary fraction rounded to
// one decimal with ties away from zero (65.25 -> 65.3, 6.35 -> 6.3, 65 -> 65.0),
// padded on the left with spaces to at least three characters.
Text Format31(double value);

Text IntToText(std::int64_t value);

}  // namespace tavo

// Validation and normalisation of the values that converter 2 writes into the
// EHR linkage CSV: a value either passes in the expected form or is blanked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/text.h"

namespace tavo::linkage {

// Allowed character sets of the digit tests.
inline constexpr std::u16string_view S05 = u"012345";
inline constexpr std::u16string_view S09 = u"0123456789";
inline constexpr std::u16string_view S15 = u"12345";
inline constexpr std::u16string_view S07 = u"01234567";
inline constexpr std::u16string_view S02 = u"012";
inline constexpr std::u16string_view S01 = u"01";
inline constexpr std::u16string_view S019 = u"019";
inline constexpr std::u16string_view S0239 = u"01239";
inline constexpr std::u16string_view S0249 = u"012349";
inline constexpr std::u16string_view S129 = u"129";
inline constexpr std::u16string_view S179 = u"12345679";

// Names of the character classes present in the text, in class order, joined
// by ", ". Kind 1 gives "半角" / "全角"; any other kind the detailed names.
Text GetStringCategories(TextView text, int kind);
bool ContainsHalfWidth(TextView text);  // GetStringCategories(text, 1) holds "半角"
bool ContainsFullWidth(TextView text);  // GetStringCategories(text, 1) holds "全角"

// Not empty and only 0-9.
bool IsDigits(TextView text);
// Exactly one character, in the set.
bool Single1(TextView text, std::u16string_view set);
// Exactly `length` characters, each in the set.
bool FixedDigits(TextView text, int length, std::u16string_view set);

// A value of the positional layout, by its 0-based source position (0-140).
Text ChkStd(TextView value, int position);
// A value of the item-code layout, by its 0-based long-header column (0-99):
// the value itself, untrimmed, or empty.
Text ChkStdNew(TextView value, int column);

// Why the rule of a position (column) blanks a value, for the report of
// blanked values: the text of the first test that the value fails; empty
// when it passes.
Text ChkStdReason(TextView value, int position);
Text ChkStdNewReason(TextView value, int column);
// A long-header column has one test: the reason for any value it blanks.
Text ChkStdNewRuleText(int column);
// The input's marks for a value not measured, "999" for the blood pressures
// and LDL cholesterol and "99.9" for HbA1c and uric acid (positional layout,
// compared after trimming): ChkStd blanks them, but they are no fault.
bool IsNotMeasuredMark(TextView value, int position);

// The same tests on a field of ASCII bytes (every byte below 0x80), where a
// byte is one character: the fast path of the streamed conversions.
bool ChkStdNewKeepsAscii(std::string_view value, int column);
std::string ChkStdAscii(std::string_view value, int position);

// The rule of a long-header column, compiled for the per-field test: the
// allowed set as a bit mask over ASCII.
enum class NewOp : std::uint8_t {
  Always,     // no rule
  MaxLen,     // t has at most n characters
  DigitsLen,  // IsDigits(t) and exactly n characters
  Single,     // Single1(t, set)
  Fixed,      // FixedDigits(t, n, set)
};
struct NewRule {
  NewOp op = NewOp::Always;
  std::size_t n = 0;
  std::uint64_t lo = 0;  // code units 0x00-0x3F
  std::uint64_t hi = 0;  // code units 0x40-0x7F
};
const NewRule& ChkStdNewRule(int column);

// ChkStdNewKeepsAscii with the rule looked up beforehand; inline for the
// streamed conversion's inner loop.
inline bool NewRuleKeepsAscii(const NewRule& rule, std::string_view value) {
  if (rule.op == NewOp::Always) return true;
  std::size_t b = 0, e = value.size();
  while (b < e && static_cast<unsigned char>(value[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(value[e - 1]) <= 0x20) --e;
  const std::size_t len = e - b;
  auto in = [&rule](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x80) return false;
    return (((c < 0x40 ? rule.lo : rule.hi) >> (c & 0x3F)) & 1u) != 0;
  };
  switch (rule.op) {
    case NewOp::Always:
      return true;
    case NewOp::MaxLen:
      return len <= rule.n;
    case NewOp::DigitsLen:
      if (len != rule.n || len == 0) return false;
      for (std::size_t i = b; i < e; ++i) {
        if (value[i] < '0' || value[i] > '9') return false;
      }
      return true;
    case NewOp::Single:
      return len == 1 && in(value[b]);
    case NewOp::Fixed:
      if (len != rule.n) return false;
      for (std::size_t i = b; i < e; ++i) {
        if (!in(value[i])) return false;
      }
      return true;
  }
  return true;
}

}  // namespace tavo::linkage

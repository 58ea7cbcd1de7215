#include <gtest/gtest.h>

#include "core/carte.h"
#include "core/errors.h"
#include "core/text.h"

namespace tavo {
namespace {

TEST(Trim, RemovesUpToSpaceButNotIdeographicSpace) {
  EXPECT_EQ(Trim(u" \t a b \r\n"), u"a b");
  EXPECT_EQ(Trim(u"\u3000a\u3000"), u"\u3000a\u3000");
  EXPECT_EQ(Trim(u"   "), u"");
  EXPECT_TRUE(IsBlank(u" \t"));
  EXPECT_FALSE(IsBlank(u"\u3000"));
  EXPECT_EQ(TrimLeft(u"  a "), u"a ");
  EXPECT_EQ(TrimRight(u"  a "), u"  a");
}

TEST(ToInt, AcceptsOnlySignAndDigits) {
  struct Case {
    const char16_t* text;
    std::optional<std::int32_t> value;
  } cases[] = {
      {u"0", 0},           {u"-12", -12},        {u"+7", 7},
      {u"007", 7},         {u"2147483647", 2147483647},
      {u"-2147483648", -2147483647 - 1},
      {u"2147483648", std::nullopt},
      {u"", std::nullopt}, {u"-", std::nullopt}, {u" 1", std::nullopt},
      {u"1 ", std::nullopt}, {u"1.0", std::nullopt}, {u"\uff11", std::nullopt},
      {u"abc", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ToInt32(c.text), c.value) << ToUtf8(c.text);
  EXPECT_EQ(ToInt64(u"3000000000"), 3000000000LL);
  EXPECT_EQ(ToInt64(u"9223372036854775808"), std::nullopt);
  EXPECT_EQ(ToInt32Def(u"x", -1), -1);
}

TEST(ToNumber, DecimalPointReading) {
  EXPECT_EQ(ToNumber(u"65.25"), 65.25);
  EXPECT_EQ(ToNumber(u"-1.5"), -1.5);
  EXPECT_EQ(ToNumber(u".5"), 0.5);
  EXPECT_EQ(ToNumber(u"5."), 5.0);
  EXPECT_EQ(ToNumber(u"1e2"), 100.0);
  EXPECT_EQ(ToNumber(u"."), std::nullopt);
  EXPECT_EQ(ToNumber(u"1,5"), std::nullopt);
  EXPECT_EQ(ToNumber(T("未")), std::nullopt);
  EXPECT_EQ(ToNumber(u""), std::nullopt);
  EXPECT_EQ(ToNumberDef(u"x", -1), -1);
}

TEST(Format31, RoundsTheBinaryValueWithTiesAwayFromZero) {
  struct Case {
    double value;
    const char16_t* text;
  } cases[] = {
      {65.25, u"65.3"}, {6.35, u"6.3"}, {65, u"65.0"},  {6.27, u"6.3"},
      {0.05, u"0.1"},   {0.25, u"0.3"}, {9.95, u"9.9"},  {9.96, u"10.0"},
      {99.95, u"100.0"}, {0, u"0.0"},   {-1.25, u"-1.3"},
      {123456.75, u"123456.8"},
  };
  for (const auto& c : cases) EXPECT_EQ(Format31(c.value), c.text) << c.value;
}

TEST(GetCarte, DropsLeadingZerosOfNonZeroIntegers) {
  struct Case {
    const char16_t* in;
    const char16_t* out;
  } cases[] = {
      {u"000123", u"123"}, {u"0", u"0"},       {u"000", u"000"}, {u"A123", u"A123"},
      {u" 42", u"42"},     {u"42 ", u"42 "},   {u"", u""},       {u"-007", u"-7"},
      {u"12345678901234", u"12345678901234"},
  };
  for (const auto& c : cases) EXPECT_EQ(GetCarte(c.in), c.out) << ToUtf8(c.in);
}

TEST(Utf8, RoundTripsAndReplacesInvalidBytes) {
  const std::string s = "社保 ｶﾅ 𠮷";
  EXPECT_EQ(ToUtf8(FromUtf8(s)), s);
  EXPECT_EQ(FromUtf8("\xff"), u"\ufffd");
}

TEST(PlatformTexts, MatchTheWordingUsersKnow) {
  EXPECT_EQ(IndexErrorText(13), T("リストのインデックスが範囲を超えています (13)"));
  EXPECT_EQ(IntConvErrorText(u"ab"), T("'ab' は整数ではありません"));
}

}  // namespace
}  // namespace tavo

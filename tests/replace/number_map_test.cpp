// The compact map: numbers kept as bytes give their texts back, and the flat
// index finds the first of many pairs as the lookup rule says.
#include "replace/number_map.h"

#include <gtest/gtest.h>

#include <string>

#include "core/cp932.h"

namespace tavo::replace {
namespace {

TEST(ReplaceNumberMap, TextsThatBytesCannotGiveBackAreKept) {
  NumberMap map;
  map.Add(u"1", u"\u00E9");                     // no code page 932 code: "?" in the bytes
  map.Add(u"2", Text{char16_t{0xDC82}, u'P'});  // a lone byte 82 that would join P into "１"
  map.Add(u"3", u"\u5C71");                     // 山: its code gives it back
  map.Add(u"\u5C71", u"4");
  EXPECT_EQ(map.mlsList2[0], u"\u00E9");
  EXPECT_EQ(map.NewBytes(0), "?");
  EXPECT_EQ(map.mlsList2[1], (Text{char16_t{0xDC82}, u'P'}));
  EXPECT_EQ(map.NewBytes(1), "\x82P");
  EXPECT_EQ(map.mlsList2[2], u"\u5C71");
  EXPECT_EQ(map.NewBytes(2), "\x8E\x52");
  EXPECT_EQ(map.mlsList[3], u"\u5C71");
  EXPECT_EQ(map.FindBytes("\x8E\x52"), std::optional<std::size_t>(3));
  EXPECT_EQ(map.Find(u"\u5C71"), std::optional<std::size_t>(3));
}

TEST(ReplaceNumberMap, RomanNumeralsFoldAsTheWindowsCaseMappingFoldsThem) {
  // Ⅰ..Ⅹ are 8754..875D and FA4A..FA53; ⅰ..ⅹ are EEEF..EEF8 and FA40..FA49.
  const auto bytes = [](int lead, int trail) {
    return std::string{static_cast<char>(lead), static_cast<char>(trail)};
  };
  for (int k = 0; k < 10; ++k) {
    SCOPED_TRACE(k);
    const Text capital(1, static_cast<char16_t>(0x2160 + k));
    const Text small(1, static_cast<char16_t>(0x2170 + k));
    const std::string capitals[] = {bytes(0x87, 0x54 + k), bytes(0xFA, 0x4A + k)};
    const std::string smalls[] = {bytes(0xEE, 0xEF + k), bytes(0xFA, 0x40 + k)};
    for (const std::string& b : capitals) ASSERT_EQ(Cp932Decode(b), capital);
    for (const std::string& b : smalls) ASSERT_EQ(Cp932Decode(b), small);

    NumberMap map;
    map.Add(capital + u"-1", u"999");
    map.Add(u"x" + small, u"888");
    EXPECT_EQ(map.Find(small + u"-1"), std::optional<std::size_t>(0));
    EXPECT_EQ(map.Find(u"X" + capital), std::optional<std::size_t>(1));
    for (const std::string& b : smalls) {
      EXPECT_EQ(map.FindBytes(b + "-1"), std::optional<std::size_t>(0));
    }
    for (const std::string& b : capitals) {
      EXPECT_EQ(map.FindBytes("x" + b), std::optional<std::size_t>(1));
    }
    EXPECT_FALSE(map.Find(small + u"-2"));
  }
}

TEST(ReplaceNumberMap, ManyPairsEarliestWinsCaseIgnored) {
  NumberMap map;
  const int n = 50000;  // the index grows many times
  for (int i = 0; i < n; ++i) map.AddAscii("K" + std::to_string(i), std::to_string(i));
  for (int i = 0; i < n; i += 7) map.AddAscii("k" + std::to_string(i), "later");
  ASSERT_EQ(map.size(), static_cast<std::size_t>(n + (n + 6) / 7));
  for (int i = 0; i < n; i += 3) {
    const std::string key = (i % 2 ? "k" : "K") + std::to_string(i);
    const auto hit = map.FindBytes(key);
    ASSERT_EQ(hit, std::optional<std::size_t>(i)) << key;
    ASSERT_EQ(map.NewBytes(*hit), std::to_string(i));
    ASSERT_EQ(map.mlsList[*hit], Text(u"K") + FromUtf8(std::to_string(i)));
  }
  EXPECT_FALSE(map.FindBytes("K" + std::to_string(n)));
  EXPECT_FALSE(map.FindBytes("K1 "));
  map.Clear();
  EXPECT_EQ(map.size(), 0u);
  EXPECT_FALSE(map.FindBytes("K1"));
}

TEST(ReplaceNumberMap, KeysOfEveryLengthAndPairsAddedBetweenLookups) {
  // Keys of 1 to 24 bytes (the hash reads them in words of eight), and pairs
  // added after a lookup built the index: the earliest pair still wins.
  NumberMap map;
  const std::string letters = "AbCdEfGhIjKlMnOpQrStUvWxYz";
  for (std::size_t length = 1; length <= 24; ++length) {
    map.AddAscii(letters.substr(0, length), "n" + std::to_string(length));
  }
  for (std::size_t length = 1; length <= 24; ++length) {
    std::string key = letters.substr(0, length);
    for (char& c : key) c = static_cast<char>(c ^ 0x20);  // every letter's case turned
    ASSERT_EQ(map.FindBytes(key), std::optional<std::size_t>(length - 1)) << key;
  }
  map.AddAscii("abc", "later");  // equal to an indexed number
  for (int i = 0; i < 5000; ++i) map.AddAscii("x" + std::to_string(i), "y");  // the index grows
  map.AddAscii("X42", "later");  // equal to a number that waited with it
  EXPECT_EQ(map.FindBytes("ABC"), std::optional<std::size_t>(2));
  EXPECT_EQ(map.NewBytes(*map.FindBytes("x42")), "y");
  EXPECT_EQ(map.FindBytes("x4999"), std::optional<std::size_t>(24 + 1 + 4999));
  // Numbers too long for the index to note where they stand are still found.
  const std::string longOld(70000, '7');
  const std::string longNew(70001, '8');
  map.AddAscii(longOld, "short");
  map.AddAscii("short", longNew);
  std::string_view newBytes;
  ASSERT_TRUE(map.FindBytes(longOld, newBytes));
  EXPECT_EQ(newBytes, "short");
  ASSERT_TRUE(map.FindBytes("SHORT", newBytes));
  EXPECT_EQ(newBytes, longNew);
  const NumberMap copy = map;
  NumberMap moved = std::move(map);
  EXPECT_EQ(copy.FindBytes("aBc"), std::optional<std::size_t>(2));
  EXPECT_EQ(moved.mlsList2[2], u"n3");
  EXPECT_EQ(map.size(), 0u);  // NOLINT(bugprone-use-after-move): a moved map is left empty
}

}  // namespace
}  // namespace tavo::replace

#include <gtest/gtest.h>

#include "core/strconv.h"

namespace tavo {
namespace {

struct Case {
  const char16_t* src;
  unsigned conversion;
  const char16_t* expected;
};

std::string Name(unsigned conversion) {
  static const char* const kNames[] = {"UpperCase", "LowerCase", "Wide",
                                       "Narrow",    "Katakana",  "Hiragana"};
  std::string name;
  for (int i = 0; i < 6; ++i) {
    if (!(conversion & (1u << i))) continue;
    if (!name.empty()) name += '|';
    name += kNames[i];
  }
  return name.empty() ? "none" : name;
}

void CheckCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(StrConv(c.src, c.conversion), Text(c.expected))
        << Name(c.conversion) << " of " << ToUtf8(c.src);
  }
}

TEST(StrConv, Wide) {
  CheckCases({
      {u"123", Wide, u"１２３"},
      {u"Ab z", Wide, u"Ａｂ\u3000ｚ"},
      {u"!\"#$%&'()*+,-./", Wide, u"！＂＃＄％＆＇（）＊＋，－．／"},
      {u":;<=>?@[\\]^_`{|}~", Wide, u"：；＜＝＞？＠［＼］＾＿｀｛｜｝～"},
      {u"ｱｲｳｴｵ ｦﾝｯｬｰ", Wide, u"アイウエオ\u3000ヲンッャー"},
      {u"｡｢｣､･", Wide, u"。「」、・"},
      // Voiced and semi-voiced marks join the kana before them where a composed form exists.
      {u"ｶﾞｷﾞﾄﾞﾊﾞﾊﾟﾎﾟ", Wide, u"ガギドバパポ"},
      {u"ｳﾞｧｲｵﾘﾝ", Wide, u"ヴァイオリン"},
      {u"ﾃﾞｰﾀ", Wide, u"データ"},
      // No composed form in code page 932: the mark stays a mark of its own.
      {u"ｱﾞｶﾟﾜﾞｦﾞﾞﾟ", Wide, u"ア゛カ゜ワ゛ヲ゛゛゜"},
      {u"ﾊﾟﾞ", Wide, u"パ゛"},
      // Text that is already wide, kanji, hiragana and other scripts stay.
      {u"漢字かなＡ\u3000ガ", Wide, u"漢字かなＡ\u3000ガ"},
      {u"\t\r\n\x7f", Wide, u"\t\r\n\x7f"},
      {u"é😀", Wide, u"é😀"},
  });
}

TEST(StrConv, Narrow) {
  CheckCases({
      {u"１２３", Narrow, u"123"},
      {u"Ａｂ\u3000ｚ", Narrow, u"Ab z"},
      {u"！＂＃＄％＆＇（）＊＋，－．／", Narrow, u"!\"#$%&'()*+,-./"},
      {u"：；＜＝＞？＠［＼］＾＿｀｛｜｝～", Narrow, u":;<=>?@[\\]^_`{|}~"},
      {u"アイウエオヲンッャー", Narrow, u"ｱｲｳｴｵｦﾝｯｬｰ"},
      {u"。「」、・゛゜", Narrow, u"｡｢｣､･ﾞﾟ"},
      {u"ガギドバパポヴ", Narrow, u"ｶﾞｷﾞﾄﾞﾊﾞﾊﾟﾎﾟｳﾞ"},
      {u"カ\u3099ハ\u309A", Narrow, u"ｶﾞﾊﾟ"},
      // No half-width form: these katakana, hiragana and the rest stay.
      {u"ヮヰヱヵヶヷヺヽヾ", Narrow, u"ヮヰヱヵヶヷヺヽヾ"},
      {u"がぱあ漢字", Narrow, u"がぱあ漢字"},
      {u"’”￥￠＼", Narrow, u"’”￥￠\\"},
      {u"abcｱ", Narrow, u"abcｱ"},
  });
}

TEST(StrConv, KatakanaAndHiragana) {
  CheckCases({
      {u"ぁあがぱゔゕゖゝゞ", Katakana, u"ァアガパヴヵヶヽヾ"},
      {u"ァアガパヴヵヶヽヾ", Hiragana, u"ぁあがぱゔゕゖゝゞ"},
      // Katakana without a hiragana, the prolonged sound mark and half-width kana stay.
      {u"ヷヸヹヺー・", Hiragana, u"ヷヸヹヺー・"},
      {u"ｶﾞｱ", Hiragana, u"ｶﾞｱ"},
      {u"ゟ゛abc漢", Katakana, u"ゟ゛abc漢"},
  });
}

TEST(StrConv, Case) {
  CheckCases({
      {u"abcXYZ019", UpperCase, u"ABCXYZ019"},
      {u"abcXYZ019", LowerCase, u"abcxyz019"},
      {u"ａｚＡＺ", UpperCase, u"ＡＺＡＺ"},
      {u"ａｚＡＺ", LowerCase, u"ａｚａｚ"},
      {u"àéöøþÿ", UpperCase, u"ÀÉÖØÞŸ"},
      {u"ÀÉÖØÞŸ", LowerCase, u"àéöøþÿ"},
      {u"×÷ßµ", UpperCase, u"×÷ßµ"},
      {u"āčłňŋžı", UpperCase, u"ĀČŁŇŊŽı"},
      {u"ĀČŁŇŊŽİ", LowerCase, u"āčłňŋžİ"},
      {u"αβγωάέώϊ", UpperCase, u"ΑΒΓΩΆΈΏΪ"},
      {u"ΑΒΓΩΆΈΏΪ", LowerCase, u"αβγωάέώϊ"},
      {u"абвяёђџ", UpperCase, u"АБВЯЁЂЏ"},
      {u"АБВЯЁЂЏ", LowerCase, u"абвяёђџ"},
      {u"ⅰⅻⓐⓩ", UpperCase, u"ⅠⅫⒶⓏ"},
      {u"ⅠⅫⒶⓏ", LowerCase, u"ⅰⅻⓐⓩ"},
      {u"かなカナ漢字ｱ", UpperCase, u"かなカナ漢字ｱ"},
  });
}

TEST(StrConv, Combinations) {
  CheckCases({
      // Kana before narrowing: hiragana become half-width katakana.
      {u"がぱあー", Narrow | Katakana, u"ｶﾞﾊﾟｱｰ"},
      {u"ガパア", Narrow | Hiragana, u"がぱあ"},
      // Widening before kana: half-width katakana become hiragana.
      {u"ｶﾞﾊﾟｱ1", Wide | Hiragana, u"がぱあ１"},
      {u"ｶﾞがa", Wide | Katakana, u"ガガａ"},
      {u"aｶﾞ", Wide | UpperCase, u"Ａガ"},
      {u"ａＢ", Narrow | LowerCase, u"ab"},
      {u"ａＢがカ", Narrow | UpperCase | Katakana, u"ABｶﾞｶ"},
      {u"abｶﾞ", Wide | LowerCase | Hiragana, u"ａｂが"},
  });
}

TEST(StrConv, RoundTrips) {
  Text ascii;
  for (char16_t c = 0x20; c <= 0x7E; ++c) ascii += c;
  EXPECT_EQ(StrConv(StrConv(ascii, Wide), Narrow), ascii);

  Text halfKana;
  for (char16_t c = 0xFF61; c <= 0xFF9F; ++c) halfKana += c;
  halfKana += u"ｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟｳﾞ";
  EXPECT_EQ(StrConv(StrConv(halfKana, Wide), Narrow), halfKana);

  Text hiragana;
  for (char16_t c = u'ぁ'; c <= u'ゖ'; ++c) hiragana += c;
  hiragana += u"ゝゞ";
  EXPECT_EQ(StrConv(StrConv(hiragana, Katakana), Hiragana), hiragana);

  const Text letters = u"abcxyzàþαωаяѐџⅰⓐａｚ";
  EXPECT_EQ(StrConv(StrConv(letters, UpperCase), LowerCase), letters);
}

TEST(StrConv, RefusedCombinationsGiveEmptyText) {
  for (unsigned conversion :
       {0u, UpperCase | LowerCase, Wide | Narrow, Katakana | Hiragana, UpperCase | LowerCase | Wide,
        Wide | Narrow | Katakana, Katakana | Hiragana | Narrow}) {
    EXPECT_EQ(StrConv(u"abc", conversion), u"") << Name(conversion);
  }
}

TEST(StrConv, EmptyTextGivesEmptyText) {
  for (unsigned conversion = 1; conversion < 64; ++conversion) {
    EXPECT_EQ(StrConv(u"", conversion), u"") << Name(conversion);
  }
}

TEST(StrConv, OutputLimitOf1024CodeUnits) {
  EXPECT_EQ(StrConv(Text(1024, u'a'), UpperCase), Text(1024, u'A'));
  EXPECT_EQ(StrConv(Text(1025, u'a'), UpperCase), u"");
  // The limit is on the output: narrowing can double the length, composing halves it.
  EXPECT_EQ(StrConv(Text(512, u'ガ'), Narrow).size(), 1024u);
  EXPECT_EQ(StrConv(Text(513, u'ガ'), Narrow), u"");
  Text halfVoiced;
  for (int i = 0; i < 1000; ++i) halfVoiced += u"ｶﾞ";
  EXPECT_EQ(StrConv(halfVoiced, Wide), Text(1000, u'ガ'));
}

}  // namespace
}  // namespace tavo

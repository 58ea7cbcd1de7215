// Validation rules as tables of cases.
#include <gtest/gtest.h>

#include "linkage/validate.h"

namespace tavo::linkage {
namespace {

struct Case {
  int where;  // source position (ChkStd) or long-header column (ChkStdNew)
  const char* in;
  const char* out;
};

TEST(ChkStd, RulesBySourcePosition) {
  const Case cases[] = {
      // chart number and name
      {0, "1234567890", "1234567890"},
      {0, "12345678901", ""},
      {1, "山田　花子", "山田　花子"},
      {1, "山田 花子", ""},
      {1, "山田1", ""},
      {1, "あいうえおかきくけこさしすせそたちつてと", "あいうえおかきくけこさしすせそたちつてと"},
      {1, "あいうえおかきくけこさしすせそたちつてとな", ""},
      // year-month gains the first day
      {3, "202605", "20260501"},
      {3, " 202605 ", "20260501"},
      {3, "20260501", "20260501"},
      {3, "2026-05", "2026-05"},
      {5, "1234567", "1234567"},
      {5, "123-4567", ""},
      {6, "170", "170"},
      {6, "170.5", ""},
      {6, "99", ""},
      // weight and the two lab values in "%3.1f"
      {7, "65", "65.0"},
      {7, "65.25", "65.3"},
      {7, "6.35", "6.3"},
      {7, "0", ""},
      {7, "abc", ""},
      {22, "6.27", "6.3"},
      {22, "6", "6.0"},
      {22, "25", ""},
      {22, "-1", ""},
      {22, "0", ""},
      {22, "abc", ""},
      {52, "20", "20.0"},
      {52, " 7.25 ", "7.3"},
      // one digit in a set
      {8, "2", "2"},
      {8, "3", ""},
      {8, "12", ""},
      {12, "9", "9"},
      {12, "３", ""},
      {13, "5", "5"},
      {19, "4", ""},
      {24, "9", "9"},
      {24, "2", ""},
      {30, "3", "3"},
      {30, "4", ""},
      {34, "1", "1"},
      {34, "2", ""},
      {36, "4", "4"},
      {39, "4", "4"},
      {39, "5", ""},
      {42, "0", ""},
      {54, "7", "7"},
      {54, "8", ""},
      {63, "9", "9"},
      {63, "8", ""},
      {11, " 3 ", " 3 "},
      // lengths
      {14, "20260510", "20260510"},
      {14, "2026051", ""},
      {16, "1234567", "1234567"},
      {16, "12345678", ""},
      {17, "0001", "0001"},
      {21, "202001", "202001"},
      {21, "2020011", ""},
      {82, "123456789012345678", "123456789012345678"},
      {82, "1234567890123456789", ""},
      // blood pressures and LDL: whole numbers 0 to 300
      {31, "120", "120"},
      {31, "0", "0"},
      {31, "301", ""},
      {31, "-5", ""},
      {31, "120.5", ""},
      {31, "abc", ""},
      {31, " 120", " 120"},
      {79, "10", "10"},
      {79, "11", ""},
      // per-character tests on the untrimmed value
      {60, "0101010101010", "0101010101010"},
      {60, "010101010101", ""},
      {60, " 010101010101", ""},
      {60, "0101010101012", ""},
      {61, "0123901239", "0123901239"},
      {61, "0123401234", ""},
      {65, "01269", "01269"},
      {65, "0126999", "0126999"},
      {65, "01278", ""},
      {65, "0126", ""},
      {65, "01269999", ""},
      {68, "01010", "01010"},
      {68, "0101", ""},
      {140, "01010101010101", "01010101010101"},
      {140, "0101010101010", ""},
      // character classes
      {18, "高血圧症", "高血圧症"},
      {18, "高血圧 症", ""},
      {56, "I639", "I639"},
      {56, "Ｉ63", ""},
      {74, "IV", "IV"},
      {74, "Ⅳ", ""},
      {85, "4860002", "4860002"},
      {85, "48600021", ""},
      {85, "４８６", ""},
      {86, "0003", "0003"},
      {86, "０００３", ""},
      // ordinal text order against "8"
      {78, "8", "8"},
      {78, "10", "10"},
      {78, "1", "1"},
      {78, "9", ""},
      {78, "80", ""},
      // no rule
      {9, "anything at all", "anything at all"},
      {47, "a,b", "a,b"},
      {99, "X", "X"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChkStd(T(c.in), c.where), T(c.out)) << c.where << " [" << c.in << "]";
    bool ascii = true;
    for (const char* p = c.in; *p; ++p) ascii = ascii && static_cast<unsigned char>(*p) < 0x80;
    if (ascii) {
      EXPECT_EQ(ChkStdAscii(c.in, c.where), c.out) << "ascii " << c.where << " [" << c.in << "]";
    }
  }
}

TEST(ChkStdNew, KeepsOrBlanksByColumn) {
  const Case cases[] = {
      {1, "あいうえおかきくけこさしすせそたちつてと", "あいうえおかきくけこさしすせそたちつてと"},
      {1, "あいうえおかきくけこさしすせそたちつてとな", ""},
      {2, "20260601", "20260601"},
      {2, "2026060", ""},
      {2, "2026/6/1", ""},
      {21, "２０２６０６０１", ""},
      {3, "1234567", "1234567"},
      {3, "123-456", ""},
      {11, " 3 ", " 3 "},
      {11, "6", ""},
      {12, "9", "9"},
      {12, "10", ""},
      {20, "0", ""},
      {20, "5", "5"},
      {22, "高血圧", "高血圧"},
      {25, "0001", "0001"},
      {25, "001", ""},
      {26, "3", "3"},
      {26, "4", ""},
      {27, "2", ""},
      {32, "9", "9"},
      {39, "5", ""},
      {42, "2", "2"},
      {42, "3", ""},
      {52, "202301", "202301"},
      {52, "20230", ""},
      {53, "7", "7"},
      {53, "8", ""},
      {60, "0101010101010", "0101010101010"},
      {60, "0101010101012", ""},
      {61, "0123901239", "0123901239"},
      {64, "3", ""},
      {68, "01010", "01010"},
      {82, "123456791234567912", "123456791234567912"},
      {82, "123456701234567912", ""},
      {82, "123456781234567912", ""},
      {83, "01010101010101", "01010101010101"},
      {99, "0101010", "0101010"},
      {99, "010101", ""},
      {5, "whatever", "whatever"},
      {24, "I1,0", "I1,0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChkStdNew(T(c.in), c.where), T(c.out)) << c.where << " [" << c.in << "]";
    bool ascii = true;
    for (const char* p = c.in; *p; ++p) ascii = ascii && static_cast<unsigned char>(*p) < 0x80;
    if (ascii) {
      EXPECT_EQ(ChkStdNewKeepsAscii(c.in, c.where), *c.out != '\0' || *c.in == '\0')
          << "ascii " << c.where << " [" << c.in << "]";
    }
  }
}

// The reason given in the report of blanked values: the first test that
// fails, named with its numbers and set; none for a value that passes.
TEST(BlankReasons, FirstFailingTestNamed) {
  const Case positional[] = {
      {0, "12345678901", "10文字を超えています"},
      {0, "1234567890", ""},
      {1, "Yamada", "半角文字が含まれています"},
      {1, "あいうえおかきくけこさしすせそたちつてとな", "20文字を超えています"},
      {3, "2026-05", ""},
      {5, "123-4567", "7文字ではありません"},
      {56, "Ｉ63", "全角文字が含まれています"},
      {8, "3", "0、1、2のいずれか1文字ではありません"},
      {12, "３", "0から9のいずれか1文字ではありません"},
      {19, "4", "0から3、9のいずれか1文字ではありません"},
      {63, "8", "0から7、9のいずれか1文字ではありません"},
      {34, "2", "0、1のいずれか1文字ではありません"},  // the first of its two tests
      {7, "0", "0または数値以外です"},
      {7, "abc", "0または数値以外です"},
      {22, "25", "0より大きく20以下の数値ではありません"},
      {22, "6.27", ""},
      {31, "301", "0から300までの整数ではありません"},
      {79, "11", "0から10までの整数ではありません"},
      {60, "0101010101012", "先頭13文字が0、1だけではありません"},
      {60, "01010101010101", "13文字を超えています"},
      {65, "01278", "先頭5文字が0から6、9だけではありません"},
      {78, "9", "8以下ではありません（文字の順で比較）"},
      {140, "0101010101010", "14文字ではありません"},
      {100, "anything", ""},
  };
  for (const Case& c : positional) {
    EXPECT_EQ(ChkStdReason(T(c.in), c.where), T(c.out)) << c.where << " " << c.in;
    // A reason exactly when the value is blanked.
    EXPECT_EQ(ChkStd(T(c.in), c.where).empty(), *c.out != 0) << c.where << " " << c.in;
  }
  const Case itemCode[] = {
      {1, "あいうえおかきくけこさしすせそたちつてとな", "20文字を超えています"},
      {2, "2026061", "8桁の数字ではありません"},
      {3, "123-456", "7桁の数字ではありません"},
      {11, " 3 ", ""},
      {20, "0", "1から5のいずれか1文字ではありません"},
      {39, "5", "0から4、9のいずれか1文字ではありません"},
      {42, "3", "1、2、9のいずれか1文字ではありません"},
      {60, "010101010101", "0、1だけの13文字ではありません"},
      {82, "123456781234567812", "1から7、9だけの18文字ではありません"},
      {99, "0101012", "0、1だけの7文字ではありません"},
      {5, "anything", ""},
  };
  for (const Case& c : itemCode) {
    EXPECT_EQ(ChkStdNewReason(T(c.in), c.where), T(c.out)) << c.where << " " << c.in;
    EXPECT_EQ(ChkStdNew(T(c.in), c.where).empty(), *c.out != 0) << c.where << " " << c.in;
  }
}

TEST(BlankReasons, MarksForNotMeasured) {
  const struct {
    int position;
    const char* value;
    bool mark;
  } cases[] = {
      {31, "999", true},   {32, " 999 ", true}, {37, "999", true},  {22, "99.9", true},
      {52, " 99.9", true}, {31, "998", false},  {31, "999.0", false}, {22, "999", false},
      {52, "99.90", false}, {6, "999", false},  {7, "999", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsNotMeasuredMark(T(c.value), c.position), c.mark) << c.position << " " << c.value;
  }
}

TEST(GetStringCategories, NamesPresentClassesInOrder) {
  struct {
    const char* text;
    int kind;
    const char* names;
  } cases[] = {
      {"高血圧123", 1, "半角, 全角"},
      {"高血圧123", 2, "半角数字, 漢字・全角カナ・全角記号"},
      {"aA1Ａ", 1, "半角, 半角, 全角"},
      {"aA1Ａ", 2, "半角英字, 半角数字, 全角英数字"},
      {"ｱ-", 2, "半角記号/半角カナ"},
      {"ｱ", 1, "半角"},
      {"　", 1, "全角"},
      {"\t", 1, "全角"},
      {" ", 1, "半角"},
      {"", 1, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetStringCategories(T(c.text), c.kind), T(c.names)) << c.text << " " << c.kind;
  }
}

TEST(DigitTests, IsDigitsSingle1FixedDigits) {
  EXPECT_TRUE(IsDigits(u"0123"));
  EXPECT_FALSE(IsDigits(u""));
  EXPECT_FALSE(IsDigits(u"12a"));
  EXPECT_FALSE(IsDigits(T("１２")));
  EXPECT_TRUE(Single1(u"5", S05));
  EXPECT_FALSE(Single1(u"6", S05));
  EXPECT_FALSE(Single1(u"55", S05));
  EXPECT_FALSE(Single1(u"", S05));
  EXPECT_TRUE(FixedDigits(u"01101", 5, S01));
  EXPECT_FALSE(FixedDigits(u"0110", 5, S01));
  EXPECT_FALSE(FixedDigits(u"01102", 5, S01));
  EXPECT_TRUE(FixedDigits(u"", 0, S01));
}

}  // namespace
}  // namespace tavo::linkage

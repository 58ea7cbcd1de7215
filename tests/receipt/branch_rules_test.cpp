// The patient-number rules and the output-name rule, as tables.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/cp932.h"
#include "core/files.h"
#include "receipt/receipt_ops.h"

namespace tavo::receipt {
namespace {

struct Case {
  const char* in;
  const char* out;
};

TEST(GetKnjBng, CutsAtSeparatorsAndRemovesSpaces) {
  const Case cases[] = {
      {"12345-1", "12345"},
      {"12345*0", "12345"},
      {"12345*1", "12345"},
      {"12345/2", "12345"},
      {"12 345", "12345"},
      {"12 - 3", "12"},
      {"123*4-5", "123"},
      {"-5", ""},
      {"12345", "12345"},
      {"  00777*0 ", "00777"},
      {"12345 *0", "12345"},  // "*0" cut, then the blank before it trimmed
      {"12*0-3", "12"},       // "*0" is not at the end: the cuts decide
      {"1 2/3 4", "12"},      // spaces go before the "/" cut
      {"A1-2/3*4", "A1"},
      {"12345－1", "12345－1"},  // full-width hyphen U+FF0D is no separator
      {"12345／1＊2", "12345／1＊2"},
      {"123　45", "123　45"},  // full-width space stays
      {"\t987-1\t", "987"},
      {"*0", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ToUtf8(GetKnjBng(T(c.in))), c.out) << c.in;
}

// The byte-level rule must give what the text rule gives: random numbers
// built from separators, blanks, digits, kana, kanji and invalid bytes.
TEST(GetKnjBngBytes, AgreesWithTheTextRule) {
  const std::vector<std::string> pieces = {"-",
                                           "/",
                                           "*",
                                           "*0",
                                           " ",
                                           "\t",
                                           "0",
                                           "1",
                                           "9",
                                           "A",
                                           Cp932Encode(T("ｶ")),
                                           Cp932Encode(T("山")),
                                           Cp932Encode(T("－")),
                                           Cp932Encode(T("　")),
                                           "\x81",
                                           "\xFF",
                                           "\x80"};
  std::mt19937 rng(7);
  for (int n = 0; n < 20000; ++n) {
    std::string number;
    const int len = static_cast<int>(rng() % 9);
    for (int k = 0; k < len; ++k) number += pieces[rng() % pieces.size()];
    const std::string viaText = Cp932Encode(GetKnjBng(Cp932Decode(number)));
    EXPECT_EQ(GetKnjBngBytes(number), viaText) << testing::PrintToString(number);
  }
}

TEST(GetKnjBng2, KeepsThePositionRange) {
  struct RangeCase {
    const char* in;
    int from;
    int to;
    const char* out;
  };
  const RangeCase cases[] = {
      {"0012345678", 3, 6, "1234"},
      {"0012345678", 3, 20, "12345678"},
      {"0012345678", 4, 4, ""},
      {"0012345678", 6, 3, ""},
      {"0012345678", -1, 5, ""},
      {"0012345678", 1, -5, ""},
      {"0012345678", 11, 20, ""},  // start past the end
      {"0012345678", 0, 3, "001"},
      {"  0012345678  ", 1, 2, "00"},  // positions count after trimming
      {"00 12345", 2, 3, "0"},         // the kept part is trimmed
      {"山田ー０１２", 3, 6, "ー０１２"},
      {"", 1, 5, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToUtf8(GetKnjBng2(T(c.in), c.from, c.to)), c.out)
        << c.in << " " << c.from << ".." << c.to;
  }
}

TEST(SafeFileName, StaysInsideTheProgramFolder) {
  const Case cases[] = {
      {"202604_1.UKE", "202604_1.UKE"},
      {"(202604提出_社保)RECEIPTC.uke", "(202604提出_社保)RECEIPTC.uke"},
      {"../x_1.UKE", ".._x_1.UKE"},
      {"C:\\x_1.UKE", "C__x_1.UKE"},
      {"a/b_1.UKE", "a_b_1.UKE"},
      {"a\x01\x1f|?*<>\"b_1.UKE", "a________b_1.UKE"},
      {"..", "_"},
  };
  for (const auto& c : cases) {
    const Text safe = SafeFileName(T(c.in));
    EXPECT_EQ(ToUtf8(safe), c.out) << c.in;
    EXPECT_TRUE(IsSafeFileName(safe));
  }
  // A byte that was not Shift_JIS decodes to a lone surrogate; it becomes "_".
  EXPECT_EQ(SafeFileName(Text(u"20\xDC80"
                                u"4_1.UKE")),
            u"20_4_1.UKE");
}

}  // namespace
}  // namespace tavo::receipt

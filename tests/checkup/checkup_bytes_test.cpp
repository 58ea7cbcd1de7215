// The qualifying test on a line's UTF-8 bytes against the test on its text,
// on random lines over the bytes that matter.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "checkup/checkup_ops.h"

namespace tavo::checkup {
namespace {

TEST(QualifyLineBytes, SameAsTheTextRuleOnRandomLines) {
  // Lines of four to eight fields, each drawn from values near the rules' edges.
  const std::vector<std::string> values[] = {
      {"0012", "0", " 12 ", "ABC", "", "山田", "\xFF", "\x01"},
      {"山田", " 花子 ", "", "\xE3\x81", " ", "a\tb"},
      {"1", ""},
      {"202606", " 202601 ", "202511", "202512", "2026-06", "２０２６０６",
       "\xFF"
       "02606",
       "", "+20260"},
      {"45", " 74", "75", "39", "40", "", "abc", "４５", "-1", "\xE3\x81"},
      {"06123456", ""},
      {"x", "\xFF"},
      {"", "y,z"},
  };
  const CheckupWindow window{202512, 202606};
  std::mt19937 rng(71);
  int taken = 0;
  for (int round = 0; round < 30000; ++round) {
    std::string line;
    const unsigned count = 4 + rng() % 5;
    for (unsigned f = 0; f < count; ++f) {
      if (f) line += ',';
      line += values[f][rng() % values[f].size()];
    }
    const auto text = QualifyLine(FromUtf8(line), window);
    ASSERT_EQ(QualifyLineBytes(line, window), text) << round << " " << line;
    taken += text.has_value();
  }
  EXPECT_GT(taken, 100);  // the random lines do reach the qualifying path
}

// Every patient number, year-month and age near the edges of the number
// readings: plain digits that do or do not fit, signs, zeros, characters
// outside ASCII and bytes that are no UTF-8.
TEST(QualifyLineBytes, SameAsTheTextRuleOnNumberEdges) {
  const std::vector<std::string> ids = {"0012",
                                        "0",
                                        "00",
                                        "0000",
                                        "+0012",
                                        "-0012",
                                        "-0",
                                        " 007 ",
                                        "123456789012345678",
                                        "0000123456789012345678",
                                        "1234567890123456789",
                                        "9223372036854775807",
                                        "9223372036854775808",
                                        "-9223372036854775808",
                                        "00000000000000000000001",
                                        "0x1A",
                                        "１２",
                                        "\xFF",
                                        "\xFE",
                                        "\xC3\xA9",
                                        "\xE3\x81",
                                        "12\xFF"};
  const std::vector<std::string> yms = {"202606",  "202512",       "202511", "202607",  "+20260",
                                        "20260６", "２０２６０６", "20260A", " 202601 "};
  const std::vector<std::string> ages = {"40",  "74",   "75",         "39",          "040",
                                         "+40", "-40",  "0000000040", "00000000040", "2147483648",
                                         "4O",  " 74 ", "\xFF"};
  const CheckupWindow window{202512, 202606};
  int taken = 0;
  for (const auto& id : ids) {
    for (const auto& ym : yms) {
      for (const auto& age : ages) {
        const std::string line = id + ",山田,1," + ym + "," + age + ",x";
        const auto text = QualifyLine(FromUtf8(line), window);
        ASSERT_EQ(QualifyLineBytes(line, window), text) << line;
        taken += text.has_value();
      }
    }
  }
  EXPECT_GT(taken, 100);
}

}  // namespace
}  // namespace tavo::checkup

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

}  // namespace
}  // namespace tavo::checkup

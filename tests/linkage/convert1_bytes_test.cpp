// Converter 1 on code page 932 bytes against the conversion of the decoded
// lines, on random files over the values and separators that matter.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/cp932.h"
#include "core/errors.h"
#include "linkage/convert1.h"
#include "support/test_util.h"

namespace tavo::linkage {
namespace {

template <typename Run>
std::vector<Text> Outcome(Run run) {
  try {
    Convert1Output out = run();
    out.lines.push_back(u"year-month: " + out.yearMonth);
    const Convert1Counts& c = out.counts;
    for (const std::size_t n : {c.lines, c.rows, c.tooShort, c.noChart, c.repeated, c.widened}) {
      out.lines.push_back(u"count: " + IntToText(static_cast<std::int64_t>(n)));
    }
    return out.lines;
  } catch (const OpError& e) {
    return {u"error: " + e.text()};
  }
}

TEST(ConvertLinesBytes, SameAsTheTextConversionOnRandomFiles) {
  // Repeated chart numbers, also quoted, over 16 bytes or outside ASCII.
  const std::vector<std::string> charts = {"123", " 123", "0123", "abc",     "ABC",
                                           "",    "山田", "\x81", "\"123\"", "x12345678901234567"};
  const std::vector<std::string> values = {"",         "0",   "65",       "65.25",   "350", "999",
                                           "99.9",     "6",   "\"6\"",    " 7 ",     "abc", "ｶﾅ",
                                           "\xED\x40", "1,2", "\x82\x50", "1234567", "\t"};
  std::mt19937 rng(53);
  for (int round = 0; round < 400; ++round) {
    std::vector<std::string> lines;
    for (unsigned n = rng() % 12; n > 0; --n) {
      std::string line = charts[rng() % charts.size()];
      const unsigned fields = 50 + rng() % 6;
      for (unsigned f = 1; f < fields; ++f) {
        line += rng() % 2 ? '\t' : ',';
        std::string v = values[rng() % values.size()];
        if ((f == 22 || f == 52) && rng() % 40 == 0)
          v = test::Sjis("未");  // not a number: an error
        if (f == 3) v = rng() % 3 ? "202606" : "";
        line += v;
      }
      lines.push_back(line);
    }
    std::vector<Text> decoded;
    for (const std::string& line : lines) decoded.push_back(Cp932Decode(line));
    ASSERT_EQ(Outcome([&] { return ConvertLinesBytes(lines); }),
              Outcome([&] { return ConvertLines(decoded); }))
        << round;
  }
}

TEST(SplitFieldsBytes, SixteenAtATimeAgreesWithThePlainSplit) {
  std::mt19937 rng(16);
  const char pick[] = {'a', ',', '\t', '\x81', '\x2C', '\x89', '\r', ' '};
  std::vector<std::string_view> fast;
  std::vector<std::string_view> plain;
  for (int round = 0; round < 20000; ++round) {
    std::string line(rng() % 80, 'x');
    for (char& c : line) c = rng() % 3 ? 'a' : pick[rng() % sizeof pick];
    SplitFieldsBytes(line, fast);
    SplitFieldsBytesPlain(line, plain);
    ASSERT_EQ(fast, plain) << round;
  }
}

}  // namespace
}  // namespace tavo::linkage

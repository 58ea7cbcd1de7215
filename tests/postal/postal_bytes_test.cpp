// The postal lines made on code page 932 bytes against the text rules they
// stand for, on random lines over the bytes that matter.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "core/cp932.h"
#include "core/errors.h"
#include "postal/postal_ops.h"

namespace tavo::postal {
namespace {

std::string Outcome(const std::function<std::string()>& run) {
  try {
    return run();
  } catch (const OpError& e) {
    return "error: " + ToUtf8(e.text());
  }
}

std::string RandomLine(std::mt19937& rng, char delim) {
  const std::string d(1, delim);
  const std::string pieces[] = {d,          d,      d,          d,          d,
                                d,          "0012", "-7",       "+",        "D001",
                                " ",        "\t",   ",",        "\"",       "\x8E\x52",
                                "\xED\x40", "\x81", "\x83\x41", "123-4567", std::string("\0", 1)};
  std::string line;
  for (unsigned k = rng() % 60; k > 0; --k) line += pieces[rng() % std::size(pieces)];
  return line;
}

TEST(PostalLineBytes, SameAsTheTextRulesOnRandomLines) {
  const Text date = u"20260601";
  const KarteMap karte(std::vector<Text>{u"12345,D001", T("7,山"), u"9,"});
  std::mt19937 rng(61);
  for (int round = 0; round < 20000; ++round) {
    const bool csv = round % 2 == 0;
    const std::string line = RandomLine(rng, csv ? ',' : '\t');
    const std::string bytes = Outcome([&] {
      std::string out = "kept";
      if (csv) {
        OutputFileLineBytes(line, date, out);
      } else {
        IntermediateLineBytes(line, date, karte, out);
      }
      return out.substr(4);
    });
    const std::string text = Outcome([&] {
      const Text decoded = Cp932Decode(line);
      return Cp932Encode(csv ? OutputFileLine(decoded, date)
                             : IntermediateLine(decoded, date, karte));
    });
    ASSERT_EQ(bytes, text) << round;
  }
}

}  // namespace
}  // namespace tavo::postal

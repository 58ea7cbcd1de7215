// The leading-field parse on code page 932 bytes against ParseCommaTxt on the
// decoded text, on random lines over the bytes that matter.
#include <gtest/gtest.h>

#include <random>

#include "core/comma.h"
#include "core/cp932.h"

namespace tavo {
namespace {

TEST(ParseLeadingFieldsBytes, SameFieldsAsTheTextParse) {
  const std::string pieces[] = {"a",  ",",  "\t",   " ",        "\"",       "\"\"",
                                "12", "\r", "\x81", "\x8E\x52", "\x83\x41", std::string("\0", 1)};
  std::mt19937 rng(27);
  std::vector<std::string_view> fields;
  for (int round = 0; round < 20000; ++round) {
    std::string line;
    for (unsigned k = rng() % 10; k > 0; --k) line += pieces[rng() % std::size(pieces)];
    const char delim = round % 2 ? ',' : '\t';
    const bool strict = round % 4 >= 2;
    const std::size_t count = 1 + rng() % 4;
    FieldList expected = ParseCommaTxt(Cp932Decode(line), static_cast<char16_t>(delim), strict);
    if (expected.size() > count) expected.resize(count);
    if (!ParseLeadingFieldsBytes(line, delim, strict, count, fields)) {
      // Only a quoted field sends the line to the text parse.
      ASSERT_NE(line.find('"'), std::string::npos) << round;
      continue;
    }
    FieldList got;
    for (std::string_view f : fields) got.push_back(Cp932Decode(f));
    ASSERT_EQ(got, expected) << round;
  }
}

}  // namespace
}  // namespace tavo

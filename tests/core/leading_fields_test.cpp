// The leading fields split on code page 932 bytes, with and without SSE2,
// against ParseCommaTxt on the decoded text, on random lines short and long
// (a line's fields are looked for 64 bytes at a time, its last bytes apart).
#include "core/leading_fields.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/comma.h"
#include "core/cp932.h"

namespace tavo {
namespace {

// The fields a split gives, decoded; "quoted" when it left the line to the text parse.
FieldList Decoded(bool split, const LeadingFields& fields, std::string_view line) {
  if (!split) return {u"quoted"};
  FieldList out;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    // Every field is a view into the line, an empty one too.
    EXPECT_TRUE(fields[i].data() >= line.data() &&
                fields[i].data() + fields[i].size() <= line.data() + line.size());
    out.push_back(Cp932Decode(fields[i]));
  }
  return out;
}

TEST(LeadingFields, SameFieldsAsTheTextParse) {
  // Blanks and quotes last: a third of the lines are made without them, as
  // nearly all lines are, and split at their delimiters alone.
  const std::string pieces[] = {"a",      ",",        ",",        "\t",     "\t",
                                "12",     "\x81",     "\x8E\x52", "\x83\x41", "\x7F",
                                "\x81\x2C", "abcdefghijklmnopq", std::string("\0", 1),
                                " ",      "\"",       "\x1F",     "\r",       "\x82\x09"};
  const std::size_t withoutBlanks = std::size(pieces) - 5;
  std::mt19937 rng(1215);
  // The same objects for every line: nothing of a longer line may remain.
  LeadingFields sse2;
  LeadingFields plain;
  for (int round = 0; round < 30000; ++round) {
    std::string line;
    const unsigned length = round % 10 == 0 ? 40 + rng() % 60 : rng() % 14;
    const std::size_t kinds = round % 3 == 0 ? withoutBlanks : std::size(pieces);
    for (unsigned k = length; k > 0; --k) line += pieces[rng() % kinds];
    // The bytes behind the line hold delimiters and blanks the split must not see.
    const std::string bytes = line + ",\t ,";
    const std::string_view view(bytes.data(), line.size());
    const char delim = round % 2 ? ',' : '\t';
    const bool strict = round % 4 >= 2;
    const std::size_t count = 1 + rng() % 16;
    FieldList expected = ParseCommaTxt(Cp932Decode(line), static_cast<char16_t>(delim), strict);
    if (expected.size() > count) expected.resize(count);
    SCOPED_TRACE("round " + std::to_string(round));

    const FieldList byPlain = Decoded(plain.SplitPlain(view, delim, strict, count), plain, view);
    const FieldList bySse2 = Decoded(sse2.Split(view, delim, strict, count), sse2, view);
    ASSERT_EQ(bySse2, byPlain);
    if (byPlain == FieldList{u"quoted"}) {
      // Only a field that opens with a quote sends the line to the text parse.
      ASSERT_NE(line.find('"'), std::string::npos);
      continue;
    }
    ASSERT_EQ(byPlain, expected);
  }
}

}  // namespace
}  // namespace tavo

// The fields of an intermediate line split in one pass, with and without SSE2,
// against the leading fields of the general split, on random lines short and
// long (the bytes are looked at 64 at a time), and the change marks (a twin
// code or a comma) against the check of each field's bytes. The same where the
// line is cut in the same pass.
#include "postal/intermediate_fields.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/cp932_twins.h"
#include "core/leading_fields.h"

namespace tavo::postal {
namespace {

// The fields and their marks as text; "none" when the line was left to the general split.
std::string Outcome(bool split, const IntermediateFields& fields, std::string_view line) {
  if (!split) return "none";
  std::string out;
  for (std::size_t i = 0; i < IntermediateFields::kCount; ++i) {
    EXPECT_TRUE(fields[i].data() >= line.data() &&
                fields[i].data() + fields[i].size() <= line.data() + line.size());
    out += std::string(fields[i]) + "|" + (fields.MayChange(i) ? "change" : "") + "\n";
  }
  return out;
}

TEST(IntermediateFields, SameAsTheGeneralSplit) {
  const std::string pieces[] = {"\t",       "\t",       "\t",     "D0012",    "123-4567",
                                "\x8E\x52", "\x94\xFC", "\x87\x90", "\xED\x40", "\xFA\x5C",
                                "\x81",     " ",        ",",      "abcdefghijklmnopq",
                                std::string("\0", 1),   "\""};
  std::mt19937 rng(1510);
  // The same objects for every line: nothing of a longer line may remain.
  IntermediateFields sse2;
  IntermediateFields plain;
  LeadingFields general;
  for (int round = 0; round < 30000; ++round) {
    std::string line;
    const unsigned length = round % 5 == 0 ? 30 + rng() % 90 : rng() % 16;
    // The quote in a third of the lines only.
    const std::size_t kinds = round % 3 == 0 ? std::size(pieces) : std::size(pieces) - 1;
    for (unsigned k = length; k > 0; --k) line += pieces[rng() % kinds];
    // The bytes behind the line hold TABs, quotes and twin bytes the split must not see.
    const std::string bytes = line + "\t\"\xED\t";
    const std::string_view view(bytes.data(), line.size());
    SCOPED_TRACE("round " + std::to_string(round));

    const std::string byPlain = Outcome(plain.SplitPlain(view), plain, view);
    const std::string bySse2 = Outcome(sse2.Split(view), sse2, view);
    ASSERT_EQ(bySse2, byPlain);
    if (byPlain == "none") {
      // Left out only where a quote precedes the sixth field's end or fields are missing.
      const bool whole = general.Split(view, '\t', true, 6) && general.size() == 6;
      if (whole) {
        const std::string_view sixth = general[5];
        const std::size_t end = static_cast<std::size_t>(sixth.data() + sixth.size() - view.data());
        EXPECT_NE(view.substr(0, end).find('"'), std::string_view::npos);
      }
      continue;
    }
    ASSERT_TRUE(general.Split(view, '\t', true, 6));
    ASSERT_EQ(general.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
      EXPECT_EQ(plain[i], general[i]) << i;
      // A field is marked exactly when it holds a first byte of a twin or a comma.
      const bool changes = Cp932MayHoldTwin(plain[i]) || plain[i].find(',') != std::string::npos;
      EXPECT_EQ(plain.MayChange(i), changes) << i;
    }
  }
}

// A line split where it starts in the bytes read: the same as the line cut
// at its first CR or LF and split as above, whichever of SSE2 or the plain
// loop marks it, and its length with the break (a CR LF being one).
TEST(IntermediateFields, WindowSameAsTheLineCutFirst) {
  const std::string pieces[] = {"\t",
                                "\t",
                                "\t",
                                "\t",
                                "D0012",
                                "123-4567",
                                "\x8E\x52",
                                "\x94\xFC",
                                "\x87\x90",
                                "\xED\x40",
                                "\x81",
                                " ",
                                ",",
                                "\r",
                                "\n",
                                "\r\n",
                                "abcdefghijklmnopq",
                                std::string("\0", 1),
                                "\""};
  std::mt19937 rng(2611);
  IntermediateFields sse2;
  IntermediateFields plain;
  IntermediateFields reference;
  for (int round = 0; round < 30000; ++round) {
    std::string bytes;
    const std::size_t kinds = round % 3 == 0 ? std::size(pieces) : std::size(pieces) - 1;
    // Lines around the window's length; line ends are rarer than TABs.
    const std::size_t target = IntermediateFields::kWindow + 1 + rng() % 40;
    while (bytes.size() < target) {
      const std::string& piece = pieces[rng() % kinds];
      if (piece.find_first_of("\r\n") != std::string::npos && rng() % 3 != 0) continue;
      bytes += piece;
    }
    SCOPED_TRACE("round " + std::to_string(round));
    const std::size_t bySse2 = sse2.SplitWindow(bytes.data());
    const std::size_t byPlain = plain.SplitWindowPlain(bytes.data());
    ASSERT_EQ(bySse2, byPlain);
    const std::size_t end = bytes.find_first_of("\r\n");
    if (end >= IntermediateFields::kWindow) {
      EXPECT_EQ(byPlain, 0u);
      continue;
    }
    const std::string_view line(bytes.data(), end);
    const bool split = reference.Split(line);
    if (!split) {
      EXPECT_EQ(byPlain, 0u);
      continue;
    }
    ASSERT_EQ(byPlain, end + 1 + (bytes.compare(end, 2, "\r\n") == 0));
    const std::string expected = Outcome(true, reference, line);
    EXPECT_EQ(Outcome(true, plain, line), expected);
    EXPECT_EQ(Outcome(true, sse2, line), expected);
  }
}

}  // namespace
}  // namespace tavo::postal

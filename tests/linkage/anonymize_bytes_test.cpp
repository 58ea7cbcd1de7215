// The anonymizer's cut of the second field on bytes against the decoded
// split and join, on random lines over the bytes that decoding treats apart.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "linkage/convert2.h"
#include "support/test_util.h"

namespace tavo::linkage {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// Pieces of a line: ASCII, double-byte codes, codes with a twin (re-encoded
// to another code), lead bytes cut off by a TAB or the line's end, lone
// trail bytes, bytes that are no character, CR, and runs long enough for
// the sixteen-byte scan.
const std::vector<std::string> kPieces = {
    "a",        "12345",    "\t",       "\t",       "\t",       "\r",
    "\x88\x9F", "\xB1",     "\x81\x87", "\xED\x40", "\xFA\x5C", "\x87\x90",
    "\xFA\x4A", "\xEE\xEF", "\xFA\x54", "\xEE\xF9", "\xFA",     "\x87",
    "\xED",     "\x81",     "\x80",     "\xA0",     "\xFD",     "\xFE",
    "\xFF",     "\x40",     "\xF0\x40", "\x81\x7F", "\\",       "~",
    std::string(20, 'x'),   std::string(17, 'y')};

std::string RandomLine(std::mt19937& rng) {
  std::string line;
  for (unsigned n = rng() % 14; n > 0; --n) line += kPieces[rng() % kPieces.size()];
  return line;
}

std::string ByText(std::string_view line) {
  std::string out;
  BlankSecondColumnText(line, out);
  return out;
}

TEST(BlankSecondColumnBytes, SameAsTheTextPathOnRandomLines) {
  const std::vector<std::string> fixed = {
      "",         "\t",         "\t\t",       "a",           "a\t",         "\tb",
      "a\tb",     "a\tb\tc",    "a\t\tc",     "\xFA\tb\tc",  "a\t\xFA\tc",  "a\tb\t\xFA",
      "\xED\x40\t\x87\x90\t\xFA\x4A",         "\x81\t\x81\t\x81",          "a\r\tb\r\tc\r"};
  for (const std::string& line : fixed) {
    std::string out;
    BlankSecondColumnBytes(line, out);
    EXPECT_EQ(out, ByText(line)) << ::testing::PrintToString(line);
  }
  std::mt19937 rng(15);
  for (int round = 0; round < 20000; ++round) {
    const std::string line = RandomLine(rng);
    std::string out = "prefix";  // appends to what is there
    BlankSecondColumnBytes(line, out);
    ASSERT_EQ(out, "prefix" + ByText(line)) << ::testing::PrintToString(line);
  }
}

TEST(BlankSecondColumn, WholeFileSameAsTheTextPath) {
  // Enough lines to pass the output block; the header keeps its fields
  // (only codes with a twin change), every other line loses its second.
  TempDir dir;
  std::mt19937 rng(1510);
  std::string input = "\xED\x40\tname\t\xFA\x4A\r\n";
  std::string expected;
  BlankSecondColumnText("\xED\x40", expected);
  expected += "\tname\t";
  BlankSecondColumnText("\xFA\x4A", expected);
  expected += "\r\n";
  std::vector<std::string> lines(12000);
  for (std::string& line : lines) {
    line = RandomLine(rng);
    std::erase(line, '\r');
  }
  const char* breaks[] = {"\r\n", "\n", "\r"};
  for (std::size_t i = 0; i < lines.size(); ++i) {
    // A lone CR before an empty line and its LF would be one CR LF.
    const bool crOnly = i + 1 == lines.size() || !lines[i + 1].empty();
    input += lines[i] + breaks[rng() % (crOnly ? 3 : 2)];
    expected += ByText(lines[i]) + "\r\n";
  }
  ASSERT_GT(expected.size(), std::size_t{1} << 17);
  WriteBytes(dir / "in.txt", input);
  BlankSecondColumn(dir / "in.txt", dir / "out.txt");
  EXPECT_EQ(ReadBytes(dir / "out.txt"), expected);
}

}  // namespace
}  // namespace tavo::linkage

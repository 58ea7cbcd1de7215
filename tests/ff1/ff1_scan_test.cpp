// FF1 lines as bytes: the SSE2 and the plain shaping against a straightforward
// one, the reader that shapes a file's lines, and the byte readings.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/bytes.h"
#include "ff1/ff1_io.h"
#include "ff1/ff1_scan.h"
#include "support/test_util.h"

namespace tavo::ff1 {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteBytes;

struct Shape {
  std::size_t length, tabs;
  std::vector<std::size_t> firstTabs;
  bool pair;
  bool operator==(const Shape&) const = default;
};

Shape Of(const LineShape& s) {
  return {s.length, s.tabs, std::vector<std::size_t>(s.tab, s.tab + std::min<std::size_t>(s.tabs, 3)),
          s.pair};
}

Shape Reference(std::string_view bytes, char a, char b) {
  const std::size_t end = bytes.find_first_of("\r\n");
  const std::string_view line = bytes.substr(0, end);
  Shape s{line.size(), 0, {}, false};
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\t') continue;
    ++s.tabs;
    if (s.firstTabs.size() < 3) s.firstTabs.push_back(i);
  }
  for (std::size_t i = 0; i + 1 < line.size(); ++i) s.pair = s.pair || (line[i] == a && line[i + 1] == b);
  return s;
}

TEST(ShapeLine, AgreesWithAStraightforwardReading) {
  // Bytes that matter (TAB, CR, LF, the pair, a byte of the pair's Shift_JIS
  // neighbourhood) mixed with others, lines of every length around a block.
  const char a = '\x8E', b = '\x7B';
  const char alphabet[] = {'\t', '\t', '\r', '\n', a, b, 'x', '1', ' ', '\x81', '\xE6', '\0'};
  std::mt19937 rng(7);
  for (int round = 0; round < 20000; ++round) {
    const std::size_t length = rng() % 80;
    std::string bytes;
    for (std::size_t i = 0; i < length; ++i) {
      // Mostly no line end, so that lines run over several blocks.
      char c = alphabet[rng() % sizeof alphabet];
      if ((c == '\r' || c == '\n') && rng() % 8 != 0) c = 'y';
      bytes.push_back(c);
    }
    bytes += rng() % 2 ? "\r" : "\n";
    const std::string padded = bytes + std::string(kShapeSlack, rng() % 2 ? '\t' : a);
    const Shape expected = Reference(bytes, a, b);
    LineShape shape;
    ShapeLinePlain(padded.data(), a, b, shape);
    ASSERT_EQ(Of(shape), expected) << round;
#if TAVO_SSE2
    ShapeLineSse2(padded.data(), a, b, shape);
    ASSERT_EQ(Of(shape), expected) << round;
#endif
  }
}

struct Read {
  std::string line;
  std::uint64_t offset;
  Shape shape;
  bool operator==(const Read&) const = default;
};

TEST(ShapedLineReader, LinesShapesAndTheMark) {
  constexpr std::size_t kRead = ShapedLineReader::kRead;
  const std::string longLine = "1\t" + std::string(3 * kRead, 'x') + "\t\x8E\x7B";
  struct Case {
    const char* name;
    std::string bytes;
    bool utf8;
    std::vector<Read> lines;
  } cases[] = {
      {"empty", "", false, {}},
      {"mark only", "\xEF\xBB\xBF", true, {}},
      {"mark and lines", "\xEF\xBB\xBF" "a\tb\r\n\x8E\x7B", true,
       {{"a\tb", 3, {3, 1, {1}, false}}, {"\x8E\x7B", 8, {2, 0, {}, true}}}},
      {"no mark: the bytes are text", "\xEF\xBB\tx", false, {{"\xEF\xBB\tx", 0, {4, 1, {2}, false}}}},
      {"every line end", "a\r\nb\nc\rd", false,
       {{"a", 0, {1, 0, {}, false}}, {"b", 3, {1, 0, {}, false}}, {"c", 5, {1, 0, {}, false}},
        {"d", 7, {1, 0, {}, false}}}},
      // CR last in the first read, LF first in the next: one line end.
      {"CR LF split by a read", std::string(kRead - 1, 'a') + "\r\nb", false,
       {{std::string(kRead - 1, 'a'), 0, {kRead - 1, 0, {}, false}}, {"b", kRead + 1, {1, 0, {}, false}}}},
      {"line longer than a read", "s\n" + longLine + "\r\n\t", false,
       {{"s", 0, {1, 0, {}, false}},
        {longLine, 2, {longLine.size(), 2, {1, 3 * kRead + 2}, true}},
        {"\t", longLine.size() + 4, {1, 1, {0}, false}}}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir.path() / "f.txt";
    WriteBytes(file, c.bytes);
    ShapedLineReader reader(file);
    reader.LookFor('\x8E', '\x7B');
    EXPECT_EQ(reader.utf8(), c.utf8);
    std::vector<Read> lines;
    std::string_view line;
    std::uint64_t offset = 0;
    LineShape shape;
    while (reader.Next(line, offset, shape)) lines.push_back({std::string(line), offset, Of(shape)});
    EXPECT_EQ(lines, c.lines);
  }
}

TEST(FF1Bytes, BlankAndInteger) {
  EXPECT_TRUE(IsBlankBytes(""));
  EXPECT_TRUE(IsBlankBytes(" \t\x01\x20"));
  EXPECT_FALSE(IsBlankBytes(" \x81\x40"));  // a full-width space is not blank
  struct Case {
    const char* bytes;
    bool ok;
    std::int32_t value;
  } cases[] = {
      {"202405", true, 202405}, {"+7", true, 7},           {"-2147483648", true, INT32_MIN},
      {"2147483647", true, INT32_MAX}, {"2147483648", false, 0}, {"-2147483649", false, 0},
      {"", false, 0},           {"-", false, 0},           {"2024/05", false, 0},
      {" 1", false, 0},         {"１", false, 0},
  };
  for (const Case& c : cases) {
    std::int32_t v = 0;
    EXPECT_EQ(ParseInt32Bytes(c.bytes, v), c.ok) << c.bytes;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.bytes;
    }
  }
}

}  // namespace
}  // namespace tavo::ff1

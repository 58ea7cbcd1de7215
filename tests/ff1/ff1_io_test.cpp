// Line-by-line reading of FF1 files with the place of each line, and reading
// lines back at those places.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/errors.h"
#include "ff1/ff1_io.h"
#include "support/test_util.h"

namespace tavo::ff1 {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteBytes;

struct Line {
  std::string text;
  std::uint64_t offset;
  bool operator==(const Line&) const = default;
};

std::vector<Line> ReadAll(const fs::path& file, std::size_t skip) {
  OffsetLineReader reader(file, skip);
  std::vector<Line> out;
  std::string_view line;
  std::uint64_t offset = 0;
  while (reader.Next(line, offset)) out.push_back({std::string(line), offset});
  return out;
}

constexpr std::size_t kChunk = 1 << 16;  // the reader's first read

TEST(OffsetLineReader, LinesAndPlacesAcrossReads) {
  const std::string longLine(3 * kChunk + 5, 'x');
  struct Case {
    const char* name;
    std::string bytes;
    std::size_t skip;
    std::vector<Line> lines;
  } cases[] = {
      {"empty", "", 0, {}},
      {"every line end", "a\r\nb\nc\rd", 0, {{"a", 0}, {"b", 3}, {"c", 5}, {"d", 7}}},
      {"empty lines", "\r\n\n\r\r\n", 0, {{"", 0}, {"", 2}, {"", 3}, {"", 4}}},
      {"lone CR last", "a\r", 0, {{"a", 0}}},
      {"mark skipped", "\xEF\xBB\xBFh\r\nr", 3, {{"h", 3}, {"r", 6}}},
      {"only the mark", "\xEF\xBB\xBF", 3, {}},
      // CR last in the first read, LF first in the next: one line end.
      {"CR LF split by a read", std::string(kChunk - 1, 'a') + "\r\nb", 0,
       {{std::string(kChunk - 1, 'a'), 0}, {"b", kChunk + 1}}},
      // CR last in the first read and not followed by LF.
      {"CR then CR across a read", std::string(kChunk - 1, 'a') + "\r\rb", 0,
       {{std::string(kChunk - 1, 'a'), 0}, {"", kChunk}, {"b", kChunk + 1}}},
      {"line longer than a read", "s\n" + longLine + "\r\ne", 0,
       {{"s", 0}, {longLine, 2}, {"e", longLine.size() + 4}}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir.path() / "f.txt";
    WriteBytes(file, c.bytes);
    EXPECT_EQ(ReadAll(file, c.skip), c.lines);
  }
}

TEST(LineFetcher, ReadsLinesBackInAnyOrder) {
  TempDir dir;
  const fs::path file = dir.path() / "f.txt";
  std::string bytes;
  for (int i = 0; i < 20000; ++i) bytes += "row " + std::to_string(i) + (i % 3 ? "\r\n" : "\n");
  WriteBytes(file, bytes);
  const std::vector<Line> lines = ReadAll(file, 0);
  ASSERT_EQ(lines.size(), 20000u);
  LineFetcher fetch(file);
  // Forward in runs, then backwards: each line comes back whole.
  for (std::size_t i = 0; i < lines.size(); i += (i % 7 == 0 ? 3 : 1))
    ASSERT_EQ(fetch.Fetch(lines[i].offset, lines[i].text.size()), lines[i].text) << i;
  for (std::size_t i = lines.size(); i-- > 0;)
    ASSERT_EQ(fetch.Fetch(lines[i].offset, lines[i].text.size()), lines[i].text) << i;
}

TEST(LineFetcher, ShortFileAndMissingFileAreErrors) {
  TempDir dir;
  const fs::path file = dir.path() / "f.txt";
  WriteBytes(file, "abc");
  LineFetcher fetch(file);
  EXPECT_THROW(fetch.Fetch(1, 5), OpError);
  EXPECT_THROW(LineFetcher(dir.path() / "none.txt"), OpError);
  EXPECT_THROW(OffsetLineReader(dir.path() / "none.txt", 0), OpError);
}

}  // namespace
}  // namespace tavo::ff1

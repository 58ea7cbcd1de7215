// The streamed whole-file loading must give exactly the lines of the loading
// that holds the whole file: checked on random bytes, byte-order marks, line
// ends cut by the read buffer and odd UTF-16 lengths.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

#include "core/cp932.h"
#include "core/errors.h"
#include "core/files.h"
#include "support/test_util.h"

namespace tavo {
namespace {

using test::TempDir;
using test::WriteBytes;
using Marks = AnyEndLineReader::Marks;

std::vector<Text> Streamed(const fs::path& file, Marks marks) {
  AnyEndLineReader reader(file, marks);
  std::vector<Text> lines;
  Text line;
  while (reader.Next(line)) lines.push_back(line);
  return lines;
}

// What each way of reading gives when the whole file is held.
std::vector<Text> Whole(const fs::path& file, Marks marks) {
  switch (marks) {
    case Marks::kDetect:
      return LoadWholeFile(file);
    case Marks::kCp932:
      return SplitLinesAnyEnd(Cp932Decode(ReadFileBytes(file)));
    case Marks::kUtf8Only: {
      std::string_view bytes;
      const std::string all = ReadFileBytes(file);
      bytes = all;
      if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
      return SplitLinesAnyEnd(FromUtf8(bytes));
    }
  }
  return {};
}

// Bytes drawn mostly from the ones that matter: line ends, 1A, lead and trail
// bytes of code page 932 and UTF-8, NUL (UTF-16 high bytes).
std::string RandomBytes(std::mt19937& rng, std::size_t n) {
  static const char kPick[] = {'\r',   '\n',   '\x1A', 'a',    '\0',   '\x81', '\x40', '\x82',
                               '\xA0', '\xE3', '\x80', '\xFF', '\xFE', '\xEF', '\xBB', '\xBF'};
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned r = rng();
    s.push_back(r % 4 == 0 ? static_cast<char>(r >> 8) : kPick[(r >> 8) % sizeof kPick]);
  }
  return s;
}

const char* const kMarks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF", "\xEF\xBB", "\xFF"};

TEST(AnyEndLineReader, SameLinesAsWholeFileLoadingOnRandomBytes) {
  TempDir dir;
  std::mt19937 rng(15);
  for (int round = 0; round < 600; ++round) {
    const std::string bytes = std::string(kMarks[round % 6]) + RandomBytes(rng, rng() % 40);
    WriteBytes(dir / "f.txt", bytes);
    for (Marks marks : {Marks::kDetect, Marks::kCp932, Marks::kUtf8Only}) {
      ASSERT_EQ(Streamed(dir / "f.txt", marks), Whole(dir / "f.txt", marks))
          << "round " << round << " marks " << static_cast<int>(marks);
    }
  }
}

TEST(AnyEndLineReader, LineEndsCutByTheReadBuffer) {
  // The reader fills 1 MiB at a time: put a CR, a CR LF, an LF and UTF-16
  // line ends (odd and even) on and around that border.
  TempDir dir;
  constexpr std::size_t kBorder = 1 << 20;
  std::mt19937 rng(7);
  for (const char* mark : {"", "\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF"}) {
    for (const std::string& end :
         {std::string("\r"), std::string("\r\n"), std::string("\n"), std::string("\r\0\n\0", 4),
          std::string("\0\r\0\n", 4), std::string("\r\r")}) {
      for (std::size_t at = kBorder - 4; at <= kBorder + 2; ++at) {
        std::string bytes = mark + std::string(at - std::strlen(mark), 'x');
        bytes += end;
        bytes += RandomBytes(rng, 9);
        WriteBytes(dir / "f.txt", bytes);
        ASSERT_EQ(Streamed(dir / "f.txt", Marks::kDetect), LoadWholeFile(dir / "f.txt"))
            << "mark " << std::strlen(mark) << " at " << at;
      }
    }
  }
}

TEST(AnyEndLineReader, LinesLongerThanTheBufferAndOddUtf16Lengths) {
  TempDir dir;
  const std::string longLine(3 << 20, 'y');
  struct Case {
    std::string bytes;
    std::vector<Text> lines;
  } cases[] = {
      {"a\r\n" + longLine + "\rb", {u"a", Text(longLine.begin(), longLine.end()), u"b"}},
      {std::string("\xFF\xFE"
                   "a\0\r\0\n\0b\0z",
                   11),
       {u"a", u"b"}},  // last byte odd: dropped
      {std::string("\xFF\xFE"
                   "a\0\r",
                   5),
       {u"a"}},
      {std::string("\xFE\xFF\0\r\0\r", 6), {u"", u""}},
      {"\xFF\xFE", {}},
      {"\r", {u""}},
      {"\x1A", {u"\x1A"}},
  };
  for (const auto& c : cases) {
    WriteBytes(dir / "f.txt", c.bytes);
    EXPECT_EQ(Streamed(dir / "f.txt", Marks::kDetect), c.lines);
    EXPECT_EQ(LoadWholeFile(dir / "f.txt"), c.lines);
  }
}

TEST(AnyEndLineReader, CodingFromTheMarkAndLeadingLines) {
  TempDir dir;
  WriteBytes(dir / "u8.txt",
             "\xEF\xBB\xBF"
             "a\r\nb\nc");
  EXPECT_EQ(AnyEndLineReader(dir / "u8.txt").coding(), TextCoding::kUtf8);
  EXPECT_EQ(AnyEndLineReader(dir / "u8.txt", Marks::kCp932).coding(), TextCoding::kCp932);
  EXPECT_EQ(LoadLeadingLines(dir / "u8.txt", 2), (std::vector<Text>{u"a", u"b"}));
  WriteBytes(dir / "be.txt", std::string("\xFE\xFF\0a", 4));
  EXPECT_EQ(AnyEndLineReader(dir / "be.txt").coding(), TextCoding::kUtf16Be);
  EXPECT_EQ(AnyEndLineReader(dir / "be.txt", Marks::kUtf8Only).coding(), TextCoding::kUtf8);
  EXPECT_THROW(AnyEndLineReader(dir / "missing.txt"), OpError);
}

// A caller of a one-byte coding cuts the lines it can from the bytes read
// and asks NextBytes only where no line end is in view: together they give
// the lines NextBytes gives alone. Random bytes, and a CR, a CR LF and an LF
// on and around the border of the first read.
TEST(AnyEndLineReader, LinesCutByTheCallerSameAsNextBytes) {
  TempDir dir;
  const auto byNextBytes = [&] {
    AnyEndLineReader reader(dir / "f.txt", Marks::kCp932);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.NextBytes(line)) lines.emplace_back(line);
    return lines;
  };
  const auto byCaller = [&] {
    AnyEndLineReader reader(dir / "f.txt", Marks::kCp932);
    std::vector<std::string> lines;
    std::string_view line;
    while (true) {
      const std::string_view unread = reader.Unread();
      std::size_t next = 0;
      while (AnyEndLineReader::CutLine(unread, next, line, next)) lines.emplace_back(line);
      if (next > 0) {
        reader.Take(next);
        continue;
      }
      if (!reader.NextBytes(line)) break;
      lines.emplace_back(line);
    }
    return lines;
  };
  std::mt19937 rng(11);
  std::vector<std::string> inputs;
  for (int round = 0; round < 300; ++round) inputs.push_back(RandomBytes(rng, rng() % 40));
  constexpr std::size_t kBorder = 1 << 20;
  for (const char* end : {"\r", "\r\n", "\n"}) {
    for (std::size_t at = kBorder - 3; at <= kBorder + 1; ++at)
      inputs.push_back(std::string(at, 'x') + end + "y\rz");
  }
  for (const std::string& bytes : inputs) {
    WriteBytes(dir / "f.txt", bytes);
    ASSERT_EQ(byCaller(), byNextBytes()) << testing::PrintToString(bytes.substr(0, 40));
  }
}

// Both streamed readers open and read only through the fault seam: a failing
// open or read at any point is an error, never a shorter file.
TEST(StreamedReaders, EveryOpenAndReadCanFail) {
  TempDir dir;
  std::string bytes;
  while (bytes.size() < (5u << 19)) bytes += "line\r\n";  // more than two reads
  WriteBytes(dir / "f.txt", bytes);
  const std::size_t lines = bytes.size() / 6;
  auto lineReader = [&] {
    LineReader reader(dir / "f.txt");
    std::string_view line;
    std::size_t n = 0;
    while (reader.NextView(line)) ++n;
    return n;
  };
  auto anyEnd = [&] { return Streamed(dir / "f.txt", Marks::kDetect).size(); };
  for (const auto& read :
       {std::function<std::size_t()>(lineReader), std::function<std::size_t()>(anyEnd)}) {
    std::size_t n = 0;
    // The open and at least three reads failed in turn.
    EXPECT_GE(test::ReadUnderEveryFault(read, n), 4u);
    EXPECT_EQ(n, lines);
  }
}

}  // namespace
}  // namespace tavo

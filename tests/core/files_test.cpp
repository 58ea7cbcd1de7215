#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>

#include "core/errors.h"
#include "core/files.h"
#include "support/test_util.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace tavo {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::vector<std::string> RawLines(const fs::path& file) {
  LineReader r(file);
  std::vector<std::string> lines;
  std::string line;
  while (r.NextRaw(line)) lines.push_back(line);
  return lines;
}

TEST(LineReader, LineEndsLoneCrAndEndOfFileMark) {
  TempDir dir;
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb", {"a", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\rb\r\nc", {"ab", "c"}},          // a lone CR disappears
      {"a\r", {"a"}},
      {"a\r\nb\r\n\x1A", {"a", "b"}},      // no line for the final mark
      {"a\r\nb\x1A\r\nc\r\n", {"a", "b"}}, // everything after the mark is ignored
      {"\x1A" "a", {}},
  };
  for (const auto& c : cases) {
    WriteBytes(dir / "f.txt", c.bytes);
    EXPECT_EQ(RawLines(dir / "f.txt"), c.lines) << testing::PrintToString(c.bytes);
  }
}

TEST(LineReader, LongLinesAcrossBufferBoundaries) {
  TempDir dir;
  std::string big;
  std::vector<std::string> expected;
  for (int i = 0; i < 3000; ++i) {
    std::string line(static_cast<std::size_t>(i % 250) * 3, static_cast<char>('a' + i % 26));
    if (i % 7 == 0) line += '\r';  // a lone CR at a line's end is dropped
    big += line + "\r\n";
    if (i % 7 == 0) line.pop_back();
    expected.push_back(line);
  }
  WriteBytes(dir / "big.txt", big);
  EXPECT_EQ(RawLines(dir / "big.txt"), expected);
}

// The line-by-line rules read plainly: the bytes up to the first 1A split at
// every LF, each line without any CR; a last piece is a line when it holds
// anything.
std::vector<std::string> LinesByTheRules(const std::string& bytes) {
  const std::string kept = bytes.substr(0, bytes.find('\x1A'));
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < kept.size()) {
    const std::size_t lf = std::min(kept.find('\n', start), kept.size());
    std::string line;
    for (std::size_t i = start; i < lf; ++i)
      if (kept[i] != '\r') line += kept[i];
    lines.push_back(line);
    start = lf + 1;
  }
  return lines;
}

TEST(LineReader, LineEndsAtTheBufferBoundary) {
  // The reader fills a buffer of 1 MiB: every line end, lone CR and mark
  // is put on both sides of its edge.
  TempDir dir;
  const std::size_t edge = std::size_t{1} << 20;
  const std::string ends[] = {"\r\n",    "\n",   "\r",     "\r\r\n",
                              "\rx\r\n", "\n\r", "\r\x1A", "\r\n\x1A"};
  for (const std::string& end : ends) {
    for (std::size_t before = edge - 4; before <= edge + 1; ++before) {
      std::string bytes(before, 'a');
      bytes[before / 2] = '\n';
      bytes += end + "tail\r\nlast";
      WriteBytes(dir / "f.txt", bytes);
      ASSERT_EQ(RawLines(dir / "f.txt"), LinesByTheRules(bytes))
          << testing::PrintToString(end) << " after " << before;
    }
  }
}

TEST(LineReader, DecodesShiftJis) {
  TempDir dir;
  WriteBytes(dir / "f.txt", test::Sjis("IR,1,社保\r\nRE,ｶﾅ\r\n"));
  EXPECT_EQ(ReadLinesCp932(dir / "f.txt"), (std::vector<Text>{T("IR,1,社保"), T("RE,ｶﾅ")}));
}

TEST(LineReader, MissingFileIsAnErrorNamingIt) {
  TempDir dir;
  try {
    LineReader r(dir / "nope.UKE");
    FAIL();
  } catch (const OpError& e) {
    EXPECT_NE(e.text().find(u"nope.UKE"), Text::npos);
  }
}

TEST(LoadWholeFile, ByteOrderMarksAndAllLineEnds) {
  TempDir dir;
  struct Case {
    std::string bytes;
    std::vector<Text> lines;
  } cases[] = {
      {"\xEF\xBB\xBF" "a\r\nb", {u"a", u"b"}},
      {std::string("\xFF\xFE" "a\0\r\0b\0", 8), {u"a", u"b"}},
      {std::string("\xFE\xFF\0a\0\n\0b", 8), {u"a", u"b"}},
      {test::Sjis("社\rb\nc\r\n"), {T("社"), u"b", u"c"}},
      {"a\x1A" "b", {u"a\x1A" u"b"}},  // 1A is an ordinary character here
      {"", {}},
  };
  for (const auto& c : cases) {
    WriteBytes(dir / "f.txt", c.bytes);
    EXPECT_EQ(LoadWholeFile(dir / "f.txt"), c.lines);
  }
}

TEST(WrtSet, WritesCrLfShiftJisAndReplaces) {
  TempDir dir;
  const fs::path f = dir / "out.txt";
  WriteBytes(f, "old content that is longer");
  WrtSet(f, {T("IR,1"), T("氏名 ｶﾅ"), u""});
  EXPECT_EQ(ReadBytes(f), test::Sjis("IR,1\r\n氏名 ｶﾅ\r\n\r\n"));
  WrtSet(f, {});
  EXPECT_EQ(ReadBytes(f), "");
  EXPECT_EQ(test::ListFiles(dir.path()), std::vector<std::string>{"out.txt"});
}

#ifndef _WIN32
TEST(WrtSet, FailureKeepsTheEarlierFileAndLeavesNoTemporary) {
  if (::geteuid() == 0) {
    // root writes into read-only folders; the full-device test below still runs.
  } else {
    TempDir dir;
    WriteBytes(dir / "out.txt", "earlier");
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(WrtSet(dir / "out.txt", {u"new"}), OpError);
    fs::permissions(dir.path(), fs::perms::owner_all);
    EXPECT_EQ(ReadBytes(dir / "out.txt"), "earlier");
  }
}

TEST(WrtSet, FullDeviceMidwayKeepsTheEarlierFile) {
  // A file-size limit makes the write fail part-way, as a full disk would.
  TempDir dir;
  WriteBytes(dir / "out.txt", "earlier");
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit lim = old;
  lim.rlim_cur = 100000;
  setrlimit(RLIMIT_FSIZE, &lim);
  std::vector<Text> lines(50000, u"0123456789");
  bool threw = false;
  try {
    WrtSet(dir / "out.txt", lines);
  } catch (const OpError& e) {
    threw = true;
    EXPECT_NE(e.text().find(u"out.txt"), Text::npos);
  }
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(threw);
  EXPECT_EQ(ReadBytes(dir / "out.txt"), "earlier");
  EXPECT_EQ(test::ListFiles(dir.path()), std::vector<std::string>{"out.txt"});
}
#endif

TEST(WrtSet, MissingFolderIsAnError) {
  TempDir dir;
  EXPECT_THROW(WrtSet(dir / "no" / "out.txt", {u"a"}), OpError);
}

TEST(AtomicFile, AbandonedWriteLeavesNothing) {
  TempDir dir;
  {
    AtomicFile f(dir / "out.txt");
    f.Write("partial");
  }
  EXPECT_TRUE(test::ListFiles(dir.path()).empty());
}

TEST(MoveFileSafely, MovesOrKeepsTheSource) {
  TempDir dir;
  fs::create_directory(dir / "dest");
  WriteBytes(dir / "a.txt", "A");
  WriteBytes(dir / "dest" / "a.txt", "old");
  EXPECT_TRUE(MoveFileSafely(dir / "a.txt", dir / "dest" / "a.txt"));
  EXPECT_EQ(ReadBytes(dir / "dest" / "a.txt"), "A");
  EXPECT_FALSE(fs::exists(dir / "a.txt"));

  WriteBytes(dir / "b.txt", "B");
  EXPECT_FALSE(MoveFileSafely(dir / "b.txt", dir / "missing" / "b.txt"));
  EXPECT_EQ(ReadBytes(dir / "b.txt"), "B");
  EXPECT_FALSE(MoveFileSafely(dir / "none.txt", dir / "dest" / "none.txt"));
}

TEST(SafeFileName, KeepsNamesInsideTheirFolder) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"(R0612提出_社保)RECEIPTC.uke", "(R0612提出_社保)RECEIPTC.uke"},
      {"../x", ".._x"},
      {"C:\\x", "C__x"},
      {"a/b", "a_b"},
      {"a\tb", "a_b"},
      {"..", "_"},
      {"a*?\"<>|b", "a______b"},
      // Windows drops dots and blanks at the end of a name.
      {"x.uke. . ", "x.uke"},
      {"山田内科. ", "山田内科"},
      {". .", "_"},
      {".x", ".x"},
  };
  for (const auto& c : cases) EXPECT_EQ(SafeFileName(T(c.in)), T(c.out)) << c.in;
  // Bytes that were not Shift_JIS decode to unpaired surrogates: "_". A pair
  // is one character and stays.
  EXPECT_EQ(SafeFileName(u"20\xDC80" u"6\xD800_\xDFFF.csv"), u"20_6__\x5F.csv");
  EXPECT_EQ(SafeFileName(u"a\xD83D\xDE00.csv"), u"a\xD83D\xDE00.csv");
}

}  // namespace
}  // namespace tavo

// The streamed reading of converter 2: line breaks across the read buffer's
// edge, and the field split that decides which fields are plain ASCII.
#include <gtest/gtest.h>

#include "core/cp932.h"
#include "core/errors.h"
#include "core/files.h"
#include "linkage/blank_report.h"
#include "linkage/convert2.h"
#include "linkage/line_stream.h"
#include "support/test_util.h"

namespace tavo::linkage {
namespace {

using test::ReadBytes;
using test::ReadUnderEveryFault;
using test::Sjis;
using test::TempDir;
using test::WriteBytes;

std::vector<std::string> ReadAll(const fs::path& file) {
  RawLineStream in(file);
  std::vector<std::string> lines;
  std::string_view line;
  while (in.Next(line)) lines.emplace_back(line);
  return lines;
}

TEST(RawLineStream, BreaksAtEveryKindAndAcrossTheBufferEdge) {
  TempDir dir;
  constexpr std::size_t kEdge = RawLineStream::kBufferSize;
  // A CR LF split by the buffer's edge, a lone CR right at it, and a line longer than the buffer.
  for (std::size_t pad : {kEdge - 1, kEdge - 2, kEdge, kEdge + 1}) {
    SCOPED_TRACE(pad);
    const std::string a(pad, 'a');
    const std::string b(3 * kEdge, 'b');
    WriteBytes(dir / "f.txt", a + "\r\n" + "x\ry\n\nz\r\r\n" + b + "\r" + "end");
    EXPECT_EQ(ReadAll(dir / "f.txt"),
              (std::vector<std::string>{a, "x", "y", "", "z", "", b, "end"}));
  }
  WriteBytes(dir / "cr.txt", std::string("1\r2\r3\r"));
  EXPECT_EQ(ReadAll(dir / "cr.txt"), (std::vector<std::string>{"1", "2", "3"}));
  // No end-of-file byte and no byte-order mark handling.
  WriteBytes(dir / "raw.txt", std::string("\xEF\xBB\xBF"
                                          "a\x1A"
                                          "b\n",
                                          7));
  EXPECT_EQ(ReadAll(dir / "raw.txt"), (std::vector<std::string>{"\xEF\xBB\xBF"
                                                                "a\x1A"
                                                                "b"}));
  WriteBytes(dir / "empty.txt", "");
  EXPECT_TRUE(ReadAll(dir / "empty.txt").empty());
  EXPECT_THROW(RawLineStream(dir / "missing.txt"), OpError);
}

// The next buffer is read on a second thread: a read that fails there is an
// error here, never a shorter file.
TEST(RawLineStream, EveryReadCanFail) {
  TempDir dir;
  std::string bytes;
  while (bytes.size() < 3 * RawLineStream::kBufferSize) bytes += "line\r\n";
  WriteBytes(dir / "f.txt", bytes);
  std::size_t lines = 0;
  // The open and four reads fail in turn.
  EXPECT_EQ(ReadUnderEveryFault([&] { return ReadAll(dir / "f.txt").size(); }, lines), 5u);
  EXPECT_EQ(lines, bytes.size() / 6);
}

TEST(LoadLeadingLines, ReadsOnlyWhatItNeedsUnderWholeFileRules) {
  TempDir dir;
  const std::string longLine(200000, 'q');
  WriteBytes(dir / "a.txt", "H\r" + longLine + "\r\nrest");
  EXPECT_EQ(LoadLeadingLines(dir / "a.txt", 2),
            (std::vector<Text>{u"H", Text(longLine.begin(), longLine.end())}));
  WriteBytes(dir / "u8.txt",
             "\xEF\xBB\xBF"
             "見出し\n1\t2\t3\t202606\n");
  EXPECT_EQ(LoadLeadingLines(dir / "u8.txt", 2),
            (std::vector<Text>{T("見出し"), T("1\t2\t3\t202606")}));
  WriteBytes(dir / "u16.txt", std::string("\xFF\xFE"
                                          "A\0\r\0\n\0B\0",
                                          10));
  EXPECT_EQ(LoadLeadingLines(dir / "u16.txt", 2), (std::vector<Text>{u"A", u"B"}));
  WriteBytes(dir / "one.txt", "only\r\n");
  EXPECT_EQ(LoadLeadingLines(dir / "one.txt", 2), (std::vector<Text>{u"only"}));
}

TEST(ItemCodeSplit, NonAsciiFieldsAtEveryAlignment) {
  // Eleven kanji: 22 bytes but 11 characters, within the name limit of 20
  // only when the field is read as text, not as bytes.
  const std::string name = "山田山田山田山田山田山";
  for (std::size_t shift = 0; shift < 17; ++shift) {
    SCOPED_TRACE(shift);
    TempDir dir;
    const std::string chart(shift, '7');
    WriteBytes(dir / "in.txt", Sjis("h\r\n" + chart + "\t" + name + "\t\t202606\t\t12345６7\r\n" +
                                    chart + "\t" + name + "\t\t202606\t\t1234567"));
    ConvertNewFmt(dir / "in.txt", dir / "out.csv", dir / "none.csv");
    const std::string out = ReadBytes(dir / "out.csv");
    const std::size_t row1 = out.find("\r\n") + 2;
    const std::size_t row2 = out.find("\r\n", row1) + 2;
    const std::string tail(96, ',');
    EXPECT_EQ(out.substr(row1, row2 - row1),
              Sjis(chart + "," + name + ",20260601,") + tail + "\r\n");
    EXPECT_EQ(out.substr(row2), Sjis(chart + "," + name + ",20260601,1234567") + tail + "\r\n");
  }
}

// Lines cut straight from the read buffer: the same rows whatever the line
// ends are and wherever the buffer's edge falls among them (inside a CR LF,
// right after a CR, inside a line), blank lines skipped.
TEST(ItemCodeSplit, SameRowsWhateverTheLineEnds) {
  TempDir dir;
  std::string body;
  for (int k = 0; body.size() < 2 * RawLineStream::kBufferSize + 5000; ++k) {
    body += std::to_string(100000 + k) + "\t" + (k % 3 ? "name" : "山田") + "\t\t202606\t\t" +
            std::string(static_cast<std::size_t>(k % 37), '1') + "\n";
    if (k % 11 == 0) body += "\n";  // a blank line
  }
  const auto convert = [&](const std::string& lineEnd) {
    std::string bytes = "h" + lineEnd;
    for (char c : body) bytes += c == '\n' ? lineEnd : std::string(1, c);
    WriteBytes(dir / "in.txt", Sjis(bytes));
    // Most lengths of the run of 1s fail their column's rule: the report
    // names the lines, blank ones counted.
    BlankReport report(dir / "report.csv");
    ConvertNewFmt(dir / "in.txt", dir / "out.csv", dir / "none.csv", &report);
    return ReadBytes(dir / "out.csv") + "--\n" + ReadBytes(dir / "report.csv");
  };
  const std::string lf = convert("\n");
  std::size_t rows = 1;  // the header
  for (std::size_t at = 0; (at = body.find('\n', at)) != std::string::npos; ++at) {
    rows += at > 0 && body[at - 1] != '\n';
  }
  std::size_t written = 0;
  const std::string rowsWritten = lf.substr(0, lf.find("--\n"));
  for (std::size_t at = 0; (at = rowsWritten.find("\r\n", at)) != std::string::npos; at += 2) {
    ++written;
  }
  EXPECT_EQ(written, rows);
  EXPECT_GT(lf.size(), rowsWritten.size() + 1000);  // a report of many lines
  EXPECT_EQ(convert("\r\n"), lf);
  EXPECT_EQ(convert("\r"), lf);
  // A byte more on every line moves every buffer edge along.
  EXPECT_EQ(convert(" \r\n"), convert(" \n"));
}

}  // namespace
}  // namespace tavo::linkage

// The streamed reading of converter 2: line breaks across the read buffer's
// edge, and the field split that decides which fields are plain ASCII.
#include <gtest/gtest.h>

#include "core/cp932.h"
#include "core/errors.h"
#include "core/files.h"
#include "linkage/convert2.h"
#include "linkage/line_stream.h"
#include "support/test_util.h"

namespace tavo::linkage {
namespace {

using test::ReadBytes;
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
  constexpr std::size_t kEdge = 1 << 16;
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

}  // namespace
}  // namespace tavo::linkage

// The latest-row merge of a folder of FF1 files.
#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/files.h"
#include "ff1/ff1_merge.h"
#include "support/test_util.h"

namespace tavo::ff1 {
namespace {

using test::Fixture;
using test::ReadBytes;
using test::Sjis;
using test::TempDir;
using test::WriteBytes;

const char kHeader[] =
    "施設コード\tデータ識別番号\t受診年月\tコード\t連番\tペイロード1\tペイロード2\tペイロード3\t"
    "ペイロード4\tペイロード5\tペイロード6\tペイロード7\tペイロード8\tペイロード9";

// ------------------------------------------------------------ line rules

TEST(FF1Lines, HeaderLineRule) {
  struct Case {
    const char* line;
    bool header;
  } cases[] = {
      {"1111111111\t0001\t202405", false},
      {" 42 \tx", false},  // first field trimmed
      {"", false},         // blank lines are neither
      {" \t ", false},
      {"ABC\t0001\t202405", true},
      {"\t0001\t202405", true},  // empty facility code
      {"12a\t0001", true},
      {"2147483648\t0001", true},  // beyond 32 bits
      {"-2147483648\t0001", false},
      {"1111111111\t施設コード", true},  // the title anywhere
      {"1111111111\tx施設コードy", true},
      {"\xE3\x80\x80"
       "1\tx",
       true},  // a full-width space is not trimmed
  };
  for (const auto& c : cases) EXPECT_EQ(IsHeaderLine(T(c.line)), c.header) << c.line;
}

TEST(FF1Lines, SplitTSVKeepsEmptyFields) {
  struct Case {
    const char* text;
    std::vector<const char*> fields;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\tb\t", {"a", "b", ""}},
      {"\t", {"", ""}},
      {" a \t\"b\"", {" a ", "\"b\""}},
  };
  for (const auto& c : cases) {
    FieldList want;
    for (const char* f : c.fields) want.push_back(T(f));
    EXPECT_EQ(SplitTSV(T(c.text)), want) << c.text;
  }
}

TEST(FF1Lines, ParseYearMonth) {
  struct Case {
    const char* text;
    std::int32_t value;
  } cases[] = {{"202405", 202405}, {" 202405 ", 202405}, {"2024/05", 0},    {"", 0},
               {"abc", 0},         {"-1", -1},           {"999999", 999999}};
  for (const auto& c : cases) EXPECT_EQ(ParseYearMonth(T(c.text)), c.value) << c.text;
}

TEST(FF1Lines, DetectEncodingLooksAtTheMarkOnly) {
  TempDir dir;
  struct Case {
    std::string bytes;
    FF1Encoding enc;
  } cases[] = {{"\xEF\xBB\xBF", FF1Encoding::UTF8},
               {"\xEF\xBB\xBF"
                "abc",
                FF1Encoding::UTF8},
               {"\xEF\xBB", FF1Encoding::ShiftJIS},
               {"", FF1Encoding::ShiftJIS},
               {"\xFF\xFE"
                "a\0",
                FF1Encoding::ShiftJIS},
               {"\xE6\x96\xBD", FF1Encoding::ShiftJIS}};  // UTF-8 text without the mark
  for (const auto& c : cases) {
    WriteBytes(dir / "f.txt", c.bytes);
    EXPECT_EQ(DetectEncodingFromFile(dir / "f.txt"), c.enc);
  }
  EXPECT_THROW(DetectEncodingFromFile(dir / "missing.txt"), OpError);
}

TEST(FF1Lines, CompareIgnoresAsciiCaseByFoldingToUpper) {
  EXPECT_EQ(CompareTextAsciiFold(u"a01", u"A01"), 0);
  EXPECT_LT(CompareTextAsciiFold(u"a01", u"_X"), 0);  // 'A' < '_' < 'a'
  EXPECT_LT(CompareTextAsciiFold(u"A0", u"A01"), 0);  // a proper prefix first
  EXPECT_GT(CompareTextAsciiFold(u"b", u"A99"), 0);
  EXPECT_GT(CompareTextAsciiFold(T("ａ"), u"A"), 0);  // only ASCII letters fold
}

// ------------------------------------------------------------ listing

TEST(FF1Listing, MasksIgnoreCaseAndTxtWins) {
  TempDir dir;
  for (const char* name : {"G_FF1_b.TXT", "g_ff1_A.txt", "G_FF1.txt", "G_FF1_c.tsv",
                           "X_G_FF1_d.txt", "G_FF2_e.txt", "G_FF1_f.txt.bak"})
    WriteBytes(dir / name, "x");
  fs::create_directories(dir / "G_FF1_dir.txt");
  fs::create_directories(dir / "sub");
  WriteBytes(dir / "sub" / "G_FF1_sub.txt", "x");
  std::vector<std::string> names;
  for (const auto& p : ListFF1Files(dir.path())) names.push_back(p.filename().string());
  EXPECT_EQ(names, (std::vector<std::string>{"G_FF1.txt", "g_ff1_A.txt", "G_FF1_b.TXT"}));
}

TEST(FF1Listing, TsvOnlyWhenNoTxt) {
  TempDir dir;
  for (const char* name : {"G_FF1_2.TSV", "G_FF1_1.tsv", "G_FF1_x.csv"})
    WriteBytes(dir / name, "x");
  std::vector<std::string> names;
  for (const auto& p : ListFF1Files(dir.path())) names.push_back(p.filename().string());
  EXPECT_EQ(names, (std::vector<std::string>{"G_FF1_1.tsv", "G_FF1_2.TSV"}));
}

// ------------------------------------------------------------ whole merges

class Merge : public ::testing::Test {
 protected:
  fs::path In() const { return dir_.path() / "FF1"; }
  fs::path Out() const { return dir_.path() / "FF1" / "G_FF1_all.txt"; }
  void Put(const std::string& name, const std::string& bytes) {
    fs::create_directories((In() / name).parent_path());
    WriteBytes(In() / name, bytes);
  }
  std::string Run() {
    MergeFF1Latest(In(), Out());
    return ReadBytes(Out());
  }
  TempDir dir_;
};

TEST_F(Merge, KeepsEveryRowOfEachPatientsLatestMonth) {
  // File a: CR LF, the header that counts.
  Put("G_FF1_a.txt", Sjis(std::string(kHeader) + "\r\n" +
                          "1111111111\t0001\t202403\tPT_0002\t1\t古い\t\t\t\t\t\t\t\t\r\n"
                          "1111111111\t0001\t202405\tPT_0002\t1\t新しいA\t\t\t\t\t\t\t\t\r\n"
                          "\t \r\n"
                          "1111111111\ta01\t202405\tIO_0003\t1\t小文字\t\t\t\t\r\n"
                          "1111111111\t0002\t2024/05\tPT_0002\t1\t年月不正\t\t\t\t\r\n"
                          "1111111111\t0003\t202405\tPT_0002\t1\t九項目\t\t\t\r\n"
                          "1111111111\t \t202405\tPT_0002\t1\tID空\t\t\t\t\r\n"
                          "1111111111\t0005\t0\tPT_0002\t1\t年月0\t\t\t\t\r\n"));
  // File B: LF only, a second header and a header-like line, both dropped.
  Put("G_FF1_B.TXT", Sjis("施設コード\t別ヘッダー\n"
                          "ABC\t0009\t202405\tPT_0002\t1\t見出し扱い\t\t\t\t\n"
                          "1111111111\t0001\t202405\tPT_0002\t2\t新しいB\t\t\t\t\t\t\t\t\n"
                          "1111111111\tA01\t202406\tPT_0002\t1\t大文字\t\t\t\t\n"
                          "1111111111\t_X\t202405\tPT_0002\t1\t下線\t\t\t\t\n"
                          "1111111111\t0004\t 202405 \tPT_0002\t1\t空白\t\t\t\t"));
  // Not read: a .tsv beside .txt files, a subfolder.
  Put("G_FF1_c.tsv", Sjis("1111111111\t0001\t202412\tPT_0002\t1\ttsv\t\t\t\t\r\n"));
  Put("sub/G_FF1_d.txt", Sjis("1111111111\t0001\t202412\tPT_0002\t1\tsub\t\t\t\t\r\n"));
  EXPECT_EQ(Run(), Fixture("ff1/merge_latest.expected"));
}

TEST_F(Merge, LineEndsAndRowRules) {
  struct Case {
    const char* name;
    std::string input;
    std::string merged;
  } cases[] = {
      {"lone CR ends a line", Sjis("H\r1\tX\t202401\tc\t1\t\t\t\t\t\r1\tX\t202402\tc\t1\t\t\t\t\t"),
       Sjis("H\r\n1\tX\t202402\tc\t1\t\t\t\t\t\r\n")},
      {"ten fields are enough, nine are not",
       Sjis("1\tA\t202401\tc\t1\t\t\t\t\t\r\n1\tB\t202401\tc\t1\t\t\t\t\r\n"),
       Sjis("1\tA\t202401\tc\t1\t\t\t\t\t\r\n")},
      {"no header line at all", Sjis("1\tA\t202401\tc\t1\tv\t\t\t\t\r\n"),
       Sjis("1\tA\t202401\tc\t1\tv\t\t\t\t\r\n")},
      {"an empty first field makes the header", Sjis("\tx\r\n1\tA\t202401\tc\t1\t\t\t\t\t\r\n"),
       Sjis("\tx\r\n1\tA\t202401\tc\t1\t\t\t\t\t\r\n")},
      {"header only", Sjis(std::string(kHeader) + "\r\n\r\n"), Sjis(std::string(kHeader) + "\r\n")},
      {"data id keys match exactly; rows of one id keep reading order",
       Sjis("1\tB\t202401\tc\t2\t\t\t\t\t\r\n1\tA\t202401\tc\t1\t\t\t\t\t\r\n"
            "1\tB\t202401\tc\t1\t\t\t\t\t\r\n1\tb\t202312\tc\t1\t\t\t\t\t\r\n"),
       Sjis("1\tA\t202401\tc\t1\t\t\t\t\t\r\n1\tB\t202401\tc\t2\t\t\t\t\t\r\n"
            "1\tB\t202401\tc\t1\t\t\t\t\t\r\n1\tb\t202312\tc\t1\t\t\t\t\t\r\n")},
      {"an end-of-file byte is an ordinary character", "1\tA\t202401\tc\t1\t\x1A\t\t\t\t\r\n",
       "1\tA\t202401\tc\t1\t\x1A\t\t\t\t\r\n"},
      {"invalid Shift_JIS bytes pass unchanged", "1\tA\t202401\tc\t1\t\x81\xFF\x80\t\t\t\t\r\n",
       "1\tA\t202401\tc\t1\t\x81\xFF\x80\t\t\t\t\r\n"},
  };
  for (const auto& c : cases) {
    fs::remove_all(In());
    Put("G_FF1_1.txt", c.input);
    EXPECT_EQ(Run(), c.merged) << c.name;
  }
}

TEST_F(Merge, LineInTwoFilesIsWrittenTwice) {
  const std::string line = "1\tA\t202401\tc\t1\tv\t\t\t\t";
  Put("G_FF1_1.txt", Sjis(line + "\r\n"));
  Put("G_FF1_2.txt", Sjis(line + "\r\n"));
  EXPECT_EQ(Run(), Sjis(line + "\r\n" + line + "\r\n"));
}

// Files far larger than one read: patients interleaved, months mixed, ids
// equal but for letter case, rows of the latest month in both files.
TEST_F(Merge, LargeFilesKeepOrderAndTies) {
  auto row = [](const std::string& id, int ym, int n) {
    return "1\t" + id + "\t" + std::to_string(ym) + "\tc\t" + std::to_string(n) + "\t\t\t\t\t";
  };
  std::string first = "H\r\n", second;
  std::vector<std::string> a, bLower, bUpper;  // the rows the merge must keep
  for (int n = 0; n < 6000; ++n) {
    // "b" in 202402 and 202403 in the first file, its latest month in both files.
    first += row("a", 202401 + n % 2, n) + "\r\n";
    if (n % 2) a.push_back(row("a", 202402, n));
    first += row("b", 202402 + n % 2, n) + "\n";
    if (n % 2) bLower.push_back(row("b", 202403, n));
    second += row("B", 202405, n) + "\r";
    bUpper.push_back(row("B", 202405, n));
    second += row("b", n % 3 ? 202401 : 202403, n) + "\r\n";
  }
  for (int n = 0; n < 6000; n += 3) bLower.push_back(row("b", 202403, n));
  Put("G_FF1_1.txt", first);
  Put("G_FF1_2.txt", second);
  // By data id, letter case folded; "B" before "b" by its later month; input order within.
  std::string expected = "H\r\n";
  for (const auto* rows : {&a, &bUpper, &bLower})
    for (const std::string& r : *rows) expected += r + "\r\n";
  EXPECT_EQ(Run(), expected);
}

// Rows are held as runs of lines that follow each other: runs outgrown by a
// later month of their patient (many of them, so that they are dropped while
// reading), runs broken by other lines, and one patient's rows far longer
// than a run may grow.
TEST_F(Merge, LaterMonthsOutgrowEarlierRunsOfRows) {
  auto row = [](const std::string& id, int ym, int n) {
    return "1\t" + id + "\t" + std::to_string(ym) + "\tc\t" + std::to_string(n) + "\t\t\t\t\t";
  };
  auto id = [](int p) {
    std::string s = std::to_string(p);
    return std::string(5 - s.size(), '0') + s;
  };
  const int patients = 3000;
  std::vector<std::vector<std::string>> kept(patients);  // by patient, in input order
  std::string first, second;
  for (int p = 0; p < patients; ++p) {
    for (int n = 0; n < 3; ++n) first += row(id(p), 202401, n) + "\r\n";
    if (p % 2 == 1) kept[p] = {row(id(p), 202401, 0), row(id(p), 202401, 1), row(id(p), 202401, 2)};
  }
  for (int p = 0; p < patients; p += 2) {
    kept[p].clear();
    for (int n = 0; n < 2; ++n) {
      first += row(id(p), 202402, n) + "\n";
      if (p % 3 != 0) kept[p].push_back(row(id(p), 202402, n));
    }
  }
  // Every third patient: a later month in the second file, its rows broken
  // up by a blank line, a header line and a line of too few fields.
  for (int p = 0; p < patients; p += 3) {
    kept[p].clear();
    second += row(id(p), 202403, 0) + "\r\n\r\n" + row(id(p), 202403, 1) + "\r\nH\r\n" +
              row(id(p), 202403, 2) + "\r1\t" + id(p) + "\t202403\r\n" + row(id(p), 202403, 3) +
              "\r\n";
    for (int n = 0; n < 4; ++n) kept[p].push_back(row(id(p), 202403, n));
  }
  // One patient's rows of one month, several MiB of them and every line end.
  std::vector<std::string> big;
  const char* ends[] = {"\r\n", "\n", "\r"};
  for (int n = 0; n < 60000; ++n) {
    big.push_back(row("99999", 202405, n) + std::string(n % 97, 'x'));
    second += big.back() + ends[n % 3];
  }
  Put("G_FF1_1.txt", first);
  Put("G_FF1_2.txt", second);
  std::string expected = "H\r\n";
  for (const auto& rows : kept)
    for (const std::string& r : rows) expected += r + "\r\n";
  for (const std::string& r : big) expected += r + "\r\n";
  EXPECT_EQ(Run(), expected);
}

// The same data id met in files of both encodings is one patient; an id whose
// UTF-16 text has the bytes of an ASCII id is another.
TEST_F(Merge, DataIdsMatchAsTextAcrossEncodings) {
  const std::string bom = "\xEF\xBB\xBF";
  // 字 is U+5B57: its code unit, low byte first, is the bytes of "W[".
  Put("G_FF1_1.txt", Sjis("1\t患者\t202401\tc\t1\t旧\t\t\t\t\r\n"
                          "1\tW[\t202401\tc\t1\tASCII\t\t\t\t\r\n"));
  Put("G_FF1_2.txt", bom + "1\t患者\t202402\tc\t1\t新\t\t\t\t\r\n"
                           "1\t字\t202401\tc\t1\t漢字\t\t\t\t\r\n");
  EXPECT_EQ(Run(), Sjis("1\tW[\t202401\tc\t1\tASCII\t\t\t\t\r\n"
                        "1\t字\t202401\tc\t1\t漢字\t\t\t\t\r\n"
                        "1\t患者\t202402\tc\t1\t新\t\t\t\t\r\n"));
}

TEST_F(Merge, EncodingFollowsTheFirstFileByName) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string utf8Line = "施設コード\tUTF8\r\n1\tA\t202401\tc\t1\t①鷗\t\t\t\t\r\n";
  const std::string sjisLine = "1\tB\t202401\tc\t1\t表\t\t\t\t\r\n";
  struct Case {
    const char* name;
    std::string first, second;  // G_FF1_1.txt, G_FF1_2.txt
    std::string merged;
  } cases[] = {
      {"UTF-8 first: UTF-8 with the mark", bom + utf8Line, Sjis(sjisLine),
       bom + utf8Line + sjisLine},
      {"Shift_JIS first: Shift_JIS; UTF-8 rows converted, the mark not part of a line",
       Sjis(sjisLine), bom + utf8Line,
       Sjis("施設コード\tUTF8\r\n1\tA\t202401\tc\t1\t①?\t\t\t\t\r\n" + sjisLine)},
  };
  for (const auto& c : cases) {
    fs::remove_all(In());
    Put("G_FF1_2.txt", c.second);
    Put("G_FF1_1.txt", c.first);
    EXPECT_EQ(Run(), c.merged) << c.name;
  }
}

TEST_F(Merge, TsvFilesWhenThereIsNoTxt) {
  Put("G_FF1_1.tsv", Sjis("1\tA\t202401\tc\t1\t\t\t\t\t\r\n"));
  Put("other.txt", Sjis("1\tB\t202401\tc\t1\t\t\t\t\t\r\n"));
  EXPECT_EQ(Run(), Sjis("1\tA\t202401\tc\t1\t\t\t\t\t\r\n"));
}

TEST_F(Merge, FailuresNameTheFolderAndLeaveTheOldOutput) {
  try {
    MergeFF1Latest(In(), Out());
    FAIL();
  } catch (const OpError& e) {
    EXPECT_EQ(e.text(), T("入力フォルダが見つかりません：") + PathText(In()));
  }
  Put("G_FF1_all.txt", "old");  // the merged file itself is never input
  Put("readme.txt", "x");
  try {
    MergeFF1Latest(In(), Out());
    FAIL();
  } catch (const OpError& e) {
    EXPECT_EQ(e.text(), T("G_FF1*.txt / G_FF1*.tsv が見つかりません：") + PathText(In()));
  }
  EXPECT_EQ(ReadBytes(Out()), "old");
}

TEST_F(Merge, OldMergedFileInTheFolderIsReplacedNotRead) {
  Put("G_FF1_all.txt", Sjis("1\tOLD\t209912\tc\t1\t\t\t\t\t\r\n"));
  Put("G_FF1_1.txt", Sjis("1\tA\t202401\tc\t1\t\t\t\t\t\r\n"));
  EXPECT_EQ(Run(), Sjis("1\tA\t202401\tc\t1\t\t\t\t\t\r\n"));
}

TEST_F(Merge, CreatesTheOutputFolder) {
  Put("G_FF1_1.txt", Sjis("1\tA\t202401\tc\t1\t\t\t\t\t\r\n"));
  const fs::path out = dir_.path() / "new" / "deeper" / "merged.txt";
  MergeFF1Latest(In(), out);
  EXPECT_EQ(ReadBytes(out), Sjis("1\tA\t202401\tc\t1\t\t\t\t\t\r\n"));
}

}  // namespace
}  // namespace tavo::ff1

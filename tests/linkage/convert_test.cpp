// Whole runs of converter 1, converter 2 and the anonymizer against
// hand-written expected files.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/carte.h"
#include "core/errors.h"
#include "core/files.h"
#include "linkage/blank_report.h"
#include "linkage/convert1.h"
#include "linkage/convert2.h"
#include "support/test_util.h"

namespace tavo::linkage {
namespace {

using test::Fixture;
using test::FixturePath;
using test::ListFiles;
using test::MakeEnv;
using test::ReadBytes;
using test::Sjis;
using test::TempDir;
using test::WriteBytes;

Text P(const fs::path& p) { return PathText(p); }

// The names in a folder as text, sorted: ListFiles for names outside ASCII,
// which a narrow string cannot hold on Windows.
std::vector<Text> Names(const fs::path& folder) {
  std::vector<Text> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(P(e.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

// A TAB line of `count` fields with the given positions filled.
std::string Line(int count, std::initializer_list<std::pair<int, const char*>> values) {
  std::vector<std::string> f(static_cast<std::size_t>(count));
  for (const auto& [i, v] : values) f[static_cast<std::size_t>(i)] = v;
  std::string out;
  for (std::size_t i = 0; i < f.size(); ++i) out += (i ? "\t" : "") + f[i];
  return out;
}

// ---------------------------------------------------------------- GetCarte

TEST(GetCarte, NonZeroIntegersLoseLeadingZeros) {
  const std::pair<const char*, const char*> cases[] = {
      {"000123", "123"}, {"0", "0"},
      {"000", "000"},    {"A123", "A123"},
      {" 42", "42"},     {"42 ", "42 "},
      {"-007", "-7"},    {"+5", "5"},
      {"", ""},          {"99999999999999999999", "99999999999999999999"}};
  for (const auto& [in, out] : cases) EXPECT_EQ(GetCarte(T(in)), T(out)) << in;
}

// ---------------------------------------------------------------- converter 1

TEST(Converter1, WholeFileMatchesHandWrittenOutput) {
  TempDir dir;
  const Env env = MakeEnv(dir.path());
  const RunResult r = Cnv(env, P(FixturePath("linkage/convert1_in.txt")));
  ASSERT_TRUE(r.messages.empty()) << ToUtf8(r.messages[0].text);
  EXPECT_EQ(r.gstFile1, T("202605_carte.csv"));
  EXPECT_EQ(r.gstMsg, T("202605_carte.csvが作成されました"));
  EXPECT_EQ(r.gstFile2, Text());
  EXPECT_EQ(ReadBytes(env.programDir / "202605_carte.csv"),
            Fixture("linkage/convert1_expected.csv"));
  EXPECT_EQ(ListFiles(env.programDir), std::vector<std::string>{"202605_carte.csv"});
}

TEST(Converter1, YearMonthFromFirstUsableDataLine) {
  TempDir dir;
  const Env env = MakeEnv(dir.path());
  const fs::path in = dir / "in.txt";
  // Line 2 is too short and line 3 has no year-month: line 4 gives it, even as a repeat.
  WriteBytes(in, Sjis(Line(53, {{0, "H"}, {3, "999999"}}) + "\r\n" +
                      Line(52, {{0, "1"}, {3, "202601"}}) + "\r\n" + Line(53, {{0, "2"}}) + "\r\n" +
                      Line(53, {{0, "2"}, {3, "202603"}}) + "\r\n"));
  const RunResult r = Cnv(env, P(in));
  EXPECT_EQ(r.gstFile1, T("202603_carte.csv"));
  EXPECT_EQ(ReadBytes(env.programDir / "202603_carte.csv"),
            Sjis("カルテ番号,患者氏名,診療年月日,郵便番号,身長,体重,収縮期血圧,拡張期血圧,HbA1c,"
                 "LDLコレステロール,尿酸,空列\r\n2,,01,,,,,,,,\r\n"));
}

// A file that gives no patient row writes nothing: neither a title line
// alone nor the confirmation of a file.
TEST(Converter1, WritesNothingWithoutAPatientRow) {
  TempDir dir;
  const Env env = MakeEnv(dir.path());
  const fs::path in = dir / "in.txt";
  // Line 2 is a short line, line 3 has no chart number.
  WriteBytes(in, Sjis(Line(53, {{0, "H"}}) + "\r\n" + Line(10, {{0, "1"}, {3, "202605"}}) + "\r\n" +
                      Line(53, {{3, "202605"}}) + "\r\n"));
  const RunResult r = Cnv(env, P(in));
  EXPECT_EQ(r.messages,
            (std::vector<Message>{
                {MsgKind::Warning,
                 T("ファイル ") + P(in) +
                     T(" には変換できる行がないため、電カル連携ファイルは作成しませんでした。カルテ"
                       "番号があり、項目が53以上ある患者の行が必要です。")}}));
  EXPECT_EQ(r.counts, (std::vector<Text>{T("2行を読み、0行を書き込みました（見出し行を除く）"),
                                         T("読み飛ばした行: 1行（項目が足りない）、1行（カルテ番号"
                                           "が空欄）")}));
  EXPECT_FALSE(r.wrote());
  EXPECT_TRUE(r.gstFile1.empty());
  EXPECT_TRUE(ListFiles(env.programDir).empty());
}

// A value's commas stay in it, widened: no field shifts, in the row written
// from the bytes and in the one read as text (a double quote sends a line
// there). The counts follow the lines one by one.
TEST(Converter1, CommasStayInTheirValue) {
  TempDir dir;
  const Env env = MakeEnv(dir.path());
  const RunResult r = Cnv(env, P(FixturePath("linkage/convert1_comma_in.txt")));
  ASSERT_TRUE(r.messages.empty()) << ToUtf8(r.messages[0].text);
  EXPECT_EQ(ReadBytes(env.programDir / "202605_carte.csv"),
            Fixture("linkage/convert1_comma_expected.csv"));
  EXPECT_EQ(r.counts,
            (std::vector<Text>{T("4行を読み、2行を書き込みました（見出し行を除く）"),
                               T("読み飛ばした行: 1行（項目が足りない）、1行（カルテ番号の重複）"),
                               T("カンマを全角に置換した値: 5件")}));
}

TEST(Converter1, Utf8InputAndCharacterOutsideShiftJis) {
  TempDir dir;
  const Env env = MakeEnv(dir.path());
  const fs::path in = dir / "in.txt";
  WriteBytes(in, "\xEF\xBB\xBF" + Line(53, {{0, "H"}}) + "\n" +
                     Line(53, {{0, "5"}, {1, "𠮷田"}, {3, "202605"}}) + "\n");
  const RunResult r = Cnv(env, P(in));
  ASSERT_TRUE(r.wrote());
  const std::string out = ReadBytes(env.programDir / "202605_carte.csv");
  EXPECT_EQ(out.substr(out.find("\r\n") + 2), Sjis("5,?田,20260501,,,,,,,,\r\n"));
}

TEST(Converter1, Failures) {
  TempDir dir;
  const Env env = MakeEnv(dir.path());
  const fs::path empty = dir / "empty.txt";
  WriteBytes(empty, "");
  const fs::path hba1c = dir / "hba1c.txt";
  WriteBytes(hba1c,
             Sjis(Line(53, {{0, "H"}}) + "\r\n" + Line(53, {{0, "1"}, {3, "202605"}, {22, "6"}}) +
                  "\r\n" + Line(53, {{0, "2"}, {3, "202605"}, {22, "未"}}) + "\r\n"));
  const fs::path uric = dir / "uric.txt";
  WriteBytes(uric, Sjis(Line(53, {{0, "H"}}) + "\r\n" +
                        Line(53, {{0, "1"}, {3, "202605"}, {52, "x1"}}) + "\r\n"));
  struct {
    Text path;
    MsgKind kind;
    const char* text;
  } cases[] = {
      {u"", MsgKind::Warning, "ファイルがありません。"},
      {P(dir / "missing.txt"), MsgKind::Warning, "ファイルがありません。"},
      {P(dir.path()), MsgKind::Warning, "ファイルがありません。"},
      // A file of no lines would name a file that was never written.
      {P(empty), MsgKind::Warning, "正しいFFファイルではありません。"},
      {P(hba1c), MsgKind::Error,
       "3行目のHbA1c（23列目）の値「未」は数値ではありません。電カル連携ファイルは作成しませんでし"
       "た。"},
      {P(uric), MsgKind::Error,
       "2行目の尿酸（53列目）の値「x1」は数値ではありません。電カル連携ファイルは作成しませんでした"
       "。"},
  };
  for (const auto& c : cases) {
    const RunResult r = Cnv(env, c.path);
    ASSERT_EQ(r.messages.size(), 1u) << c.text;
    EXPECT_EQ(r.messages[0], (Message{c.kind, T(c.text)}));
    EXPECT_FALSE(r.wrote());
    EXPECT_TRUE(r.gstFile1.empty());
  }
  EXPECT_TRUE(ListFiles(env.programDir).empty());
}

// ---------------------------------------------------------------- converter 2

TEST(Converter2, PositionalLayoutWholeFile) {
  TempDir dir;
  const Env env = MakeEnv(dir.path());
  WriteBytes(env.programDir / "output.tsv", "stale");
  const Selection s = SelectFile2(P(FixturePath("linkage/convert2_positional_in.txt")));
  ASSERT_TRUE(s.hasNgt);
  EXPECT_EQ(s.ngt, u"202605");
  const RunResult r = Conv2(env, P(FixturePath("linkage/convert2_positional_in.txt")));
  ASSERT_TRUE(r.messages.empty());
  EXPECT_EQ(r.gstMsg, T("202605_carte.csvが作成されました\n"
                        "検証で17件の値を空欄にしました（202605_carte_検証.csv）"));
  EXPECT_EQ(r.gstFile1, T("202605_carte.csv"));
  EXPECT_EQ(r.gstFile2, T("202605_carte_検証.csv"));
  EXPECT_EQ(r.written, (std::vector<fs::path>{env.programDir / "202605_carte.csv",
                                              env.programDir / PathFromText(r.gstFile2)}));
  EXPECT_EQ(ReadBytes(env.programDir / "202605_carte.csv"),
            Fixture("linkage/convert2_positional_expected.csv"));
  EXPECT_EQ(ReadBytes(env.programDir / PathFromText(r.gstFile2)),
            Fixture("linkage/convert2_positional_report.csv"));
  // The stale intermediate file of the positional conversion is removed.
  EXPECT_EQ(Names(env.programDir),
            (std::vector<Text>{T("202605_carte.csv"), T("202605_carte_検証.csv")}));
}

TEST(Converter2, ItemCodeLayoutWholeFileWithReceiptList) {
  TempDir dir;
  const Env env = MakeEnv(dir.path());
  WriteBytes(env.nivaFf1Dir / "recelist.csv", Fixture("linkage/recelist.csv"));
  WriteBytes(env.programDir / "output.tsv", "kept");
  const RunResult r = Conv2(env, P(FixturePath("linkage/convert2_itemcode_in.txt")));
  ASSERT_TRUE(r.messages.empty());
  EXPECT_EQ(r.gstFile1, T("202606_carte.csv"));
  EXPECT_EQ(r.gstFile2, T("202606_carte_検証.csv"));
  EXPECT_EQ(r.gstMsg, T("202606_carte.csvが作成されました\n"
                        "検証で11件の値を空欄にしました（202606_carte_検証.csv）"));
  EXPECT_EQ(ReadBytes(env.programDir / "202606_carte.csv"),
            Fixture("linkage/convert2_itemcode_expected.csv"));
  EXPECT_EQ(ReadBytes(env.programDir / PathFromText(r.gstFile2)),
            Fixture("linkage/convert2_itemcode_report.csv"));
  EXPECT_EQ(ReadBytes(env.programDir / "output.tsv"), "kept");
}

// A value's commas become "，" in every kind of column: the chart number, a
// name outside ASCII, and a column among a run of copied fields (here the
// second column fed by IO_0010, whose first column blanks the value). Each
// goes into the report; the row without a comma is as ever. No recelist.csv:
// the message says whose numbers stand in the chart-number column.
TEST(Converter2, CommasStayInTheirColumn) {
  TempDir dir;
  const Env env = MakeEnv(dir.path());
  const RunResult r = Conv2(env, P(FixturePath("linkage/convert2_comma_in.txt")));
  ASSERT_TRUE(r.messages.empty()) << ToUtf8(r.messages[0].text);
  EXPECT_EQ(ReadBytes(env.programDir / "202606_carte.csv"),
            Fixture("linkage/convert2_comma_expected.csv"));
  EXPECT_EQ(ReadBytes(env.programDir / PathFromText(T("202606_carte_検証.csv"))),
            Fixture("linkage/convert2_comma_report.csv"));
  EXPECT_EQ(r.gstFile2, T("202606_carte_検証.csv"));
  EXPECT_EQ(r.gstMsg, T("202606_carte.csvが作成されました\n"
                        "検証で1件の値を空欄にしました（202606_carte_検証.csv）\n"
                        "recelist.csv が見つからないため、カルテ番号の列にはデータ識別番号を入れ"
                        "ました"));
  EXPECT_EQ(r.counts, (std::vector<Text>{
                          T("3行を読み、2行を書き込みました（見出し行を除く）"),
                          T("読み飛ばした行: 1行（空行）"),
                          T("検証で空欄にした値: 1件、カンマを全角に置換した値: 3件"
                            "（202606_carte_検証.csv に記録）"),
                      }));
}

// Counts of the positional layout: every line after the title gives a row,
// an empty one an empty row. A report of widened values alone still goes
// with the output.
TEST(Converter2, PositionalCountsAndWidenedValuesAlone) {
  TempDir dir;
  const Env env = MakeEnv(dir.path());
  const fs::path in = dir / "in.txt";
  WriteBytes(in, "H\r\n1\t\t\t202605\r\n\r\n2\t\t\t202605\t\t\t\t\t\t\ta,b\r\n");
  const RunResult r = Conv2(env, P(in));
  ASSERT_TRUE(r.messages.empty());
  EXPECT_EQ(r.gstMsg, T("202605_carte.csvが作成されました"));
  EXPECT_EQ(r.gstFile2, T("202605_carte_検証.csv"));
  EXPECT_EQ(r.counts, (std::vector<Text>{
                          T("3行を読み、3行を書き込みました（見出し行を除く）"),
                          T("カンマを全角に置換した値: 1件（202605_carte_検証.csv に記録）"),
                      }));
  // Source position 10 feeds column 19 ([19] 喫煙年数).
  const std::string rest = std::string(69, ',');
  EXPECT_EQ(ReadBytes(env.programDir / "202605_carte.csv"),
            Sjis(ToUtf8(NumberedHeaderLine()) + "\r\n1,,20260501" + std::string(86, ',') +
                 "\r\n\r\n2,,20260501" + std::string(17, ',') + "a，b" + rest + "\r\n"));
  EXPECT_EQ(ReadBytes(env.programDir / PathFromText(r.gstFile2)),
            Sjis("行番号,カルテ番号,項目名,元の値,理由\r\n"
                 "4,2,[19] 喫煙年数,\"a,b\",カンマを全角に置換\r\n"));
}

// The report of a run over `input` (UTF-8 text, written as code page 932).
std::string ReportOf(const std::string& input, bool itemCode) {
  TempDir dir;
  WriteBytes(dir / "in.txt", Sjis(input));
  BlankReport report(dir / PathFromText(T("out_検証.csv")));
  if (itemCode) {
    ConvertNewFmt(dir / "in.txt", dir / "out.csv", dir / "no-recelist.csv", &report);
  } else {
    ConvertTSVtoCSV_Reorder(dir / "in.txt", dir / "out.csv", NumberedOrder(), &report);
  }
  return FileExists(report.target()) ? ReadBytes(report.target()) : std::string("none");
}

TEST(Converter2, BlankReportLeavesOutMarksAndEmptyValues) {
  const std::string head = "行番号,カルテ番号,項目名,元の値,理由\r\n";
  // Positional: the marks for "not measured" (999, 99.9 after trimming) and
  // blank values are left out; 998 and 99.8 are reported. A value with a
  // comma or a double quote, or with blanks around it, is quoted.
  EXPECT_EQ(ReportOf("h\r\n" + Line(53, {{0, " 42 "},
                                          {5, "  "},
                                          {6, "a,\"b"},
                                          {22, " 99.9 "},
                                          {31, "999"},
                                          {32, "998"},
                                          {37, " 999"},
                                          {52, "99.8"}}) +
                         "\r\n\r\n" + Line(9, {{8, " 7 "}}) + "\r\n",
                     false),
            Sjis(head +
                 "2,42,[4] 身長,\"a,\"\"b\",3文字ではありません\r\n"
                 "2,42,[7] 拡張期血圧,998,0から300までの整数ではありません\r\n"
                 "2,42,[10] 尿酸,99.8,0より大きく20以下の数値ではありません\r\n"
                 "4,,[17] 喫煙歴,\" 7 \",0、1、2のいずれか1文字ではありません\r\n"));
  // Item-code: blank values and blank lines (counted, not written) are left
  // out; the chart number is the row's, through the data-id normalisation;
  // a value outside ASCII takes the same road.
  EXPECT_EQ(ReportOf("PT_0001\tIO_0001\tIO_0011\tPT_0002\r\n"
                     " \r\n"
                     "0042\t 2026 \t  \t\r\n"
                     "\t202606\t１\r\n",
                     true),
            Sjis(head +
                 "3,42,受診年月日,\" 2026 \",8桁の数字ではありません\r\n"
                 "4,,当月中の終診情報《C》,１,1から5のいずれか1文字ではありません\r\n"));
  // Nothing blanked: no report.
  EXPECT_EQ(ReportOf("h\r\n" + Line(9, {{0, "1"}, {8, "2"}}) + "\r\n", false), "none");
}

TEST(Converter2, BlankReportGoesWithItsOutput) {
  TempDir dir;
  const Env env = MakeEnv(dir.path());
  const fs::path clean = dir / "clean.txt";
  const fs::path blanks = dir / "blanks.txt";
  WriteBytes(clean, "H\r\n1\t\t\t202605\r\n");
  WriteBytes(blanks, "H\r\n1\t\t\t202605\t\t12\r\n");
  const fs::path report = env.programDir / PathFromText(T("202605_carte_検証.csv"));

  // A run that blanks nothing removes the report of an earlier run, which
  // no longer describes the output.
  WriteBytes(report, "earlier");
  RunResult r = Conv2(env, P(clean));
  ASSERT_TRUE(r.messages.empty());
  EXPECT_EQ(r.gstMsg, T("202605_carte.csvが作成されました"));
  EXPECT_EQ(r.gstFile2, T(""));
  EXPECT_EQ(r.written, std::vector<fs::path>{env.programDir / "202605_carte.csv"});
  EXPECT_EQ(ListFiles(env.programDir), std::vector<std::string>{"202605_carte.csv"});

  // A run that fails writes neither file and keeps the earlier ones.
  r = Conv2(env, P(blanks));
  EXPECT_EQ(r.gstMsg, T("202605_carte.csvが作成されました\n"
                        "検証で1件の値を空欄にしました（202605_carte_検証.csv）"));
  const std::string output = ReadBytes(env.programDir / "202605_carte.csv");
  const std::string reportBytes = ReadBytes(report);
  r = Conv2(env, P(dir / "missing.txt"));
  EXPECT_TRUE(r.stopped);
  EXPECT_FALSE(r.wrote());
  EXPECT_EQ(ReadBytes(env.programDir / "202605_carte.csv"), output);
  EXPECT_EQ(ReadBytes(report), reportBytes);

  // The report cannot be written (a folder holds its name): the output is
  // not replaced either.
  fs::remove(report);
  fs::create_directories(report / "sub");
  WriteBytes(env.programDir / "202605_carte.csv", "earlier");
  r = Conv2(env, P(blanks));
  EXPECT_TRUE(r.stopped);
  EXPECT_FALSE(r.wrote());
  EXPECT_EQ(ReadBytes(env.programDir / "202605_carte.csv"), "earlier");
  EXPECT_EQ(Names(env.programDir),
            (std::vector<Text>{T("202605_carte.csv"), T("202605_carte_検証.csv")}));
  EXPECT_TRUE(fs::is_directory(report));

  // Nothing blanked while a folder holds the report's name: the folder
  // describes nothing and stays.
  r = Conv2(env, P(clean));
  EXPECT_TRUE(r.messages.empty());
  EXPECT_TRUE(fs::is_directory(report));

  // An input in the program folder under the output's or the report's name
  // is never replaced.
  for (const Text& name : {T("202606_carte.csv"), T("202606_carte_検証.csv")}) {
    const fs::path input = env.programDir / PathFromText(name);
    const std::string bytes = "H\r\n1\t\t\t202606\t\tbad\r\n";
    WriteBytes(input, bytes);
    r = Conv2(env, P(input));
    EXPECT_EQ(
        r.messages,
        (std::vector<Message>{{MsgKind::Warning, T("変換後のファイル名「") + name +
                                                     T("」が変換前のファイルと同じになるため、"
                                                       "作成しません。")}}));
    EXPECT_FALSE(r.wrote());
    EXPECT_EQ(ReadBytes(input), bytes);
    fs::remove(input);
  }
}

// Rows of an item-code run of `input` with an empty receipt list, split at commas.
std::vector<std::vector<std::string>> ItemCodeRows(const std::string& input) {
  TempDir dir;
  WriteBytes(dir / "in.txt", Sjis(input));
  ConvertNewFmt(dir / "in.txt", dir / "out.csv", dir / "no-recelist.csv");
  std::vector<std::vector<std::string>> rows;
  const std::string out = ReadBytes(dir / "out.csv");
  std::size_t start = out.find("\r\n") + 2;
  while (start < out.size()) {
    const std::size_t end = out.find("\r\n", start);
    std::vector<std::string> fields;
    std::string line = out.substr(start, end - start);
    std::size_t s = 0;
    while (true) {
      const std::size_t comma = line.find(',', s);
      fields.push_back(line.substr(s, comma == std::string::npos ? std::string::npos : comma - s));
      if (comma == std::string::npos) break;
      s = comma + 1;
    }
    rows.push_back(fields);
    start = end + 2;
  }
  return rows;
}

TEST(Converter2, ItemCodeHeaderMatching) {
  // Codes in another order, in lower case between blanks, IO_0003 named twice.
  auto rows =
      ItemCodeRows("IO_0003\t io_0001 \tPT_0001\tio_0003\r\n1234567\t202607\t00042\t7654321\r\n");
  ASSERT_EQ(rows.size(), 1u);
  ASSERT_EQ(rows[0].size(), 100u);
  EXPECT_EQ(rows[0][0], "42");
  EXPECT_EQ(rows[0][2], "20260701");
  EXPECT_EQ(rows[0][3], "7654321");

  // No codes at all: the code table's positions.
  rows = ItemCodeRows("\xEF\xBB\xBFxx\r\n9\tname\t\t202608\t\t1112222\r\n");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "9");
  EXPECT_EQ(rows[0][1], "name");
  EXPECT_EQ(rows[0][2], "20260801");
  EXPECT_EQ(rows[0][3], "1112222");
}

TEST(Converter2, ChoiceByYearMonthAndNames) {
  TempDir dir;
  const Env env = MakeEnv(dir.path());
  const fs::path in = dir / "in.txt";
  const std::string numbered = Sjis(ToUtf8(NumberedHeaderLine()) + "\r\n");
  const std::string longHeader = Sjis(ToUtf8(LongHeaderLine()) + "\r\n");
  struct {
    const char* ngt;
    const char* file;
    bool itemCode;
  } cases[] = {
      {"202605", "202605_carte.csv", false},    {"202606", "202606_carte.csv", true},
      {" 202606", " 202606_carte.csv", true},   {"", "_carte.csv", false},
      {"20260501", "20260501_carte.csv", true}, {"abc", "abc_carte.csv", false},
  };
  // Without recelist.csv the item-code rows carry data identification numbers, and say so.
  const Text noList =
      T("\nrecelist.csv が見つからないため、カルテ番号の列にはデータ識別番号を入れました");
  for (const auto& c : cases) {
    WriteBytes(in, std::string("H\r\n1\t\t\t") + c.ngt + "\r\n");
    const RunResult r = Conv2(env, P(in));
    ASSERT_TRUE(r.messages.empty()) << c.ngt;
    EXPECT_EQ(r.gstFile1, T(c.file));
    EXPECT_EQ(r.gstMsg, T(c.file) + T("が作成されました") + (c.itemCode ? noList : Text()));
    const std::string out = ReadBytes(env.programDir / c.file);
    EXPECT_EQ(out.substr(0, out.find("\r\n") + 2), c.itemCode ? longHeader : numbered) << c.ngt;
  }
}

TEST(Converter2, ByteNotShiftJisInTheYearMonthBecomesUnderscore) {
  // Both converters name their output after the year-month field of the data.
  TempDir dir;
  const Env env = MakeEnv(dir.path());
  const fs::path in = dir / "in.txt";
  WriteBytes(in, "H\r\n" + Line(53, {{0, "1"}, {3, "20\x80" "60"}}) + "\r\n");
  const RunResult one = Cnv(env, P(in));
  const Selection s = SelectFile2(P(in));
  ASSERT_TRUE(s.hasNgt);
  const RunResult two = Conv2(env, P(in));
  for (const RunResult* r : {&one, &two}) {
    ASSERT_TRUE(r->messages.empty());
    EXPECT_EQ(r->gstFile1, T("20_60_carte.csv"));
  }
  EXPECT_EQ(ListFiles(env.programDir), std::vector<std::string>{"20_60_carte.csv"});
}

TEST(Converter2, EmptyInputGivesEmptyFileAndBlankLinesAreSkipped) {
  TempDir dir;
  WriteBytes(dir / "empty.txt", "");
  ConvertNewFmt(dir / "empty.txt", dir / "a.csv", dir / "none.csv");
  ConvertTSVtoCSV_Reorder(dir / "empty.txt", dir / "b.csv", NumberedOrder());
  EXPECT_EQ(ReadBytes(dir / "a.csv"), "");
  EXPECT_EQ(ReadBytes(dir / "b.csv"), "");
  const auto rows = ItemCodeRows("h\r\n\r\n \t \r\n1\r\n\r\n");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].size(), 100u);
}

TEST(Converter2, ConvCarteLooksUpNormalisedDataId) {
  TempDir dir;
  WriteBytes(dir / "recelist.csv", Fixture("linkage/recelist.csv"));
  const DataIdMap map = LoadDataIdMap(dir / "recelist.csv");
  EXPECT_EQ(ConvCarte(u"123", map), u"456");
  EXPECT_EQ(ConvCarte(u" 000123", map), u"456");
  EXPECT_EQ(ConvCarte(u"555", map), u"888");  // the later line wins
  EXPECT_EQ(ConvCarte(u"00077", map), u"77");
  EXPECT_EQ(ConvCarte(u"X1", map), u"X1");
  EXPECT_TRUE(LoadDataIdMap(dir / "missing.csv").empty());
}

TEST(Converter2, SelectionReadsYearMonthFromLineTwo) {
  TempDir dir;
  WriteBytes(dir / "ok.txt", "H\r\nA\tB\tC\t 202606\tE\r\n");
  WriteBytes(dir / "one.txt", "H\r\n");
  WriteBytes(dir / "short.txt", "H\r\nA\tB\tC\r\n");
  WriteBytes(dir / "empty.txt", "");
  Selection s = SelectFile2(P(dir / "ok.txt"));
  EXPECT_TRUE(s.accepted && s.hasNgt);
  EXPECT_EQ(s.ngt, u" 202606");
  EXPECT_TRUE(s.messages.messages.empty());

  s = SelectFile2(P(dir / "one.txt"));
  EXPECT_TRUE(s.accepted);
  EXPECT_FALSE(s.hasNgt);
  EXPECT_EQ(s.messages.messages,
            (std::vector<Message>{
                {MsgKind::Error, T("ファイル ") + P(dir / "one.txt") +
                                     T(" には2行目がないため、診療年月を読み取れません。")}}));
  s = SelectFile2(P(dir / "short.txt"));
  EXPECT_TRUE(s.accepted);
  EXPECT_FALSE(s.hasNgt);
  EXPECT_EQ(s.messages.messages,
            (std::vector<Message>{
                {MsgKind::Error,
                 T("ファイル ") + P(dir / "short.txt") +
                     T(" の2行目は項目が4つに足りないため、診療年月を読み取れません。")}}));
  for (const Text& path : {P(dir / "empty.txt"), Text()}) {
    s = SelectFile2(path);
    EXPECT_FALSE(s.accepted);
    EXPECT_EQ(s.messages.messages,
              (std::vector<Message>{{MsgKind::Warning, T("正しいFFファイルではありません。")}}));
  }
  EXPECT_EQ(GetNgt(u"a\tb\tc\td"), u"d");
  EXPECT_THROW(GetNgt(u"a\tb\tc"), OpError);
}

TEST(Converter2, FailuresWriteNothing) {
  TempDir dir;
  const Env env = MakeEnv(dir.path());
  WriteBytes(env.programDir / "202606_carte.csv", "earlier");
  RunResult r = Conv2(env, u"");
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].kind, MsgKind::Error);
  EXPECT_EQ(r.messages[0].text, T("変換前ファイルが選択されていません。先に「変換前ファイル選択」で"
                                  "ファイルを選んでください。"));
  r = Conv2(env, P(dir / "missing.txt"));
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].text,
            T("ファイル ") + P(dir / "missing.txt") +
                T(" を開けません。\nファイルが見つかりません。ファイルが移動または削除されていないか、"
                  "名前が変わっていないか確かめてください。(コード 2)"));
  EXPECT_FALSE(r.wrote());
  EXPECT_EQ(ReadBytes(env.programDir / "202606_carte.csv"), "earlier");
  EXPECT_EQ(ListFiles(env.programDir), std::vector<std::string>{"202606_carte.csv"});
}

// ---------------------------------------------------------------- the kind test

// Every run on an outpatient file tests the file before it writes: a receipt
// file or one without a patient line is named in a warning with the kind
// expected, and nothing is written.
TEST(Runs, RefuseAFileOfAnotherKind) {
  TempDir dir;
  const Env env = MakeEnv(dir.path());
  const fs::path receipt = dir / "RECEIPTC.UKE";
  WriteBytes(receipt, Sjis("IR,2,13,1,1234567,,国保医院,202604,00,03\r\n"
                           "RE,1,1112,202604,山田　太郎,1,19800101\r\n"));
  const fs::path title = dir / "title.txt";
  WriteBytes(title, Sjis(Line(53, {{0, "H"}}) + "\r\n"));
  const Text kind = T("\n外来データファイル（FFファイル）ではありません。");
  const Text shortLine2 = T(" の2行目は項目が4つに足りないため、診療年月を読み取れません。");
  const Text noLine2 = T(" には2行目がないため、診療年月を読み取れません。");
  struct Case {
    const char* run;
    RunResult (*op)(const Env&, TextView);
    fs::path input;
    Text why;
  };
  const Case cases[] = {
      {"変換1", Cnv, receipt, shortLine2},
      {"変換1", Cnv, title, noLine2},
      {"変換2", [](const Env& e, TextView f) { return Conv2(e, f); }, receipt, shortLine2},
      {"変換2", [](const Env& e, TextView f) { return Conv2(e, f); }, title, noLine2},
      {"変換前ファイル匿名化", Anonymize, receipt, T(" の2行目はタブ区切りではありません。")},
      {"変換前ファイル匿名化", Anonymize, title, T(" には2行目がありません。")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.run) + " " + c.input.filename().string());
    const RunResult r = c.op(env, P(c.input));
    EXPECT_EQ(
        r.messages,
        (std::vector<Message>{{MsgKind::Warning, T("ファイル ") + P(c.input) + c.why + kind}}));
    EXPECT_FALSE(r.wrote());
    EXPECT_FALSE(r.stopped);
    EXPECT_TRUE(r.gstFile1.empty());
    EXPECT_EQ(r.operation, T(c.run));
    EXPECT_EQ(r.inputs, std::vector<fs::path>{c.input});
  }
  EXPECT_TRUE(ListFiles(env.programDir).empty());
}

// ---------------------------------------------------------------- anonymizer

TEST(Anonymizer, WholeFileMatchesHandWrittenOutput) {
  TempDir dir;
  const Env env = MakeEnv(dir.path());
  const fs::path in = dir / "FF_data.txt";
  WriteBytes(in, Fixture("linkage/anonymize_in.txt"));
  const RunResult r = Anonymize(env, P(in));
  ASSERT_TRUE(r.messages.empty());
  EXPECT_EQ(r.gstFile1, u"FF_dataano.txt");
  // Six lines after the title; the four with a TAB lose their second field.
  EXPECT_EQ(r.counts, std::vector<Text>{
                          T("6行を読み、4行の2列目（氏名）を空欄にしました（見出し行を除く）")});
  EXPECT_EQ(r.gstMsg, T("FF_dataano.txtが作成されました"));
  EXPECT_EQ(ReadBytes(env.programDir / "FF_dataano.txt"),
            Fixture("linkage/anonymize_expected.txt"));
  EXPECT_EQ(ReadBytes(in), Fixture("linkage/anonymize_in.txt"));
}

TEST(Anonymizer, OutputNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"/x/FF_data.txt", "FF_dataano.txt"},
      {"/x/a.txt.txt", "aano.txtano.txt"},
      {"/x/DATA.TXT", "DATA.TXT"},
      {"rel/b.txt", "bano.txt"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(AnonymizedName(T(in)), T(out)) << in;
}

TEST(Anonymizer, Refusals) {
  TempDir dir;
  const Env env = MakeEnv(dir.path());
  // Same name inside the program folder: the input must survive.
  const fs::path inside = env.programDir / "DATA.TXT";
  WriteBytes(inside, "H\tI\r\n1\t2\r\n");
  RunResult r = Anonymize(env, P(inside));
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].kind, MsgKind::Warning);
  EXPECT_NE(r.messages[0].text.find(T("変換前ファイルと同じになるため")), Text::npos);
  EXPECT_EQ(ReadBytes(inside), "H\tI\r\n1\t2\r\n");

  // The same name outside the program folder is fine.
  const fs::path outside = dir / "DATA.TXT";
  WriteBytes(outside, "H\tI\r\n1\t2\r\n");
  r = Anonymize(env, P(outside));
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(ReadBytes(env.programDir / "DATA.TXT"), "H\tI\r\n1\t\r\n");

  r = Anonymize(env, u"  ");
  EXPECT_EQ(r.messages,
            (std::vector<Message>{{MsgKind::Warning, T("ファイルが選択されていません。")}}));
  r = Anonymize(env, P(dir / "gone.txt"));
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].kind, MsgKind::Error);
  EXPECT_FALSE(r.wrote());
  r = Anonymize(env, P(dir / "a?.txt"));
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].kind, MsgKind::Error);
  EXPECT_EQ(ListFiles(env.programDir), (std::vector<std::string>{"DATA.TXT"}));
}

}  // namespace
}  // namespace tavo::linkage

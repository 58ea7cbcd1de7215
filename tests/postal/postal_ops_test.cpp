#include "postal/postal_ops.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/cp932.h"
#include "core/errors.h"
#include "core/files.h"
#include "support/run_text.h"
#include "support/test_util.h"

namespace tavo::postal {
namespace {

using test::Fixture;
using test::FixturePath;
using test::ListFiles;
using test::MessageLines;
using test::ReadBytes;
using test::Sjis;
using test::TempDir;
using test::WriteBytes;

namespace fs = std::filesystem;

Text P(const fs::path& p) { return PathText(p); }

std::vector<std::string> Counts(const RunResult& r) {
  std::vector<std::string> lines;
  for (const Text& c : r.counts) lines.push_back(ToUtf8(c));
  return lines;
}

// An OUTPUT line of 13 fields with the patient number, name and postal code given.
std::string OutputLine(const std::string& number, const std::string& name,
                       const std::string& postcode) {
  return "1," + number + "," + name + ",カナ,1,19600101,1,1,3,県,市,0312345678," + postcode;
}

// ------------------------------------------------------------ form of the first line

TEST(PostalForm, FirstLineDecidesTheForm) {
  struct Case {
    const char* line;
    TTextFileFormat form;
  };
  const Case cases[] = {
      {"a,b,c,d\te\tf\tg", TTextFileFormat::tfTSV},  // 3 commas, 3 tabs: tie is TSV
      {"a,b,c,d\te\tf", TTextFileFormat::tfCSV},     // 3 commas, 2 tabs
      {"a\tb", TTextFileFormat::tfTSV},
      {"a,b", TTextFileFormat::tfCSV},
      {"abc", TTextFileFormat::tfUnknown},
      {"", TTextFileFormat::tfUnknown},
  };
  for (const auto& c : cases) EXPECT_EQ(GetTextFileFormat(T(c.line)), c.form) << c.line;
  EXPECT_EQ(FormatName(TTextFileFormat::tfCSV), u"CSV");
  EXPECT_EQ(FormatName(TTextFileFormat::tfTSV), u"TSV");
  EXPECT_EQ(FormatName(TTextFileFormat::tfUnknown), u"");
}

// ------------------------------------------------------------ values

TEST(PostalValues, OutputPatientNumber) {
  // Empty: no number, the line is skipped.
  const std::pair<const char*, const char*> cases[] = {
      {"0000012345", "12345"},
      {" 0000012345 ", "12345"},
      {"ABC", ""},
      {"", ""},
      {"12a", ""},
      {"1 2", ""},
      {"3000000000", "3000000000"},  // beyond 32 bits: read whole
      {"000099999999999999999999", "99999999999999999999"},
      {"0000", "0"},
      {"-0042", "-42"},
      {"+7", "7"},
      {"-0", "0"},
      {"-", ""},
      {"１２", ""},  // full-width digits are no number
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ToUtf8(OutputPatientNumber(T(in))), out) << in;
}

TEST(PostalValues, DefinitionLookup) {
  const std::vector<Text> def = {T("12345,D001"), T("67890,D001"), T("12345, D002"),
                                 T("555,E,1"),    T("no comma"),   T(",D009")};
  const std::pair<const char*, const char*> cases[] = {
      {"D001", "67890"},                   // the later line wins
      {"D002", ""},                        // the key is " D002"
      {" D002", "12345"}, {"E,1", "555"},  // the key runs to the end of the line
      {"E", ""},          {"d001", ""},    // case-sensitive
      {"D009", ""},                        // an empty value
      {"no comma", ""},
  };
  for (const auto& [key, value] : cases) {
    EXPECT_EQ(ToUtf8(GetKarte(def, T(key))), value) << key;
  }
}

TEST(PostalValues, TargetMonth) {
  struct Case {
    const char* year;
    const char* month;
    const char* ngt;  // nullptr: refused with the warning
  };
  const Case cases[] = {
      {"08", "06", "202606"}, {" 08 ", " 06", "202606"}, {"01", "12", "201912"},
      {"08", "5", nullptr},   {"08", "00", nullptr},     {"08", "13", nullptr},
      {"8", "06", nullptr},   {"08", "", nullptr},       {"08", "+5", nullptr},
      {"08", "006", nullptr}, {"-1", "06", nullptr},     {"+8", "06", "202606"},
  };
  for (const auto& c : cases) {
    RunResult r;
    const auto ngt = TargetMonth(T(c.year), T(c.month), r);
    if (c.ngt) {
      ASSERT_TRUE(ngt) << c.year << "/" << c.month;
      EXPECT_EQ(ToUtf8(*ngt), c.ngt);
      EXPECT_TRUE(r.messages.empty());
    } else {
      EXPECT_FALSE(ngt) << c.year << "/" << c.month;
      EXPECT_EQ(MessageLines(r), std::vector<std::string>{"警告: 対象年月が正しくありません"});
    }
  }
  RunResult r;
  try {
    TargetMonth(u"ab", u"06", r);
    FAIL() << "a year of letters must fail";
  } catch (const OpError& e) {
    EXPECT_EQ(ToUtf8(e.text()), "'ab' は整数ではありません");
  }
}

// ------------------------------------------------------------ OUTPUT runs

TEST(PostalCnv, OutputFileMatchesFixture) {
  TempDir dir;
  const Env env = test::MakeEnv(dir.path());
  const RunResult r = Cnv(env, u"08", u"06", P(FixturePath("postal/output.csv")));
  EXPECT_TRUE(r.messages.empty()) << testing::PrintToString(MessageLines(r));
  ASSERT_TRUE(r.wrote());
  EXPECT_EQ(r.written[0], env.programDir / T("202606_postcode.csv"));
  EXPECT_EQ(ToUtf8(r.gstMsg), "202606_postcode.csvが作成されました");
  EXPECT_EQ(ToUtf8(r.gstFile1), "202606_postcode.csv");
  EXPECT_TRUE(r.gstFile2.empty());
  // Patient numbers ABC and empty: skipped. The quoted name 田中,花子: "，".
  EXPECT_EQ(ReadBytes(r.written[0]), Fixture("postal/output_202606_postcode.expected"));
  EXPECT_EQ(Counts(r), (std::vector<std::string>{
                           "7行を読み、5行を書き込みました",
                           "読み飛ばした行: 2行（患者番号が数字でない）",
                           "カンマを全角に置換した値: 1件",
                       }));
}

TEST(PostalCnv, HeaderOnlyInputGivesHeaderOnlyOutput) {
  TempDir dir;
  const Env env = test::MakeEnv(dir.path());
  const fs::path in = dir / "only_header.csv";
  WriteBytes(in, Sjis("No,患者番号,氏名\r\n"));
  const RunResult r = Cnv(env, u"07", u"01", P(in));
  ASSERT_TRUE(r.wrote());
  EXPECT_EQ(ReadBytes(env.programDir / "202501_postcode.csv"),
            Sjis("患者番号,氏名,診療年月,郵便番号\r\n"));
}

TEST(PostalCnv, ReplacesAnEarlierOutput) {
  TempDir dir;
  const Env env = test::MakeEnv(dir.path());
  WriteBytes(env.programDir / "202606_postcode.csv", "old");
  const fs::path in = dir / "in.csv";
  WriteBytes(in, Sjis("h,h\r\n" + OutputLine("1", "甲", "111-1111") + "\r\n"));
  ASSERT_TRUE(Cnv(env, u"08", u"06", P(in)).wrote());
  EXPECT_EQ(ReadBytes(env.programDir / "202606_postcode.csv"),
            Sjis("患者番号,氏名,診療年月,郵便番号\r\n1,甲,20260601,111-1111\r\n"));
}

// A patient number that is no number (empty included) never becomes a patient
// of its own: the line is skipped and counted, on the bytes read and, for a
// file with a byte-order mark, on the decoded text alike.
TEST(PostalCnv, LinesWithoutANumberAreSkippedAndCounted) {
  const std::string lines =
      "h,h\r\n" + OutputLine("0012", "甲", "111-1111") + "\r\n" +
      OutputLine("ABC", "乙", "222-2222") + "\r\n" + OutputLine("", "丙", "333-3333") + "\r\n" +
      OutputLine("１２", "丁", "444-4444") + "\r\n" + OutputLine("\"\"", "戊", "555-5555") +
      "\r\n" + OutputLine("0", "己", "666-6666") + "\r\n";
  const std::string expected = Sjis(
      "患者番号,氏名,診療年月,郵便番号\r\n12,甲,20260601,111-1111\r\n0,己,20260601,666-6666\r\n");
  for (const std::string& input : {Sjis(lines), "\xEF\xBB\xBF" + lines}) {
    TempDir dir;
    const Env env = test::MakeEnv(dir.path());
    WriteBytes(dir / "in.csv", input);
    const RunResult r = Cnv(env, u"08", u"06", P(dir / "in.csv"));
    ASSERT_TRUE(r.wrote()) << testing::PrintToString(MessageLines(r));
    EXPECT_EQ(ReadBytes(r.written[0]), expected);
    EXPECT_EQ(Counts(r), (std::vector<std::string>{"6行を読み、2行を書き込みました",
                                                   "読み飛ばした行: 4行（患者番号が数字でない）"}));
  }
}

// Runs that stop: the message, and no file anywhere in the program folder.
TEST(PostalCnv, FailuresWriteNothing) {
  struct Case {
    const char* name;
    std::string input;  // Shift_JIS bytes; empty: no file at all
    const char* year;
    const char* month;
    std::string message;
  };
  const std::string good = Sjis("h\r\n" + OutputLine("1", "甲", "111-1111") + "\r\n");
  const std::vector<Case> cases = {
      {"missing file", "", "08", "06", "警告: OUTPUTファイルがありません。"},
      {"month of one digit", good, "08", "5", "警告: 対象年月が正しくありません"},
      {"month 00", good, "08", "00", "警告: 対象年月が正しくありません"},
      {"month 13", good, "08", "13", "警告: 対象年月が正しくありません"},
      {"year of letters", good, "ab", "06", "エラー: 'ab' は整数ではありません"},
      {"line of 12 fields", Sjis("h\r\n1,2,3,4,5,6,7,8,9,10,11,12\r\n"), "08", "06",
       "エラー: リストのインデックスが範囲を超えています (12)"},
      {"empty line after good lines", good + "\r\n", "08", "06",
       "エラー: リストのインデックスが範囲を超えています (1)"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const Env env = test::MakeEnv(dir.path());
    const fs::path in = dir / "in.csv";
    if (!c.input.empty()) WriteBytes(in, c.input);
    const RunResult r = Cnv(env, T(c.year), T(c.month), P(in));
    EXPECT_EQ(MessageLines(r), std::vector<std::string>{c.message}) << c.name;
    EXPECT_FALSE(r.wrote()) << c.name;
    EXPECT_TRUE(ListFiles(env.programDir).empty()) << c.name;
  }
}

TEST(PostalCnv, RefusesToWriteOverItsInput) {
  TempDir dir;
  const Env env = test::MakeEnv(dir.path());
  const fs::path in = env.programDir / "202606_postcode.csv";
  const std::string bytes = Sjis("患者番号,氏名,診療年月,郵便番号\r\n");
  WriteBytes(in, bytes);
  const RunResult r = Cnv(env, u"08", u"06", P(in));
  EXPECT_FALSE(r.wrote());
  EXPECT_EQ(
      MessageLines(r),
      std::vector<std::string>{"警告: 変換後のファイル名「202606_postcode.csv」が変換前のファイルと"
                               "同じになるため、作成しません。"});
  EXPECT_EQ(ReadBytes(in), bytes);
}

// ------------------------------------------------------------ intermediate-file runs

TEST(PostalCnv2, IntermediateFileMatchesFixture) {
  TempDir dir;
  const Env env = test::MakeEnv(dir.path());
  const RunResult r = Cnv2(env, u"08", u"06", P(FixturePath("postal/intermediate.tsv")),
                           P(FixturePath("postal/definition.csv")));
  EXPECT_TRUE(r.messages.empty()) << testing::PrintToString(MessageLines(r));
  ASSERT_TRUE(r.wrote());
  EXPECT_EQ(ToUtf8(r.gstFile1), "202606_postcode.csv");
  EXPECT_EQ(ReadBytes(env.programDir / "202606_postcode.csv"),
            Fixture("postal/intermediate_202606_postcode.expected"));
  // D002 and d001 are not in the definition.
  EXPECT_EQ(Counts(r),
            (std::vector<std::string>{
                "5行を読み、5行を書き込みました",
                "変更定義ファイルで患者番号が見つからなかった行: 2行（患者番号は空欄）"}));
}

// Names and postal codes that hold commas keep the columns: their commas are
// written as "，". The Shift_JIS file goes through the bulk of lines cut from
// the bytes read, a quoted line through the text rule and the last lines one
// by one; the same file with a UTF-8 mark goes through the decoded text.
TEST(PostalCnv2, CommasInValuesBecomeFullWidth) {
  const std::string sjis = Fixture("postal/commas.tsv");
  for (const std::string& input : {sjis, "\xEF\xBB\xBF" + ToUtf8(Cp932Decode(sjis))}) {
    TempDir dir;
    const Env env = test::MakeEnv(dir.path());
    WriteBytes(dir / "in.tsv", input);
    const RunResult r =
        Cnv2(env, u"08", u"06", P(dir / "in.tsv"), P(FixturePath("postal/commas_definition.csv")));
    ASSERT_TRUE(r.wrote()) << testing::PrintToString(MessageLines(r));
    EXPECT_EQ(ReadBytes(r.written[0]), Fixture("postal/commas_202606_postcode.expected"));
    EXPECT_EQ(Counts(r), (std::vector<std::string>{"6行を読み、6行を書き込みました",
                                                   "カンマを全角に置換した値: 5件"}));
  }
}

TEST(PostalCnv2, FailuresWriteNothing) {
  struct Case {
    const char* name;
    bool input;
    bool definition;
    std::string inputBytes;
    const char* month;
    std::string message;
  };
  const std::string good = Sjis("h\th\r\nD1\t甲\t\t\t\t111-1111\r\n");
  const std::vector<Case> cases = {
      {"missing input", false, true, good, "06", "警告: 外来様式１中間ファイルがありません。"},
      {"missing definition", true, false, good, "06",
       "警告: 変換定義ファイルファイルがありません。"},
      {"bad month before the files", false, false, good, "13", "警告: 対象年月が正しくありません"},
      {"line of 5 fields", true, true, Sjis("h\th\r\nD1\t甲\t\t\t\r\n"), "06",
       "エラー: リストのインデックスが範囲を超えています (5)"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const Env env = test::MakeEnv(dir.path());
    const fs::path in = dir / "in.tsv";
    const fs::path def = dir / "def.csv";
    if (c.input) WriteBytes(in, c.inputBytes);
    if (c.definition) WriteBytes(def, "1,D1\r\n");
    const RunResult r = Cnv2(env, u"08", T(c.month), P(in), P(def));
    EXPECT_EQ(MessageLines(r), std::vector<std::string>{c.message}) << c.name;
    EXPECT_TRUE(ListFiles(env.programDir).empty()) << c.name;
  }
}

// ------------------------------------------------------------ whole runs without a window

TEST(PostalRunFile, FormFromTheFirstLine) {
  TempDir dir;
  const Env env = test::MakeEnv(dir.path());
  TTextFileFormat form;

  RunResult r = RunFile(env, u"08", u"06", P(FixturePath("postal/output.csv")), u"", form);
  EXPECT_EQ(form, TTextFileFormat::tfCSV);
  EXPECT_TRUE(r.wrote());

  r = RunFile(env, u"08", u"06", P(FixturePath("postal/intermediate.tsv")), u" ", form);
  EXPECT_EQ(form, TTextFileFormat::tfTSV);
  EXPECT_EQ(MessageLines(r), std::vector<std::string>{"警告: 変更定義ファイルを選択してください"});

  const fs::path empty = dir / "empty.csv";
  WriteBytes(empty, "");
  r = RunFile(env, u"08", u"06", P(empty), u"", form);
  EXPECT_EQ(MessageLines(r), std::vector<std::string>{"警告: OUTPUTファイルではありません。"});

  const fs::path plain = dir / "plain.txt";
  WriteBytes(plain, "no separators\r\n1\r\n");
  r = RunFile(env, u"08", u"06", P(plain), u"", form);
  EXPECT_EQ(form, TTextFileFormat::tfUnknown);
  EXPECT_TRUE(r.messages.empty());
  EXPECT_FALSE(r.wrote());
}

}  // namespace
}  // namespace tavo::postal

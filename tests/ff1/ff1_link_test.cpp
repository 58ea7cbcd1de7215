// The whole FF1 linkage of one click, as the window and tavo-cli run it: what
// it writes, what it says, and what it counts.
#include "ff1/ff1_link.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/files.h"
#include "support/run_text.h"
#include "support/test_util.h"

namespace tavo::ff1 {
namespace {

using test::Fixture;
using test::ListFiles;
using test::MessageLines;
using test::ReadBytes;
using test::Sjis;
using test::TempDir;
using test::WriteBytes;

using Strings = std::vector<std::string>;

const char kFF1Header[] = "施設コード\tデータ識別番号\t受診年月\tコード\t連番\tペイロード1\r\n";

// An FF1 line of 14 fields: data id, year-month, code and payloads 1 and 2.
std::string Ff1Row(const char* id, const char* ym, const char* code, const char* p1,
                   const char* p2 = "") {
  return std::string("1\t") + id + "\t" + ym + "\t" + code + "\t1\t" + p1 + "\t" + p2 +
         "\t\t\t\t\t\t\t\r\n";
}

// An 89-field row: columns 0, 1 and 2 given, the rest empty.
std::string Row(const std::string& c0, const std::string& c1, const std::string& c2) {
  return c0 + "," + c1 + "," + c2 + std::string(86, ',') + "\r\n";
}

std::string HeaderLine() {
  std::string h = "[0],[1] 氏名,[2],[3] 郵便番号";
  for (int i = 4; i <= 88; ++i) h += ",[" + std::to_string(i) + "]";
  return h + "\r\n";
}

Strings Counts(const RunResult& r) {
  Strings lines;
  for (const Text& c : r.counts) lines.push_back(ToUtf8(c));
  return lines;
}

class Link : public ::testing::Test {
 protected:
  Link() {
    fs::create_directories(ff1_);
    WriteBytes(spec_, Sjis("ヘッダー名称,コード,ペイロード番号\r\n"
                           "[1] 氏名,PT_0002,1\r\n"
                           "[3] 郵便番号,IO_0003,1\r\n"));
  }
  RunResult Run(const char* yearMonth = "202405", const fs::path& append = {}) {
    FF1LinkParams params;
    params.InDir = PathText(ff1_);
    params.SpecCsv = spec_;
    params.OutDir = out_;
    params.AppendCsv = append;
    params.YearMonth = T(yearMonth);
    return RunFF1Link(params);
  }
  std::string Output() const { return ReadBytes(out_ / "202405_ff1all.csv"); }

  TempDir dir_;
  fs::path ff1_ = dir_ / "FF1";
  fs::path spec_ = dir_ / "siyo4.csv";
  fs::path out_ = dir_ / "Downloads";
};

const char kDone[] = "情報: 電カル連携ファイルが作成されました";
const char kNoRecelist[] =
    "情報: recelist.csv が見つからないため、カルテ番号の列にはデータ識別番号を入れました";

// Without any header line in the FF1 files the merged file starts with a data
// line: that patient is kept, as every other.
TEST_F(Link, FirstPatientKeptWhetherOrNotTheFilesHaveAHeaderLine) {
  for (const std::string& header : {std::string(kFF1Header), std::string()}) {
    WriteBytes(ff1_ / "G_FF1_1.txt", Sjis(header + Ff1Row("D001", "202405", "PT_0002", "甲") +
                                          Ff1Row("D002", "202405", "PT_0002", "乙")));
    const RunResult r = Run();
    ASSERT_TRUE(r.wrote()) << testing::PrintToString(MessageLines(r));
    EXPECT_EQ(Output(), Sjis(HeaderLine() + Row("D001", "甲", "20240501") +
                             Row("D002", "乙", "20240501")))
        << (header.empty() ? "no header line" : "header line");
  }
}

// Values and column titles that hold commas keep the columns: "，".
TEST_F(Link, CommasInValuesAndTitlesBecomeFullWidth) {
  WriteBytes(spec_, Sjis("ヘッダー名称,コード,ペイロード番号\r\n"
                         "[1] 氏名,PT_0002,1\r\n"
                         "[3] 郵便番号,IO_0003,1\r\n"
                         "\"[5] 体重,kg\",EX_0002,2\r\n"));
  WriteBytes(ff1_ / "G_FF1_1.txt", Sjis(Ff1Row("D001", "202405", "PT_0002", "田中,花子") +
                                        Ff1Row("D001", "202405", "EX_0002", "160", "55,5") +
                                        Ff1Row("D002", "202405", "IO_0003", "100,0001")));
  const RunResult r = Run();
  ASSERT_TRUE(r.wrote()) << testing::PrintToString(MessageLines(r));
  EXPECT_EQ(Output(), Fixture("ff1/commas_202405_ff1all.expected"));
  EXPECT_EQ(MessageLines(r), (Strings{kDone, kNoRecelist}));
  EXPECT_EQ(Counts(r), (Strings{"FF1ファイル1件の3行を、患者2人の最新月の3行にまとめました",
                                "2行を書き込みました", "カンマを全角に置換した値: 4件"}));
}

// Two files, an older month of D001 dropped; a file to append; recelist.csv
// maps D001 to its chart number, so no note about data ids.
TEST_F(Link, CountsOfTheMergeAndTheBuild) {
  WriteBytes(ff1_ / "G_FF1_202404.txt",
             Sjis(std::string(kFF1Header) + Ff1Row("D001", "202404", "PT_0002", "旧") +
                  Ff1Row("D002", "202404", "PT_0002", "乙") +
                  Ff1Row("D002", "202404", "IO_0003", "222-2222")));
  WriteBytes(ff1_ / "G_FF1_202405.txt",
             Sjis(std::string(kFF1Header) + Ff1Row("D001", "202405", "PT_0002", "甲") +
                  Ff1Row("D001", "202405", "IO_0003", "111-1111") + "\r\n" +
                  Ff1Row("D003", "0", "PT_0002", "年月なし")));
  WriteBytes(ff1_ / "recelist.csv", Sjis("1001,甲,,,D001\r\n"));
  const fs::path append = dir_ / "append.csv";
  WriteBytes(append, Sjis("[0] カルテ番号\r\n5000,追記,20240501\r\n\r\n5001,追記二,20240501\r\n"));
  const RunResult r = Run("202405", append);
  ASSERT_TRUE(r.wrote()) << testing::PrintToString(MessageLines(r));
  EXPECT_EQ(MessageLines(r), Strings{kDone});
  EXPECT_EQ(Counts(r),
            (Strings{"FF1ファイル2件の5行を、患者2人の最新月の4行にまとめました",
                     "4行を書き込みました（追記ファイルから2行）"}));
  EXPECT_EQ(Output(), Sjis(HeaderLine() + "1001,甲,20240501,111-1111" + std::string(85, ',') +
                           "\r\nD002,乙,20240501,222-2222" + std::string(85, ',') +
                           "\r\n5000,追記,20240501\r\n5001,追記二,20240501\r\n"));
  // The history names what was read: the column file, the file to append,
  // the FF1 files and the receipt list.
  EXPECT_EQ(ToUtf8(r.operation), "FF1連携");
  EXPECT_EQ(ToUtf8(r.options), "該当年月 202405");
  EXPECT_EQ(r.inputs, (std::vector<fs::path>{spec_, append, ff1_ / "G_FF1_202404.txt",
                                             ff1_ / "G_FF1_202405.txt", ff1_ / "recelist.csv"}));
}

// The column file's first line must hold the titles the message names; a file
// Excel saved as "CSV UTF-8" is told apart.
TEST_F(Link, ColumnFileMessages) {
  WriteBytes(ff1_ / "G_FF1_1.txt", Sjis(Ff1Row("D001", "202405", "PT_0002", "甲")));
  const std::string titles =
      "情報: エラーが発生しました:仕様CSVの1行目に「ヘッダー名称」「コード」「ペイロード番号」の"
      "3つの列名が見つかりません。";
  const std::string utf8 =
      "情報: エラーが発生しました:仕様CSVがUTF-8で保存されています。Excelで「CSV (コンマ区切り)」"
      "（Shift_JIS）を選んで保存し直してください。";
  const struct {
    const char* name;
    std::string spec;
    std::string message;
  } cases[] = {
      {"the title line the old message asked for",
       Sjis("ヘッダー名/コード/ペイロード番号\r\n[1] 氏名,PT_0002,1\r\n"), titles},
      {"titles in one field each, one missing", Sjis("ヘッダー名,コード,ペイロード番号\r\n"),
       titles},
      {"Excel's CSV UTF-8", "\xEF\xBB\xBF" "ヘッダー名称,コード,ペイロード番号\r\n", utf8},
  };
  for (const auto& c : cases) {
    WriteBytes(spec_, c.spec);
    const RunResult r = Run();
    EXPECT_EQ(MessageLines(r), Strings{c.message}) << c.name;
    EXPECT_FALSE(r.wrote()) << c.name;
    EXPECT_FALSE(fs::exists(out_)) << c.name;
    EXPECT_EQ(ListFiles(ff1_), Strings{"G_FF1_1.txt"}) << c.name;
  }
}

}  // namespace
}  // namespace tavo::ff1

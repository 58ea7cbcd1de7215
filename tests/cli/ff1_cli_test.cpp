// tavo-cli ff1-link end to end.
#include <gtest/gtest.h>

#include "support/test_util.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;
using test::Fixture;
using test::ListFiles;
using test::ReadBytes;
using test::RunCli;
using test::Sjis;
using test::TempDir;
using test::WriteBytes;

std::string Ff1Row(const char* id, const char* ym, const char* code, const char* value) {
  return std::string("1234567890\t") + id + "\t" + ym + "\t" + code + "\t1\t" + value +
         "\t\t\t\t\t\t\t\t\r\n";
}

class Ff1Cli : public ::testing::Test {
 protected:
  Ff1Cli() {
    fs::create_directories(ff1_);
    WriteBytes(ff1_ / "G_FF1_202404.txt",
               Sjis("施設コード\tデータ識別番号\r\n" + Ff1Row("D001", "202404", "PT_0002", "旧姓") +
                    Ff1Row("D002", "202404", "PT_0002", "佐藤 一郎") +
                    Ff1Row("D002", "202404", "IO_0003", "1000001")));
    WriteBytes(ff1_ / "G_FF1_202405.TXT", Sjis(Ff1Row("D001", "202405", "PT_0002", "田中 花子") +
                                               Ff1Row("D001", "202405", "IO_0003", "1500042") +
                                               Ff1Row("D001", "202405", "IO_0009", "2") +
                                               Ff1Row("D001", "202405", "IO_0099", "1")));
    WriteBytes(ff1_ / "recelist.csv", Sjis("1001,田中,,,D001\r\n"));
    WriteBytes(append_, Sjis("[0] カルテ番号\r\n5000,追記 太郎,20240501\r\n"));
  }
  std::vector<std::string> Args(const char* yearMonth) const {
    return {"ff1-link", "--ff1-dir", ff1_.string(),    "--spec",    spec_.string(), "--year-month",
            yearMonth,  "--append",  append_.string(), "--out-dir", out_.string()};
  }
  TempDir dir_;
  fs::path ff1_ = dir_ / "FF1";
  fs::path out_ = dir_ / "out";
  fs::path append_ = dir_ / "append.csv";
  fs::path spec_ = fs::path(TAVO_SOURCE_DIR) / "data" / "siyo4.csv";
};

TEST_F(Ff1Cli, WritesTheLinkageFile) {
  const auto run = RunCli(Args(" 202405 "));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err,
            "情報: 電カル連携ファイルが作成されました\n"
            "情報: FF1ファイル2件の7行を、患者2人の最新月の6行にまとめました\n"
            "情報: 3行を書き込みました（追記ファイルから1行）\n");
  EXPECT_EQ(run.out, (out_ / "202405_ff1all.csv").string() + "\n");
  EXPECT_EQ(ReadBytes(out_ / "202405_ff1all.csv"), Fixture("ff1/window_202405_ff1all.expected"));
  EXPECT_EQ(ListFiles(ff1_),
            (std::vector<std::string>{"G_FF1_202404.txt", "G_FF1_202405.TXT", "recelist.csv"}));
}

TEST_F(Ff1Cli, MessagesAndExitCodes) {
  WriteBytes(append_, Sjis("h\r\n5000,x,20240601\r\n"));
  auto run = RunCli(Args("202405"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "情報: エラーが発生しました:追記ファイルの診療年月日が異なります。元ファイル=20240501, "
            "追記ファイル=20240601\n");
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(fs::exists(out_));
  EXPECT_FALSE(fs::exists(ff1_ / "G_FF1_all.txt"));

  run = RunCli(Args(" "));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "情報: 連携ファイル該当年月を入力してください\n");

  // A year-month the window refuses is a usage error here.
  for (const char* bad : {"0605", "2024 05", "２０２４０５", "202413"}) {
    run = RunCli(Args(bad));
    EXPECT_EQ(run.exitCode, 2) << bad;
  }

  run = RunCli({"ff1-link", "--ff1-dir", ff1_.string(), "--out-dir", out_.string()});
  EXPECT_EQ(run.exitCode, 2);
  run = RunCli({"ff1-link", "--ff1-dir", ff1_.string(), "--year-month", "202405", "--out-dir",
                out_.string(), "stray"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_FALSE(fs::exists(out_));
}

}  // namespace
}  // namespace tavo

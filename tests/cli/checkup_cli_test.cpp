#include <gtest/gtest.h>

#include <string>

#include "core/errors.h"
#include "support/run_text.h"
#include "support/test_util.h"

namespace tavo {
namespace {

using test::Fixture;
using test::FixturePath;
using test::Lf;
using test::ListFiles;
using test::PathArg;
using test::ReadBytes;
using test::RunCli;
using test::TempDir;
using test::WriteBytes;

TEST(CheckupCli, ListWithAdditionalFile) {
  TempDir dir;
  const auto run = RunCli({"checkup", "--year", "08", "--month", "06", "--additional",
                           PathArg(FixturePath("checkup/additional.csv")), "--out-dir",
                           PathArg(dir.path()), PathArg(FixturePath("checkup/checkups.csv"))});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Lf(run.err),
            "情報: 21行を読み、条件に該当した11行から患者10人の行を書き込みました"
            "（追加レセ電連携ファイルから3行）\n"
            "情報: 読み飛ばした行: 10行（空行 1行、項目が足りない 1行、受診年月が対象外 3行、"
            "年齢が対象外 4行、患者番号か氏名が空欄 1行）\n"
            "情報: Shift_JISで表せないため?に置き換えた文字: 1文字\n");
  const auto out = dir / T("202606_carte_特定健診.csv");
  EXPECT_EQ(Lf(run.out), PathArg(out) + "\n");
  EXPECT_EQ(ReadBytes(out), Fixture("checkup/202606_carte_checkup.expected"));
}

TEST(CheckupCli, StoppedRuns) {
  TempDir dir;
  const auto nobody = dir / "nobody.csv";
  WriteBytes(nobody, "患者番号,氏名,性別,特定健診受診年月,年齢\r\n1,甲,1,202606,75,x\r\n");
  const auto out = dir / "out";
  std::filesystem::create_directories(out);

  auto run = RunCli(
      {"checkup", "--year", "08", "--month", "06", "--out-dir", PathArg(out), PathArg(nobody)});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(Lf(run.err),
            "情報: 条件に該当する患者がいませんでした。\n"
            "情報: 1行を読みました\n"
            "情報: 読み飛ばした行: 1行（年齢が対象外 1行）\n");

  run = RunCli(
      {"checkup", "--year", "08", "--month", "5", "--out-dir", PathArg(out), PathArg(nobody)});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(Lf(run.err), "警告: 対象年月が正しくありません\n");

  run = RunCli({"checkup", "--year", "08", "--month", "06", "--additional",
                PathArg(dir / "none.csv"), "--out-dir", PathArg(out), PathArg(nobody)});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(Lf(run.err), "警告: 追加のレセ電連携ファイルファイルがありません。\n");

  run = RunCli({"checkup", "--year", "08", "--out-dir", PathArg(out), PathArg(nobody)});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_TRUE(ListFiles(out).empty());
}

}  // namespace
}  // namespace tavo

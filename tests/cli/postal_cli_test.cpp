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

TEST(PostalCli, OutputFile) {
  TempDir dir;
  const auto run = RunCli({"postal", "--year", "08", "--month", "06", "--out-dir",
                           PathArg(dir.path()), PathArg(FixturePath("postal/output.csv"))});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Lf(run.err),
            "情報: 7行を読み、5行を書き込みました\n"
            "情報: 読み飛ばした行: 2行（患者番号が数字でない）\n"
            "情報: カンマを全角に置換した値: 1件\n");
  EXPECT_EQ(Lf(run.out), PathArg(dir / "202606_postcode.csv") + "\n");
  EXPECT_EQ(ReadBytes(dir / "202606_postcode.csv"),
            Fixture("postal/output_202606_postcode.expected"));
}

TEST(PostalCli, IntermediateFileWithDefinition) {
  TempDir dir;
  const auto run = RunCli({"postal", "--year", "08", "--month", "06", "--definition",
                           PathArg(FixturePath("postal/definition.csv")), "--out-dir",
                           PathArg(dir.path()), PathArg(FixturePath("postal/intermediate.tsv"))});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadBytes(dir / "202606_postcode.csv"),
            Fixture("postal/intermediate_202606_postcode.expected"));
}

TEST(PostalCli, StoppedRuns) {
  struct Case {
    const char* name;
    std::vector<std::string> extra;  // options before --out-dir
    std::string file;
    int exitCode;
    std::string err;
  };
  const std::string tsv = PathArg(FixturePath("postal/intermediate.tsv"));
  const std::string csv = PathArg(FixturePath("postal/output.csv"));
  const std::vector<Case> cases = {
      {"intermediate without definition",
       {"--year", "08", "--month", "06"},
       tsv,
       1,
       "警告: 変更定義ファイルを選択してください\n"},
      // Values the year and month boxes never offer are usage errors
      // (target_month_cli_test.cpp); the run's own messages are tested with the run.
      {"month 13", {"--year", "08", "--month", "13"}, csv, 2, ""},
      {"year of letters", {"--year", "ab", "--month", "06"}, csv, 2, ""},
      {"missing file",
       {"--year", "08", "--month", "06"},
       "/nonexistent/x.csv",
       1,
       "警告: OUTPUTファイルがありません。\n"},
      {"no month", {"--year", "08"}, csv, 2, ""},
  };
  for (const auto& c : cases) {
    TempDir dir;
    std::vector<std::string> args = {"postal"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    args.insert(args.end(), {"--out-dir", PathArg(dir.path()), c.file});
    const auto run = RunCli(args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.name;
    if (!c.err.empty()) {
      EXPECT_EQ(Lf(run.err), c.err) << c.name;
    }
    EXPECT_EQ(Lf(run.out), "") << c.name;
    EXPECT_TRUE(ListFiles(dir.path()).empty()) << c.name;
  }
}

}  // namespace
}  // namespace tavo

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/files.h"
#include "support/test_util.h"

namespace tavo::test {
namespace {

namespace fs = std::filesystem;

class LinkageCli : public ::testing::Test {
 protected:
  TempDir root;
  fs::path out = root / "out";
  fs::path ff1 = root / "FF1";

  void SetUp() override {
    fs::create_directories(out);
    fs::create_directories(ff1);
  }
  std::string Put(const std::string& name, const std::string& bytes) {
    WriteBytes(root / name, bytes);
    return (root / name).string();
  }
};

TEST_F(LinkageCli, Convert1WritesShortHeaderFile) {
  const CliRun run = RunCli(
      {"convert1", "--out-dir", out.string(), FixturePath("linkage/convert1_in.txt").string()});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err,
            "情報: 8行を読み、4行を書き込みました（見出し行を除く）\n"
            "情報: 読み飛ばした行: 1行（項目が足りない）、1行（カルテ番号が空欄）、"
            "2行（カルテ番号の重複）\n");
  EXPECT_EQ(run.out, (out / "202605_carte.csv").string() + "\n");
  EXPECT_EQ(ReadBytes(out / "202605_carte.csv"), Fixture("linkage/convert1_expected.csv"));
}

// Both fixtures blank values: the report's name follows the output's.
TEST_F(LinkageCli, Convert2ChoosesLayoutByLineTwo) {
  WriteBytes(ff1 / "recelist.csv", Fixture("linkage/recelist.csv"));
  struct Case {
    const char* input;
    const char* output;
    const char* expected;
    const char* report;
    const char* reportExpected;
    const char* counts;  // what tavo-cli says of the run
  };
  for (const Case& c :
       {Case{"linkage/convert2_positional_in.txt", "202605_carte.csv",
             "linkage/convert2_positional_expected.csv", "202605_carte_検証.csv",
             "linkage/convert2_positional_report.csv",
             "情報: 5行を読み、5行を書き込みました（見出し行を除く）\n"
             "情報: 検証で空欄にした値: 17件、カンマを全角に置換した値: 1件"
             "（202605_carte_検証.csv に記録）\n"},
        Case{"linkage/convert2_itemcode_in.txt", "202606_carte.csv",
             "linkage/convert2_itemcode_expected.csv", "202606_carte_検証.csv",
             "linkage/convert2_itemcode_report.csv",
             "情報: 6行を読み、4行を書き込みました（見出し行を除く）\n"
             "情報: 読み飛ばした行: 2行（空行）\n"
             "情報: 検証で空欄にした値: 11件、カンマを全角に置換した値: 1件"
             "（202606_carte_検証.csv に記録）\n"}}) {
    const CliRun run = RunCli({"convert2", "--out-dir", out.string(), "--niva-ff1-dir",
                               ff1.string(), FixturePath(c.input).string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, c.counts);
    // The report's name as tavo-cli prints it (UTF-8).
    const fs::path report = out / PathFromText(T(c.report));
    EXPECT_EQ(run.out, (out / c.output).string() + "\n" + ToUtf8(PathText(report)) + "\n");
    EXPECT_EQ(ReadBytes(out / c.output), Fixture(c.expected));
    EXPECT_EQ(ReadBytes(report), Fixture(c.reportExpected));
  }
  // Nothing blanked: the output alone.
  const std::string clean = Put("clean.txt", "H\r\n1\t\t\t202605\r\n");
  const CliRun run = RunCli({"convert2", "--out-dir", out.string(), clean});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, (out / "202605_carte.csv").string() + "\n");
  // The positional run's report is gone with the output it described.
  EXPECT_FALSE(FileExists(out / PathFromText(T("202605_carte_検証.csv"))));
  EXPECT_TRUE(FileExists(out / PathFromText(T("202606_carte_検証.csv"))));
}

TEST_F(LinkageCli, Convert2StopsOnUnreadableYearMonth) {
  const std::string one = Put("one.txt", "H\r\n");
  CliRun run = RunCli({"convert2", "--out-dir", out.string(), one});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "エラー: ファイル " + one + " には2行目がないため、診療年月を読み取れません。\n");
  run = RunCli({"convert2", "--out-dir", out.string(), (root / "none.txt").string()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "エラー: ファイル " + (root / "none.txt").string() +
                         " を開けません。\nファイルが見つかりません。ファイルが移動または削除されて"
                         "いないか、名前が変わっていないか確かめてください。(コード 2)\n");
  EXPECT_TRUE(ListFiles(out).empty());
}

TEST_F(LinkageCli, AnonymizeFf) {
  const std::string in = Put("FF_data.txt", Fixture("linkage/anonymize_in.txt"));
  CliRun run = RunCli({"anonymize-ff", "--out-dir", out.string(), in});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, (out / "FF_dataano.txt").string() + "\n");
  EXPECT_EQ(ReadBytes(out / "FF_dataano.txt"), Fixture("linkage/anonymize_expected.txt"));

  const std::string inside = (out / "DATA.TSV").string();
  WriteBytes(inside, "H\tN\r\n1\t2\r\n");
  run = RunCli({"anonymize-ff", "--out-dir", out.string(), inside});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err.rfind("警告: 匿名化ファイル DATA.TSV が変換前ファイルと同じになるため", 0), 0u)
      << run.err;
  EXPECT_EQ(ReadBytes(inside), "H\tN\r\n1\t2\r\n");
}

TEST_F(LinkageCli, UsageErrors) {
  EXPECT_EQ(RunCli({"convert1", FixturePath("linkage/convert1_in.txt").string()}).exitCode, 2);
  EXPECT_EQ(RunCli({"convert2", "--out-dir", out.string()}).exitCode, 2);
  EXPECT_EQ(RunCli({"anonymize-ff", "--out-dir", out.string(), "a", "b"}).exitCode, 2);
}

}  // namespace
}  // namespace tavo::test

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_util.h"

namespace tavo::test {
namespace {

namespace fs = std::filesystem;

class ReplaceCli : public ::testing::Test {
 protected:
  TempDir root;
  fs::path out = root / "out";
  fs::path in = root / "in";

  void SetUp() override {
    fs::create_directories(out);
    fs::create_directories(in);
  }
  std::string Put(const std::string& name, const std::string& bytes) {
    fs::create_directories((in / name).parent_path());
    WriteBytes(in / name, bytes);
    return (in / name).string();
  }
};

TEST_F(ReplaceCli, Mode1WritesTheReplacedFile) {
  const std::string def = Put("def.csv", Fixture("replace/mode1_def.csv"));
  const std::string file = Put("G_FF1_420123456_all.txt", Fixture("replace/mode1_in.txt"));
  const CliRun run =
      RunCli({"replace", "--mode", "1", "--definition", def, "--out-dir", out.string(), file});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err,
            "情報: 8行を読み、患者番号を4件置き換えました\n"
            "情報: 定義にない番号: 3件（2, 4, 8行目）\n");
  EXPECT_EQ(run.out, (out / "G_FF1_420123456_allR.txt").string() + "\n");
  EXPECT_EQ(ReadBytes(out / "G_FF1_420123456_allR.txt"), Fixture("replace/mode1_expected.txt"));
}

TEST_F(ReplaceCli, Mode2WritesBothReceiptFiles) {
  const std::string def = Put("def.csv", Fixture("replace/mode2_def.csv"));
  const std::string shaho = Put("s/RECEIPTC.UKE", Fixture("replace/mode2_shaho.UKE"));
  const std::string kokuho = Put("k/RECEIPTC.UKE", Fixture("replace/mode2_kokuho.UKE"));
  const CliRun run = RunCli(
      {"replace", "--mode", "2", "--definition", def, "--out-dir", out.string(), shaho, kokuho});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err,
            "情報: RE 6件を読み、患者番号を3件置き換えました\n"
            "情報: 定義にない番号: 2件（10, 11行目）\n"
            "情報: RE 1件を読み、患者番号を1件置き換えました\n");
  EXPECT_EQ(run.out,
            (out / "RECEIPTC_1R.UKE").string() + "\n" + (out / "RECEIPTC_2R.UKE").string() + "\n");
  EXPECT_EQ(ReadBytes(out / "RECEIPTC_1R.UKE"), Fixture("replace/mode2_shaho_expected.UKE"));
  EXPECT_EQ(ReadBytes(out / "RECEIPTC_2R.UKE"), Fixture("replace/mode2_kokuho_expected.UKE"));
}

TEST_F(ReplaceCli, Mode2MissingShahoFileStillWritesKokuho) {
  const std::string def = Put("def.csv", "1,9\r\n");
  const std::string kokuho = Put("K.UKE", "IR,2\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,1\r\n");
  const CliRun run = RunCli({"replace", "--mode", "2", "--definition", def, "--out-dir",
                             out.string(), "--no-history", (in / "none.UKE").string(), kokuho});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err,
            "警告: ファイルがありません。\n"
            "情報: RE 1件を読み、患者番号を1件置き換えました\n");
  EXPECT_EQ(ListFiles(out), std::vector<std::string>{"K_2R.UKE"});
}

TEST_F(ReplaceCli, StoppingMessages) {
  const std::string def = Put("def.csv", "1,9\r\n");
  const std::string broken = Put("B.UKE", "IR,1\r\nRE,1\r\n");
  const std::string kokuho = Put("K.UKE", "IR,2\r\n");
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"--mode", "2", "--definition", (in / "none.csv").string(), broken, kokuho},
       "警告: 変更定義ファイルがファイルがありません。\n"},
      {{"--mode", "2", "--definition", def, broken, kokuho},
       "エラー: リストのインデックスが範囲を超えています (13)\n"},
      {{"--mode", "1", "--definition", def, Put("e.txt", "")},
       "警告: 「" + (in / "e.txt").string() + "」にはデータがありません。\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.err);
    std::vector<std::string> args = {"replace", "--out-dir", out.string(), "--no-history"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
  }
  EXPECT_TRUE(ListFiles(out).empty());
}

TEST_F(ReplaceCli, UsageErrors) {
  const std::string def = Put("def.csv", "1,9\r\n");
  const std::string file = Put("a.txt", "A\t1\r\n");
  const std::vector<std::vector<std::string>> cases = {
      {"replace", "--definition", def, "--out-dir", out.string(), file},
      {"replace", "--mode", "3", "--definition", def, "--out-dir", out.string(), file},
      {"replace", "--mode", "1", "--out-dir", out.string(), file},
      {"replace", "--mode", "1", "--definition", def, file},
      {"replace", "--mode", "1", "--definition", def, "--out-dir", out.string(), file, file},
      {"replace", "--mode", "2", "--definition", def, "--out-dir", out.string(), file},
  };
  for (const auto& args : cases) {
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.exitCode, 2) << args.size();
  }
  EXPECT_TRUE(ListFiles(out).empty());
}

}  // namespace
}  // namespace tavo::test

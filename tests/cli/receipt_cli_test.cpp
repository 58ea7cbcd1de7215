// tavo-cli branch-removal and anonymize, end to end.
#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/files.h"
#include "support/test_util.h"

namespace tavo::test {
namespace {

class ReceiptCli : public ::testing::Test {
 protected:
  std::string In(const std::string& name, const std::string& bytes) {
    WriteBytes(dir_ / name, bytes);
    return (dir_ / name).string();
  }
  // UTF-8 as tavo-cli prints it; OutPath for reading, since a narrow path string is
  // read in the ANSI code page on Windows.
  std::string Out(const std::string& name) const { return OutPath(name).string(); }
  fs::path OutPath(const std::string& name) const { return out_ / PathFromText(T(name)); }

  TempDir dir_;
  fs::path out_ = dir_ / "out";
  std::string outDir_ = (fs::create_directories(out_), out_.string());
};

TEST_F(ReceiptCli, BranchRemovalOfBothFiles) {
  const std::string shaho = In("shaho.UKE", Fixture("receipt/shaho.UKE"));
  const std::string kokuho = In("kokuho.UKE", "IR,2,13,1,1,,x,202604,00,0\r\nSY,1\r\n");
  const CliRun run = RunCli({"branch-removal", "--out-dir", outDir_, shaho, kokuho});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err,
            "情報: 社保：RE 2件を読み、患者番号 2件を変更しました\n"
            "情報: 国保：RE 0件を読み、患者番号 0件を変更しました\n");
  EXPECT_EQ(run.out, Out("(202604提出_社保)RECEIPTC.uke") + "\n" +
                         Out("(202604提出_国保)RECEIPTC.uke") + "\n");
  EXPECT_EQ(ReadBytes(OutPath("(202604提出_社保)RECEIPTC.uke")),
            Fixture("receipt/shaho_branch_mode0.expected"));
  EXPECT_EQ(ReadBytes(OutPath("(202604提出_国保)RECEIPTC.uke")),
            "IR,2,13,1,1,,x,202604,00,0\r\nSY,1\r\n");
}

TEST_F(ReceiptCli, BranchRemovalMode1TakesThePositionTexts) {
  const std::string file = In("a.UKE", "RE,1,2,3,4,5,6,7,8,9,10,11,12,0012345678,x\r\n");
  const CliRun run = RunCli(
      {"branch-removal", "--mode", "1", "--from", " 3", "--to", "6 ", "--out-dir", outDir_, file});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadBytes(OutPath("(提出_社保)RECEIPTC.uke")),
            "RE,1,2,3,4,5,6,7,8,9,10,11,12,1234,x\r\n");
}

TEST_F(ReceiptCli, MessagesAndStops) {
  const std::string good = In("good.UKE", "IR,1,13,1,1,,x,202604,00,0\r\n");
  const std::string sameMonth = In("same.UKE", "IR,1,13,1,1,,x,202604,00,0\r\nSY,2\r\n");
  const std::string branchCounts = "情報: 社保：RE 0件を読み、患者番号 0件を変更しました\n";
  auto sameName = [&](const std::string& name) {
    return "警告: 「" + sameMonth + "」の変換後のファイル名「" + name + "」が「" + good +
           "」の変換後のファイルと同じになるため、作成しません。\n";
  };
  const std::string shortRe = In("short.UKE", "RE,1,2\r\n");
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
    std::vector<std::string> outputs;
  };
  const Case cases[] = {
      // A missing file is warned about; the next file is still run.
      {{"branch-removal", "--out-dir", outDir_, (dir_ / "none.UKE").string(), good},
       0,
       "警告: ファイルがありません。\n" + branchCounts,
       {"(202604提出_社保)RECEIPTC.uke"}},
      // Position warnings, once per file.
      {{"branch-removal", "--mode", "1", "--to", "5", "--out-dir", outDir_, good, good},
       1,
       "警告: 値が空欄です\n警告: 値が空欄です\n",
       {}},
      {{"branch-removal", "--mode", "1", "--from", "x", "--to", "5", "--out-dir", outDir_, good},
       1,
       "警告: 正しい数字を入力して下さい\n",
       {}},
      // Positions that would empty every patient number.
      {{"branch-removal", "--mode", "1", "--from", "3", "--to", "2", "--out-dir", outDir_, good},
       1,
       "警告: 正しい数字を入力して下さい\n",
       {}},
      {{"branch-removal", "--mode", "1", "--from", "-1", "--to", "5", "--out-dir", outDir_, good},
       1,
       "警告: 正しい数字を入力して下さい\n",
       {}},
      // Two files of one month and kind: the first output stays, the second is not written.
      {{"branch-removal", "--out-dir", outDir_, good, sameMonth},
       0,
       branchCounts + sameName("(202604提出_社保)RECEIPTC.uke"),
       {"(202604提出_社保)RECEIPTC.uke"}},
      {{"anonymize", "--out-dir", outDir_, good, sameMonth},
       0,
       "情報: 社保：患者名 0件をダミーに置き換え、SJ・CO 0行を除きました\n" + sameName("202604_1.UKE"),
       {"202604_1.UKE"}},
      // An index error ends the command: the next file is not run.
      {{"branch-removal", "--out-dir", outDir_, shortRe, good},
       1,
       "エラー: リストのインデックスが範囲を超えています (13)\n",
       {}},
      {{"anonymize", "--out-dir", outDir_, shortRe, good},
       1,
       "エラー: リストのインデックスが範囲を超えています (4)\n",
       {}},
  };
  for (const auto& c : cases) {
    fs::remove_all(out_);
    fs::create_directories(out_);
    const CliRun run = RunCli(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args[0] << " " << c.err;
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(ListFiles(out_), c.outputs) << c.err;
  }
  // The first output stays when the second file would give the same name.
  RunCli({"anonymize", "--out-dir", outDir_, good, sameMonth});
  EXPECT_EQ(ReadBytes(OutPath("202604_1.UKE")),
            Sjis("IR,1,13,1,0123456,,NIVAクリニック,202604,00,012-345-6789\r\n"));
}

TEST_F(ReceiptCli, InputInTheOutputFolderUnderTheOutputNameIsKept) {
  const std::string bytes = "IR,1,13,1,1,,x,202604,00,0\r\nSJ,keep\r\n";
  for (const char* cmd : {"anonymize", "branch-removal"}) {
    const std::string name =
        std::string(cmd) == "anonymize" ? "202604_1.UKE" : "(202604提出_社保)RECEIPTC.uke";
    WriteBytes(OutPath(name), bytes);
    const CliRun run = RunCli({cmd, "--out-dir", outDir_, Out(name)});
    EXPECT_EQ(run.exitCode, 1) << cmd;
    EXPECT_EQ(run.err, "警告: 変換後のファイル名「" + name +
                           "」が変換前のファイルと同じになるため、作成しません。\n");
    EXPECT_EQ(ReadBytes(OutPath(name)), bytes) << cmd;
    EXPECT_EQ(ListFiles(out_), std::vector<std::string>{name});
    fs::remove(OutPath(name));
  }
}

TEST_F(ReceiptCli, Anonymize) {
  const std::string file = In("k.UKE", Sjis("IR,2,13,1,9999999,,山田医院,202604,00,0311112222\r\n"
                                            "RE,,1112,202604,山田　花子,1\r\n"
                                            "CO,22,2,810000001,疼痛時\r\nGO,1\r\n"));
  const CliRun run = RunCli({"anonymize", "--out-dir", outDir_, file});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, Out("202604_2.UKE") + "\n");
  EXPECT_EQ(ReadBytes(OutPath("202604_2.UKE")),
            Sjis("IR,2,13,1,0123456,,NIVAクリニック,202604,00,012-345-6789\r\n"
                 "RE,,1112,202604,テスト国,1\r\nGO,1\r\n"));
}

TEST_F(ReceiptCli, UsageErrors) {
  const std::string file = In("a.UKE", "SY,1\r\n");
  const std::vector<std::vector<std::string>> cases = {
      {"branch-removal", file},
      {"branch-removal", "--out-dir", outDir_},
      {"branch-removal", "--mode", "2", "--out-dir", outDir_, file},
      {"branch-removal", "--bogus", "1", "--out-dir", outDir_, file},
      {"anonymize", file},
      {"anonymize", "--out-dir", outDir_},
  };
  for (const auto& args : cases) {
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.exitCode, 2) << args[1];
  }
  EXPECT_TRUE(ListFiles(out_).empty());
}

}  // namespace
}  // namespace tavo::test

// tavo-cli on Windows: Japanese file and folder names given on the command line
// reach the file system, whatever the ANSI code page of the machine.
#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/files.h"
#include "support/test_util.h"

namespace tavo::test {
namespace {

fs::path Wide(const char* utf8) { return PathFromText(T(utf8)); }
std::string Utf8(const fs::path& path) { return ToUtf8(PathText(path)); }

TEST(WindowsCli, JapaneseNamesInArguments) {
  TempDir tmp;
  const fs::path in = tmp.path() / Wide("受付 データ");
  const fs::path out = tmp.path() / Wide("出力 フォルダ");
  fs::create_directories(in);
  fs::create_directories(out);
  const fs::path file = in / Wide("社保 ２０２６年.UKE");
  WriteBytes(file, "IR,1,13,1,1,,x,202604,00,0\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,123-4,x\r\n");

  const CliRun run = RunCli({"branch-removal", "--out-dir", Utf8(out), Utf8(file)});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "情報: 社保：RE 1件を読み、患者番号 1件を変更しました\n");
  const fs::path written = out / Wide("(202604提出_社保)RECEIPTC.uke");
  // Written paths come back in UTF-8, one per line, LF only.
  EXPECT_EQ(run.out, Utf8(written) + "\n");
  EXPECT_EQ(ReadBytes(written),
            "IR,1,13,1,1,,x,202604,00,0\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,123,x\r\n");
}

}  // namespace
}  // namespace tavo::test

// The command line of tavo-cli as a whole: help, version, the --name=value form,
// and the parser's own refusals, which are usage errors like every other.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/files.h"
#include "support/run_text.h"
#include "support/test_util.h"

namespace tavo::test {
namespace {

TEST(ParserCli, HelpOfEveryCommandListsItsOptions) {
  struct Case {
    const char* command;
    std::vector<const char*> options;
  };
  const Case cases[] = {
      {"branch-removal", {"--mode 0|1|-1", "--from N", "--to N", "--out-dir DIR", "FILE"}},
      {"anonymize", {"--out-dir DIR", "FILE"}},
      {"convert1", {"--out-dir DIR", "FILE"}},
      {"convert2", {"--niva-ff1-dir DIR", "--out-dir DIR", "FILE"}},
      {"anonymize-ff", {"--out-dir DIR", "FILE"}},
      {"ff1-link",
       {"--ff1-dir DIR", "--spec FILE", "--year-month YYYYMM", "--append FILE", "--out-dir DIR"}},
      {"replace", {"--mode 1|2", "--definition FILE", "--out-dir DIR", "FILE"}},
      {"postal", {"--year YY", "--month MM", "--definition FILE", "--out-dir DIR", "FILE"}},
      {"checkup", {"--year YY", "--month MM", "--additional FILE", "--out-dir DIR", "FILE"}},
  };
  const CliRun all = RunCli({"--help"});
  EXPECT_EQ(all.exitCode, 0);
  EXPECT_EQ(all.err, "");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_NE(Lf(all.out).find(std::string("\n  ") + c.command + " "), std::string::npos);
    const CliRun run = RunCli({c.command, "--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    const std::string out = Lf(run.out);
    EXPECT_NE(out.find(std::string("Usage: tavo-cli ") + c.command + " [OPTIONS]"),
              std::string::npos)
        << out;
    for (const char* option : c.options) {
      // One line per option: its name, its value, its description.
      EXPECT_NE(out.find(std::string("\n  ") + option + " "), std::string::npos) << option;
    }
  }
}

TEST(ParserCli, Version) {
  const CliRun run = RunCli({"--version"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(Lf(run.out), std::string("tavo-cli ") + TAVO_VERSION + "\n");
}

TEST(ParserCli, NameEqualsValue) {
  TempDir dir;
  WriteBytes(dir / "a.UKE",
             "IR,1,13,1,1,,x,202604,00,0\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,123-4,x\r\n");
  const fs::path out = dir / "out";
  fs::create_directories(out);
  const fs::path written = out / PathFromText(T("(202604提出_社保)RECEIPTC.uke"));
  struct Case {
    std::vector<std::string> options;
    std::string patientNumber;
  };
  const Case cases[] = {
      {{"--mode=-1"}, "123-4"},
      {{"--mode", "-1"}, "123-4"},
      {{"--mode=1", "--from=2", "--to= 3"}, "23"},
      {{"--mode=0"}, "123"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options[0]);
    std::vector<std::string> args = {"branch-removal"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.insert(args.end(), {"--out-dir=" + PathArg(out), PathArg(dir / "a.UKE")});
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lf(run.out), PathArg(written) + "\n");
    EXPECT_EQ(ReadBytes(written), "IR,1,13,1,1,,x,202604,00,0\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12," +
                                      c.patientNumber + ",x\r\n");
  }
}

TEST(ParserCli, ParserRefusalsAreUsageErrors) {
  TempDir dir;
  WriteBytes(dir / "a.UKE", "IR,1,13,1,1,,x,202604,00,0\r\n");
  const std::string file = PathArg(dir / "a.UKE");
  const std::string out = PathArg(dir.path());
  struct Case {
    std::vector<std::string> args;
    std::string errStart;
  };
  const Case cases[] = {
      {{}, "tavo-cli: "},
      {{"bogus", file}, "tavo-cli: unknown command bogus"},
      {{"--bogus"}, "tavo-cli: "},
      {{"anonymize", "--out-dir"}, "tavo-cli anonymize: --out-dir"},
      {{"anonymize", "--out-dir", out, "--out-dir", out, file}, "tavo-cli anonymize: --out-dir"},
      {{"anonymize", "--mode", "1", "--out-dir", out, file}, "tavo-cli anonymize: "},
      {{"anonymize", "--out-dir", out}, "tavo-cli anonymize: FILE"},
      {{"branch-removal", "--mode", "01", "--out-dir", out, file},
       "tavo-cli branch-removal: --mode"},
      {{"branch-removal", "--mode=", "--out-dir", out, file}, "tavo-cli branch-removal: --mode"},
      {{"postal", "--year", "08", "--out-dir", out, file}, "tavo-cli postal: --month"},
      {{"ff1-link", "--ff1-dir", out, "--year-month", "2024-05", "--out-dir", out},
       "tavo-cli ff1-link: --year-month: '2024-05'"},
      {{"ff1-link", "--ff1-dir", out, "--year-month", "202413", "--out-dir", out},
       "tavo-cli ff1-link: --year-month: '202413'"},
      {{"replace", "--mode", "2", "--definition", file, "--out-dir", out, file},
       "tavo-cli replace: FILE: --mode 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.errStart);
    const CliRun run = RunCli(c.args);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Lf(run.err).rfind(c.errStart, 0), 0u) << run.err;
  }
  EXPECT_EQ(ListFiles(dir.path()), std::vector<std::string>{"a.UKE"});
}

}  // namespace
}  // namespace tavo::test

// --year and --month of postal and checkup. The runs join the two texts before
// they read them, so "8" and "006" would make 2098-06 and "0" and "806" 2026-06:
// the parser takes only a Reiwa year of one or two digits and a month 1 to 12,
// and refuses anything else as a usage error that names the option.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/files.h"
#include "support/run_text.h"
#include "support/test_util.h"

namespace tavo::test {
namespace {

struct TargetMonthCommand {
  const char* name;
  std::string input;
  const char* outputSuffix;  // after YYYYMM
};

// Each command with an input that gives an output for every month of the good cases.
class TargetMonthCli : public ::testing::Test {
 protected:
  std::vector<TargetMonthCommand> Commands() {
    const fs::path checkups = dir_ / "checkups.csv";
    WriteBytes(checkups,
               "患者番号,氏名,性別,特定健診受診年月,年齢,x\r\n"
               "1,甲,1,202512,50,x\r\n2,乙,1,202606,50,x\r\n3,丙,1,202801,50,x\r\n");
    return {{"postal", PathArg(FixturePath("postal/output.csv")), "_postcode.csv"},
            {"checkup", PathArg(checkups), "_carte_特定健診.csv"}};
  }
  CliRun Run(const TargetMonthCommand& c, const std::vector<std::string>& options) {
    std::vector<std::string> args = {c.name};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {"--out-dir", PathArg(out_), c.input});
    return RunCli(args);
  }

  TempDir dir_;
  fs::path out_ = dir_ / "out";
  bool made_ = fs::create_directories(out_);
};

TEST_F(TargetMonthCli, RefusesWhatTheBoxesNeverOffer) {
  struct Case {
    const char* option;
    const char* year;
    const char* month;
  };
  const Case cases[] = {
      {"--month", "08", "006"}, {"--month", "08", "806"}, {"--month", "08", "0"},
      {"--month", "08", "00"},  {"--month", "08", "13"},  {"--month", "8", "006"},
      {"--month", "08", ""},    {"--month", "08", "x"},   {"--month", "08", "-6"},
      {"--month", "08", "+6"},  {"--month", "08", "６"},  {"--year", "123", "06"},
      {"--year", "-1", "06"},   {"--year", "x", "06"},    {"--year", "", "06"},
      {"--year", "0", "06"},    {"--year", "00", "06"},   {"--year", "008", "6"},
  };
  for (const auto& command : Commands()) {
    for (const Case& c : cases) {
      const std::string value = std::string(c.option) == "--year" ? c.year : c.month;
      SCOPED_TRACE(std::string(command.name) + " " + c.option + " '" + value + "'");
      const CliRun run = Run(command, {"--year", c.year, "--month", c.month});
      EXPECT_EQ(run.exitCode, 2);
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(
          Lf(run.err).rfind(
              std::string("tavo-cli ") + command.name + ": " + c.option + ": '" + value + "'", 0),
          0u)
          << run.err;
      EXPECT_TRUE(ListFiles(out_).empty());
    }
  }
}

TEST_F(TargetMonthCli, TakesTheMonthsTheBoxesOffer) {
  struct Case {
    std::vector<std::string> options;
    const char* yyyymm;
  };
  const Case cases[] = {
      {{"--year", "08", "--month", "06"}, "202606"},
      {{"--year", "07", "--month", "12"}, "202512"},
      {{"--year", "10", "--month", "01"}, "202801"},
      {{"--year", " 08", "--month", "06 "}, "202606"},  // the runs trim the box texts
      {{"--year=08", "--month=06"}, "202606"},
  };
  for (const auto& command : Commands()) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(command.name) + " " + c.options[0] + " " + c.options.back());
      fs::remove_all(out_);
      fs::create_directories(out_);
      const CliRun run = Run(command, c.options);
      EXPECT_EQ(run.exitCode, 0) << run.err;
      // The runs' counts come as 情報 lines; no warning, no error.
      EXPECT_EQ(Lf(run.err).find("警告: "), std::string::npos) << run.err;
      EXPECT_EQ(Lf(run.err).find("エラー: "), std::string::npos) << run.err;
      const fs::path written = out_ / PathFromText(T(std::string(c.yyyymm) + command.outputSuffix));
      EXPECT_EQ(Lf(run.out), PathArg(written) + "\n");
      EXPECT_TRUE(fs::exists(written));
    }
  }
}

}  // namespace
}  // namespace tavo::test

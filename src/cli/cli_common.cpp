#include "cli/cli_common.h"

#include <iostream>
#include <string_view>

#include "core/errors.h"
#include "core/files.h"
#include "core/run_history.h"

namespace tavo::cli {

namespace {

// Where the history goes: the --out-dir of the command, unless --no-history.
std::filesystem::path g_historyDir;
bool g_noHistory = false;

// Blanks around a value are dropped, as the runs trim the texts of their boxes.
std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 0x20) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20) s.remove_suffix(1);
  return s;
}

// The value of one or two ASCII digits, or -1.
int SmallNumber(std::string_view s) {
  if (s.empty() || s.size() > 2) return -1;
  int value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

bool IsMonth(std::string_view s) {
  const int m = SmallNumber(s);
  return m >= 1 && m <= 12;
}

// A check that refuses a value with "'VALUE' is not WHAT"; CLI11 puts the
// option's name in front.
CLI::Validator Refusing(bool (*accepts)(std::string_view), const char* what) {
  return CLI::Validator(
      [accepts, what](std::string& value) {
        return accepts(TrimBlanks(value)) ? std::string()
                                          : "'" + value + "' is not " + std::string(what);
      },
      "");
}

}  // namespace

const CLI::Validator& EraYear() {
  static const CLI::Validator check = Refusing(
      [](std::string_view s) { return SmallNumber(s) >= 1; }, "a Reiwa year of one or two digits");
  return check;
}

const CLI::Validator& Month() {
  static const CLI::Validator check = Refusing(IsMonth, "a month from 1 to 12");
  return check;
}

const CLI::Validator& YearMonth() {
  static const CLI::Validator check = Refusing(
      [](std::string_view s) {
        if (s.empty()) return true;
        if (s.size() != 6) return false;
        for (char c : s.substr(0, 4))
          if (c < '0' || c > '9') return false;
        return IsMonth(s.substr(4));
      },
      "a year-month YYYYMM");
  return check;
}

CLI::Option* AddOutDir(CLI::App& command, std::string& outDir, const char* description) {
  command.add_flag("--no-history", g_noHistory, "append no line to 実行履歴.csv in --out-dir");
  return command.add_option("--out-dir", outDir, description)->required()->type_name("DIR");
}

void AddTargetMonth(CLI::App& command, std::string& year, std::string& month) {
  command
      .add_option("--year", year, "Reiwa year of the target month, one or two digits: 08 for 2026")
      ->required()
      ->type_name("YY")
      ->check(EraYear());
  command.add_option("--month", month, "month of the target month, 1 to 12")
      ->required()
      ->type_name("MM")
      ->check(Month());
}

void PrintMessage(const Message& m) {
  const char* prefix = m.kind == MsgKind::Warning ? "警告: "
                       : m.kind == MsgKind::Info  ? "情報: "
                                                  : "エラー: ";
  std::cerr << prefix << ToUtf8(m.text) << std::endl;
}

int Report(const RunResult& result) { return Report(std::vector<RunResult>{result}); }

int Report(const std::vector<RunResult>& results) {
  bool wrote = false;
  bool stopped = false;
  for (const auto& r : results) {
    for (const auto& m : r.messages) PrintMessage(m);
    for (const auto& c : r.counts) PrintMessage({MsgKind::Info, c});
    stopped = stopped || r.stopped;
    if (!g_noHistory && !g_historyDir.empty()) RecordRun(g_historyDir, r);
  }
  for (const auto& r : results) {
    for (const auto& f : r.written) {
      std::cout << ToUtf8(PathText(f)) << "\n";
      wrote = true;
    }
  }
  std::cout.flush();
  return (wrote && !stopped) ? kExitOk : kExitStopped;
}

Env CliEnv(const std::string& outDir) {
  Env env = DetectEnv();
  env.programDir = std::filesystem::absolute(PathFromText(ArgText(outDir)));
  g_historyDir = env.programDir;
  return env;
}

Text ArgText(const std::string& arg) { return FromUtf8(arg); }

}  // namespace tavo::cli

#include "cli/cli_common.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "core/errors.h"
#include "core/files.h"

namespace tavo::cli {

std::optional<std::string> Args::Get(const std::string& name) const {
  const auto it = options.find(name);
  if (it == options.end()) return std::nullopt;
  return it->second;
}

std::optional<Args> ParseArgs(const std::vector<std::string>& argv,
                              const std::vector<std::string>& knownOptions) {
  Args args;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (a.size() > 2 && a.rfind("--", 0) == 0) {
      const std::string name = a.substr(2);
      if (std::find(knownOptions.begin(), knownOptions.end(), name) == knownOptions.end()) {
        UsageError("unknown option " + a);
        return std::nullopt;
      }
      if (i + 1 >= argv.size()) {
        UsageError("option " + a + " needs a value");
        return std::nullopt;
      }
      args.options[name] = argv[++i];
    } else {
      args.positional.push_back(a);
    }
  }
  return args;
}

int UsageError(const std::string& text) {
  std::cerr << "tavo-cli: " << text << "\n(tavo-cli --help lists the commands)" << std::endl;
  return kExitUsage;
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
    stopped = stopped || r.stopped;
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
  return env;
}

Text ArgText(const std::string& arg) { return FromUtf8(arg); }

}  // namespace tavo::cli

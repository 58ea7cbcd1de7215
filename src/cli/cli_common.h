// Shared plumbing of tavo-cli: argument reading and the reporting contract.
//   stderr: one line per message, "警告: …", "情報: …", "エラー: …"
//   stdout: the name of every written file, one per line
//   exit:   0 wrote its outputs, 1 a message stopped it, 2 usage error
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/env.h"
#include "core/result.h"

namespace tavo::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitStopped = 1;
inline constexpr int kExitUsage = 2;

// Parsed "--name value" options and positional arguments.
struct Args {
  std::map<std::string, std::string> options;
  std::vector<std::string> positional;

  bool Has(const std::string& name) const { return options.count(name) != 0; }
  std::optional<std::string> Get(const std::string& name) const;
};

// Splits argv: every "--name" takes the next argument as its value. Returns
// nullopt (after printing to stderr) on an unknown option or a missing value.
std::optional<Args> ParseArgs(const std::vector<std::string>& argv,
                              const std::vector<std::string>& knownOptions);

// Prints the usage error and returns kExitUsage.
int UsageError(const std::string& text);

// Writes one message line to stderr with its prefix.
void PrintMessage(const Message& m);
// Prints all messages and written files; returns 0 when files were written, else 1.
int Report(const RunResult& result);
// Same for several runs of one command (every run's messages, then the files).
int Report(const std::vector<RunResult>& results);

// The environment of the command: --out-dir stands for the program folder.
Env CliEnv(const std::string& outDir);

// Text from a command-line argument (UTF-8 on POSIX, converted on Windows).
Text ArgText(const std::string& arg);

}  // namespace tavo::cli

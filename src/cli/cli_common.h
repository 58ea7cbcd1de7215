// Shared plumbing of tavo-cli: the options every command shares and the
// reporting contract.
//   stderr: one line per message, "警告: …", "情報: …", "エラー: …"
//   stdout: the name of every written file, one per line
//   exit:   0 wrote its outputs, 1 a message stopped it, 2 usage error
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "core/env.h"
#include "core/result.h"

namespace tavo::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitStopped = 1;
inline constexpr int kExitUsage = 2;

// --out-dir DIR, required by every command.
CLI::Option* AddOutDir(CLI::App& command, std::string& outDir,
                       const char* description =
                           "stands for the program folder: "
                           "outputs are written there");

// The input file or files of a command, given without an option name; required.
template <typename Files>
CLI::Option* AddInputs(CLI::App& command, Files& files, const char* description) {
  return command.add_option("FILE", files, description)->required()->type_name("");
}

// --year YY and --month MM, both required: the target month as the year and
// month boxes of the postal-code and health-checkup windows hold it. The texts go
// to the run as typed; the parser refuses what those boxes never offer.
void AddTargetMonth(CLI::App& command, std::string& year, std::string& month);

// Checks of option values; an empty description keeps the help line short.
const CLI::Validator& EraYear();    // a Reiwa year of one or two digits
const CLI::Validator& Month();      // a month of one or two digits, 1 to 12
const CLI::Validator& YearMonth();  // YYYYMM, or blank (the run asks for one)

// Writes one message line to stderr with its prefix.
void PrintMessage(const Message& m);
// Prints all messages and written files; returns 0 when files were written, else 1.
int Report(const RunResult& result);
// Same for several runs of one command (every run's messages, then the files).
int Report(const std::vector<RunResult>& results);

// The environment of the command: --out-dir stands for the program folder.
Env CliEnv(const std::string& outDir);

// Text from a command-line argument (UTF-8; main converts the Windows command line).
Text ArgText(const std::string& arg);

}  // namespace tavo::cli

#include <iostream>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "postal/postal_ops.h"

namespace tavo::cli {

// postal --year YY --month MM [--definition FILE] --out-dir DIR FILE
// The form of FILE (OUTPUT or intermediate file) comes from its first line.
int CmdPostal(const Argv& argv) {
  const auto args = ParseArgs(argv, {"year", "month", "definition", "out-dir"});
  if (!args) return kExitUsage;
  const auto year = args->Get("year");
  const auto month = args->Get("month");
  const auto outDir = args->Get("out-dir");
  if (!year || !month) return UsageError("postal needs --year YY and --month MM");
  if (!outDir) return UsageError("postal needs --out-dir DIR");
  if (args->positional.size() != 1) return UsageError("postal takes one input file");
  const Env env = CliEnv(*outDir);
  postal::TTextFileFormat form;
  const RunResult result =
      postal::RunFile(env, ArgText(*year), ArgText(*month), ArgText(args->positional[0]),
                      ArgText(args->Get("definition").value_or("")), form);
  if (result.messages.empty() && !result.wrote() && form == postal::TTextFileFormat::tfUnknown) {
    std::cerr << "postal: the first line of the file holds neither commas nor tabs; "
                 "nothing was converted\n";
  }
  return Report(result);
}

}  // namespace tavo::cli

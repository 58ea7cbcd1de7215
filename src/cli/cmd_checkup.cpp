#include "checkup/checkup_ops.h"
#include "cli/cli_common.h"
#include "cli/commands.h"

namespace tavo::cli {

// checkup --year YY --month MM [--additional FILE] --out-dir DIR FILE
int CmdCheckup(const Argv& argv) {
  const auto args = ParseArgs(argv, {"year", "month", "additional", "out-dir"});
  if (!args) return kExitUsage;
  const auto year = args->Get("year");
  const auto month = args->Get("month");
  const auto outDir = args->Get("out-dir");
  if (!year || !month) return UsageError("checkup needs --year YY and --month MM");
  if (!outDir) return UsageError("checkup needs --out-dir DIR");
  if (args->positional.size() != 1) {
    return UsageError("checkup takes one health-checkup month file");
  }
  const Env env = CliEnv(*outDir);
  return Report(checkup::Cnv(env, ArgText(*year), ArgText(*month), ArgText(args->positional[0]),
                             ArgText(args->Get("additional").value_or(""))));
}

}  // namespace tavo::cli

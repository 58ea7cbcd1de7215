#include "cli/cli_common.h"
#include "cli/commands.h"
#include "replace/replace_ops.h"

namespace tavo::cli {

// replace --mode 1 --definition FILE --out-dir DIR FILE
// replace --mode 2 --definition FILE --out-dir DIR SHAHO_FILE KOKUHO_FILE
int CmdReplace(const Argv& argv) {
  const auto args = ParseArgs(argv, {"mode", "definition", "out-dir"});
  if (!args) return kExitUsage;
  const auto mode = args->Get("mode");
  const auto definition = args->Get("definition");
  const auto outDir = args->Get("out-dir");
  if (!mode || (*mode != "1" && *mode != "2")) return UsageError("replace needs --mode 1 or 2");
  if (!definition) return UsageError("replace needs --definition FILE");
  if (!outDir) return UsageError("replace needs --out-dir DIR");
  const Env env = CliEnv(*outDir);
  const auto& files = args->positional;
  if (*mode == "1") {
    if (files.size() != 1) return UsageError("replace --mode 1 takes one outpatient file");
    return Report(replace::RunMode1(env, ArgText(*definition), ArgText(files[0])));
  }
  if (files.size() != 2) {
    return UsageError("replace --mode 2 takes the 社保 file and the 国保 file");
  }
  return Report(replace::RunMode2(env, ArgText(*definition), ArgText(files[0]), ArgText(files[1])));
}

}  // namespace tavo::cli

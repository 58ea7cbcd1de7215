#include "cli/cli_common.h"
#include "cli/commands.h"
#include "receipt/receipt_ops.h"

namespace tavo::cli {

namespace {

// Runs each file in order like the main window's button, as one click: an
// error that ends the click (a record too short, a file that cannot be read or
// written) also ends the command, and no run replaces an earlier one's output.
template <typename Run>
int RunFiles(const std::vector<std::string>& files, Run&& run) {
  std::vector<RunResult> results;
  ClickOutputs click;
  for (const std::string& file : files) {
    results.push_back(run(ArgText(file), click));
    if (results.back().stopped) break;
  }
  return Report(results);
}

}  // namespace

// branch-removal [--mode 0|1] [--from N --to N] --out-dir DIR FILE...
// --from and --to are the texts of the two position boxes, as typed.
int CmdBranchRemoval(const Argv& argv) {
  const auto args = ParseArgs(argv, {"mode", "from", "to", "out-dir"});
  if (!args) return kExitUsage;
  const auto outDir = args->Get("out-dir");
  if (!outDir) return UsageError("branch-removal needs --out-dir DIR");
  if (args->positional.empty()) return UsageError("branch-removal needs at least one FILE");
  receipt::BranchOptions options;
  const std::string mode = args->Get("mode").value_or("0");
  if (mode == "0") {
    options.mode = 0;
  } else if (mode == "1") {
    options.mode = 1;
  } else if (mode == "-1") {
    options.mode = -1;  // no item selected: patient numbers stay as they are
  } else {
    return UsageError("branch-removal: --mode is 0, 1 or -1");
  }
  options.fromText = ArgText(args->Get("from").value_or(""));
  options.toText = ArgText(args->Get("to").value_or(""));
  const Env env = CliEnv(*outDir);
  return RunFiles(args->positional,
                  [&](const Text& file, ClickOutputs& click) {
                    return receipt::Conv2(env, file, options, &click);
                  });
}

// anonymize --out-dir DIR FILE...
int CmdAnonymize(const Argv& argv) {
  const auto args = ParseArgs(argv, {"out-dir"});
  if (!args) return kExitUsage;
  const auto outDir = args->Get("out-dir");
  if (!outDir) return UsageError("anonymize needs --out-dir DIR");
  if (args->positional.empty()) return UsageError("anonymize needs at least one FILE");
  const Env env = CliEnv(*outDir);
  return RunFiles(args->positional, [&](const Text& file, ClickOutputs& click) {
    return receipt::Conv(env, file, &click);
  });
}

}  // namespace tavo::cli

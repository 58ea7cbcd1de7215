#include "cli/cli_common.h"
#include "cli/commands.h"
#include "linkage/convert1.h"
#include "linkage/convert2.h"
#include "core/files.h"

namespace tavo::cli {

namespace {

// Reads --out-dir and the one input file of a linkage command.
std::optional<Args> LinkageArgs(const Argv& argv, const char* command,
                                const std::vector<std::string>& extra = {}) {
  std::vector<std::string> known = {"out-dir"};
  known.insert(known.end(), extra.begin(), extra.end());
  auto args = ParseArgs(argv, known);
  if (!args) return std::nullopt;
  if (!args->Get("out-dir") || args->positional.size() != 1) {
    UsageError(std::string(command) + " needs --out-dir DIR and one FILE");
    return std::nullopt;
  }
  return args;
}

}  // namespace

// convert1 --out-dir DIR FILE
int CmdConvert1(const Argv& argv) {
  const auto args = LinkageArgs(argv, "convert1");
  if (!args) return kExitUsage;
  const Env env = CliEnv(*args->Get("out-dir"));
  return Report(linkage::Cnv(env, ArgText(args->positional[0])));
}

// convert2 --out-dir DIR [--niva-ff1-dir DIR] FILE
// The year-month comes from line 2 of the file, as the window's selection reads it.
int CmdConvert2(const Argv& argv) {
  const auto args = LinkageArgs(argv, "convert2", {"niva-ff1-dir"});
  if (!args) return kExitUsage;
  Env env = CliEnv(*args->Get("out-dir"));
  if (const auto ff1 = args->Get("niva-ff1-dir")) env.nivaFf1Dir = PathFromText(ArgText(*ff1));
  const Text file = ArgText(args->positional[0]);
  const linkage::Selection selection = linkage::SelectFile2(file);
  if (!selection.hasNgt) {
    RunResult stopped = selection.messages;
    stopped.stopped = true;
    return Report(stopped);
  }
  return Report(linkage::Conv2(env, file, selection.ngt));
}

// anonymize-ff --out-dir DIR FILE
int CmdAnonymizeFf(const Argv& argv) {
  const auto args = LinkageArgs(argv, "anonymize-ff");
  if (!args) return kExitUsage;
  const Env env = CliEnv(*args->Get("out-dir"));
  return Report(linkage::Anonymize(env, ArgText(args->positional[0])));
}

}  // namespace tavo::cli

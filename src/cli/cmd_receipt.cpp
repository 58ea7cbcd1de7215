#include <memory>

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

struct Options {
  std::string outDir;
  std::vector<std::string> files;
};

void AddReceiptFiles(CLI::App& cmd, Options& o) {
  AddOutDir(cmd, o.outDir);
  AddInputs(cmd, o.files, "receipt files (.UKE), run in order");
}

}  // namespace

// branch-removal [--mode 0|1|-1] [--from N --to N] --out-dir DIR FILE...
// anonymize --out-dir DIR FILE...
std::vector<Command> AddReceiptCommands(CLI::App& app) {
  struct BranchOptions : Options {
    std::string mode = "0", from, to;
  };
  auto b = std::make_shared<BranchOptions>();
  CLI::App* branch = app.add_subcommand(
      "branch-removal", "Branch-number removal from the patient numbers of receipt files");
  branch
      ->add_option("--mode", b->mode,
                   "0 cut at - / *, 1 keep the positions --from to --to, "
                   "-1 no item selected: numbers stay (default 0)")
      ->type_name("0|1|-1")
      ->check(CLI::IsMember({"0", "1", "-1"}).description(""));
  // The texts of the two position boxes, as typed: the run checks them.
  branch->add_option("--from", b->from, "first character position kept (mode 1)")->type_name("N");
  branch->add_option("--to", b->to, "last character position kept (mode 1)")->type_name("N");
  AddReceiptFiles(*branch, *b);

  auto a = std::make_shared<Options>();
  CLI::App* anonymize = app.add_subcommand(
      "anonymize", "Anonymization of receipt files: dummy clinic, patient and insurer values");
  AddReceiptFiles(*anonymize, *a);

  return {{branch,
           [b] {
             receipt::BranchOptions options;
             options.mode = std::stoi(b->mode);
             options.fromText = ArgText(b->from);
             options.toText = ArgText(b->to);
             const Env env = CliEnv(b->outDir);
             return RunFiles(b->files,
                             [&](const Text& file, ClickOutputs& click) {
                                return receipt::RemoveBranchNumbers(env, file, options, &click);
                              });
           }},
          {anonymize, [a] {
             const Env env = CliEnv(a->outDir);
             return RunFiles(a->files, [&](const Text& file, ClickOutputs& click) {
                return receipt::AnonymizeReceipt(env, file, &click);
              });
           }}};
}

}  // namespace tavo::cli

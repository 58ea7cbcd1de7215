#include <memory>
#include <utility>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "core/files.h"
#include "linkage/convert1.h"
#include "linkage/convert2.h"

namespace tavo::cli {

namespace {

struct Options {
  std::string outDir, file, nivaFf1Dir;
};

// A linkage command with its --out-dir and its one outpatient data file.
std::pair<CLI::App*, std::shared_ptr<Options>> AddLinkageCommand(CLI::App& app, const char* name,
                                                                 const char* description) {
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app.add_subcommand(name, description);
  AddOutDir(*cmd, o->outDir);
  AddInputs(*cmd, o->file, "outpatient data file (FF, tab-separated)");
  return {cmd, o};
}

}  // namespace

// convert1 --out-dir DIR FILE
// convert2 --out-dir DIR [--niva-ff1-dir DIR] FILE
// anonymize-ff --out-dir DIR FILE
std::vector<Command> AddLinkageCommands(CLI::App& app) {
  std::vector<Command> commands;

  auto [convert1, o1] = AddLinkageCommand(
      app, "convert1",
      "Converter 1: outpatient data file (positional layout) to the EHR linkage CSV");
  commands.push_back(
      {convert1, [o = o1] { return Report(linkage::Cnv(CliEnv(o->outDir), ArgText(o->file))); }});

  // The year-month comes from line 2 of the file, as the window's selection reads it.
  auto [convert2, o2] = AddLinkageCommand(
      app, "convert2",
      "Converter 2: outpatient data file to the EHR linkage CSV, layout chosen by its year-month");
  convert2
      ->add_option("--niva-ff1-dir", o2->nivaFf1Dir,
                   "NIVA's FF1 folder holding recelist.csv (default: FF1 in the NIVA data folder)")
      ->type_name("DIR");
  commands.push_back({convert2, [o = o2] {
                        Env env = CliEnv(o->outDir);
                        if (!o->nivaFf1Dir.empty())
                          env.nivaFf1Dir = PathFromText(ArgText(o->nivaFf1Dir));
                        const Text file = ArgText(o->file);
                        const linkage::Selection selection = linkage::SelectFile2(file);
                        if (!selection.hasNgt) {
                          RunResult stopped = selection.messages;
                          stopped.Describe(T("変換2"), Text(), {PathFromText(file)});
                          stopped.stopped = true;
                          return Report(stopped);
                        }
                        return Report(linkage::Conv2(env, file));
                      }});

  auto [anonymize, o3] = AddLinkageCommand(
      app, "anonymize-ff",
      "Outpatient data file anonymizer: a copy with the second column (names) blanked");
  commands.push_back({anonymize, [o = o3] {
                        return Report(linkage::Anonymize(CliEnv(o->outDir), ArgText(o->file)));
                      }});
  return commands;
}

}  // namespace tavo::cli

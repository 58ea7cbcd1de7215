#include <iostream>
#include <memory>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "postal/postal_ops.h"

namespace tavo::cli {

// postal --year YY --month MM [--definition FILE] --out-dir DIR FILE
// The form of FILE (OUTPUT or intermediate file) comes from its first line.
Command AddPostalCommand(CLI::App& app) {
  struct Options {
    std::string year, month, definition, outDir, file;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app.add_subcommand(
      "postal", "Postal-code file from an OUTPUT file or an outpatient form-1 intermediate file");
  AddTargetMonth(*cmd, o->year, o->month);
  cmd->add_option("--definition", o->definition,
                  "change-definition file (data identification numbers to patient numbers), "
                  "for an intermediate file")
      ->type_name("FILE");
  AddOutDir(*cmd, o->outDir);
  AddInputs(*cmd, o->file, "OUTPUT file (commas) or intermediate file (tabs)");

  return {cmd, [o] {
            const Env env = CliEnv(o->outDir);
            postal::TTextFileFormat form;
            const RunResult result =
                postal::RunFile(env, ArgText(o->year), ArgText(o->month), ArgText(o->file),
                                ArgText(o->definition), form);
            if (result.messages.empty() && !result.wrote() &&
                form == postal::TTextFileFormat::tfUnknown) {
              std::cerr << "postal: the first line of the file holds neither commas nor tabs; "
                           "nothing was converted\n";
            }
            return Report(result);
          }};
}

}  // namespace tavo::cli

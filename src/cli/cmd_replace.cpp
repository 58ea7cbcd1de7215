#include <memory>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "replace/replace_ops.h"

namespace tavo::cli {

// replace --mode 1 --definition FILE --out-dir DIR FILE
// replace --mode 2 --definition FILE --out-dir DIR SHAHO_FILE KOKUHO_FILE
Command AddReplaceCommand(CLI::App& app) {
  struct Options {
    std::string mode, definition, outDir;
    std::vector<std::string> files;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app.add_subcommand("replace", "Patient-number replacement");
  cmd->add_option("--mode", o->mode, "1 an outpatient file, 2 the 社保 and 国保 receipt files")
      ->required()
      ->type_name("1|2")
      ->check(CLI::IsMember({"1", "2"}).description(""));
  cmd->add_option("--definition", o->definition, "change-definition file (old and new numbers)")
      ->required()
      ->type_name("FILE");
  AddOutDir(*cmd, o->outDir);
  AddInputs(*cmd, o->files, "mode 1: the outpatient file; mode 2: SHAHO_FILE KOKUHO_FILE");
  // How many files the mode takes; refused like every other usage error.
  cmd->callback([o] {
    if (o->mode == "1" && o->files.size() != 1)
      throw CLI::ValidationError("FILE", "--mode 1 takes one outpatient file");
    if (o->mode == "2" && o->files.size() != 2)
      throw CLI::ValidationError("FILE", "--mode 2 takes the 社保 file and the 国保 file");
  });

  return {cmd, [o] {
            const Env env = CliEnv(o->outDir);
            const Text definition = ArgText(o->definition);
            if (o->mode == "1")
              return Report(replace::RunMode1(env, definition, ArgText(o->files[0])));
            return Report(
                replace::RunMode2(env, definition, ArgText(o->files[0]), ArgText(o->files[1])));
          }};
}

}  // namespace tavo::cli

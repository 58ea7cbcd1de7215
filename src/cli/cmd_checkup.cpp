#include <memory>

#include "checkup/checkup_ops.h"
#include "cli/cli_common.h"
#include "cli/commands.h"

namespace tavo::cli {

// checkup --year YY --month MM [--additional FILE] --out-dir DIR FILE
Command AddCheckupCommand(CLI::App& app) {
  struct Options {
    std::string year, month, additional, outDir, file;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app.add_subcommand("checkup", "Specific health checkup (特定健診) import");
  AddTargetMonth(*cmd, o->year, o->month);
  cmd->add_option("--additional", o->additional,
                  "additional receipt linkage file, appended after the checkup rows")
      ->type_name("FILE");
  AddOutDir(*cmd, o->outDir);
  AddInputs(*cmd, o->file, "health-checkup month file (UTF-8 CSV made by LUMA)");

  return {cmd, [o] {
            const Env env = CliEnv(o->outDir);
            return Report(checkup::Cnv(env, ArgText(o->year), ArgText(o->month), ArgText(o->file),
                                       ArgText(o->additional)));
          }};
}

}  // namespace tavo::cli

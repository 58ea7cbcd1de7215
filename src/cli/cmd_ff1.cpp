#include <memory>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "core/errors.h"
#include "core/files.h"
#include "ff1/ff1_link.h"

namespace tavo::cli {

// ff1-link --ff1-dir DIR [--spec FILE] --year-month YYYYMM [--append FILE] --out-dir DIR
// The linkage file goes straight into --out-dir (the window's Downloads folder).
Command AddFf1Command(CLI::App& app) {
  struct Options {
    std::string ff1Dir, spec, yearMonth, append, outDir;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd =
      app.add_subcommand("ff1-link",
                         "FF1 linkage: the FF1 folder merged to each patient's latest month, "
                         "built into the linkage file through the column specification");
  cmd->add_option("--ff1-dir", o->ff1Dir, "the FF1 folder")->required()->type_name("DIR");
  cmd->add_option("--spec", o->spec, "column specification (default: siyo4.csv beside the program)")
      ->type_name("FILE");
  cmd->add_option("--year-month", o->yearMonth, "year-month of the linkage file")
      ->required()
      ->type_name("YYYYMM")
      ->check(YearMonth());
  cmd->add_option("--append", o->append, "EHR linkage file whose patients are taken over")
      ->type_name("FILE");
  AddOutDir(*cmd, o->outDir, "the linkage file is written here (the window's Downloads folder)");

  return {cmd, [o] {
            CliEnv(o->outDir);  // the run history goes into --out-dir
            ff1::FF1LinkParams params;
            params.YearMonth = ArgText(o->yearMonth);
            params.InDir = ArgText(o->ff1Dir);
            params.SpecCsv = o->spec.empty() ? ExecutableDir() / ff1::kSpecFileName
                                             : PathFromText(ArgText(o->spec));
            params.OutDir = PathFromText(ArgText(o->outDir));
            if (!o->append.empty()) params.AppendCsv = PathFromText(ArgText(o->append));
            return Report(ff1::RunFF1Link(params));
          }};
}

}  // namespace tavo::cli

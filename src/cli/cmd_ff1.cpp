#include "cli/cli_common.h"
#include "cli/commands.h"
#include "core/errors.h"
#include "core/files.h"
#include "ff1/ff1_link.h"

namespace tavo::cli {

// ff1-link --ff1-dir DIR --spec FILE --year-month YYYYMM [--append FILE] --out-dir DIR
// The linkage file goes straight into --out-dir (the window's Downloads folder).
int CmdFf1Link(const Argv& argv) {
  const auto args = ParseArgs(argv, {"ff1-dir", "spec", "year-month", "append", "out-dir"});
  if (!args) return kExitUsage;
  if (!args->positional.empty()) return UsageError("ff1-link takes no file arguments");
  for (const char* required : {"ff1-dir", "year-month", "out-dir"})
    if (!args->Has(required)) return UsageError(std::string("ff1-link needs --") + required);

  ff1::FF1LinkParams params;
  params.YearMonth = ArgText(*args->Get("year-month"));
  if (IsBlank(params.YearMonth)) {
    RunResult r;
    r.Info(T("連携ファイル該当年月を入力してください"));
    return Report(r);
  }
  params.InDir = ArgText(*args->Get("ff1-dir"));
  params.SpecCsv = args->Has("spec") ? PathFromText(ArgText(*args->Get("spec")))
                                     : ExecutableDir() / ff1::kSpecFileName;
  params.OutDir = PathFromText(ArgText(*args->Get("out-dir")));
  if (args->Has("append")) params.AppendCsv = PathFromText(ArgText(*args->Get("append")));
  return Report(ff1::RunFF1Link(params));
}

}  // namespace tavo::cli

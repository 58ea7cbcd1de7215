#include "cli/cli_common.h"
#include "cli/commands.h"

namespace tavo::cli {

int CmdConvert1(const Argv&) { return UsageError("this command is not built yet"); }

int CmdConvert2(const Argv&) { return UsageError("this command is not built yet"); }

int CmdAnonymizeFf(const Argv&) { return UsageError("this command is not built yet"); }

}  // namespace tavo::cli

#include "cli/cli_common.h"
#include "cli/commands.h"

namespace tavo::cli {

int CmdPostal(const Argv&) { return UsageError("this command is not built yet"); }

}  // namespace tavo::cli

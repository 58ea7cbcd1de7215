// One entry point per tavo-cli subcommand; argv excludes the subcommand itself.
#pragma once

#include <string>
#include <vector>

namespace tavo::cli {

using Argv = std::vector<std::string>;

int CmdBranchRemoval(const Argv& argv);  // receipt
int CmdAnonymize(const Argv& argv);      // receipt
int CmdConvert1(const Argv& argv);       // linkage
int CmdConvert2(const Argv& argv);       // linkage
int CmdAnonymizeFf(const Argv& argv);    // linkage
int CmdFf1Link(const Argv& argv);        // ff1
int CmdReplace(const Argv& argv);        // replace
int CmdPostal(const Argv& argv);         // postal
int CmdCheckup(const Argv& argv);        // checkup

}  // namespace tavo::cli

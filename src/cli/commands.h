// The tavo-cli subcommands, one per operation. Each Add… function declares its
// subcommands' options on the application and returns what each runs once the
// parser has accepted its command line.
#pragma once

#include <functional>
#include <vector>

namespace CLI {
class App;
}

namespace tavo::cli {

struct Command {
  CLI::App* app;
  std::function<int()> run;  // returns the exit status
};

std::vector<Command> AddReceiptCommands(CLI::App& app);  // branch-removal, anonymize
std::vector<Command> AddLinkageCommands(CLI::App& app);  // convert1, convert2, anonymize-ff
Command AddFf1Command(CLI::App& app);                    // ff1-link
Command AddReplaceCommand(CLI::App& app);                // replace
Command AddPostalCommand(CLI::App& app);                 // postal
Command AddCheckupCommand(CLI::App& app);                // checkup

}  // namespace tavo::cli

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "core/text.h"

#ifdef _WIN32
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#endif

namespace {

using tavo::cli::Command;

// The arguments in UTF-8. On Windows argv holds them in the ANSI code page, which
// cannot carry every file name: read the wide command line instead.
std::vector<std::string> Arguments(int argc, char** argv) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  std::vector<std::string> args;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return args;
  for (int i = 1; i < count; ++i) {
    const std::wstring_view w(wide[i]);
    args.push_back(tavo::ToUtf8(tavo::Text(w.begin(), w.end())));
  }
  LocalFree(wide);
  return args;
#else
  return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

// A usage error: what the parser refused, and where the help is. Returns 2.
int UsageError(const CLI::App& app, const CLI::ParseError& e, const std::string& firstArg) {
  const auto chosen = app.get_subcommands();
  if (chosen.empty()) {
    const bool unknown = !firstArg.empty() && firstArg[0] != '-';
    std::cerr << app.get_name() << ": " << (unknown ? "unknown command " + firstArg : e.what())
              << "\n(" << app.get_name() << " --help lists the commands)" << std::endl;
  } else {
    const std::string command = app.get_name() + " " + chosen.front()->get_name();
    std::cerr << command << ": " << e.what() << "\n(" << command << " --help lists its options)"
              << std::endl;
  }
  return tavo::cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // UTF-8 on the console; and LF stays LF in redirected output, as on other systems.
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  CLI::App app(
      "Batch front end of Tavo (NIVA support tool). "
      "`tavo-cli COMMAND --help` lists the options of a command.",
      "tavo-cli");
  app.set_version_flag("--version", std::string("tavo-cli ") + TAVO_VERSION);
  app.require_subcommand(1);
  // CLI11 on Windows would take "/name" for an option: a path there may start with "/".
  app.allow_windows_style_options(false);
  // The reporting contract closes every help text; the subcommands take it over here.
  const std::string contract =
      "Messages go to stderr (警告: / 情報: / エラー:), written files to stdout.\n"
      "Exit status: 0 outputs written, 1 stopped by a message, 2 usage error.";
  app.footer(contract);
  app.get_formatter()->column_width(32);

  std::vector<Command> commands = tavo::cli::AddReceiptCommands(app);
  for (Command& c : tavo::cli::AddLinkageCommands(app)) commands.push_back(std::move(c));
  commands.push_back(tavo::cli::AddFf1Command(app));
  commands.push_back(tavo::cli::AddReplaceCommand(app));
  commands.push_back(tavo::cli::AddPostalCommand(app));
  commands.push_back(tavo::cli::AddCheckupCommand(app));
  app.footer("--out-dir stands for the program folder: outputs are written there.\n" + contract);

  std::vector<std::string> args = Arguments(argc, argv);
  const std::string firstArg = args.empty() ? std::string() : args.front();
  std::reverse(args.begin(), args.end());  // CLI11 takes them last first
  try {
    app.parse(args);
  } catch (const CLI::Success& e) {  // --help, --version
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return UsageError(app, e, firstArg);
  }

  const auto chosen = std::find_if(commands.begin(), commands.end(),
                                   [](const Command& c) { return c.app->parsed(); });
  try {
    return chosen->run();
  } catch (const std::exception& e) {
    std::cerr << "エラー: " << e.what() << std::endl;
    return tavo::cli::kExitStopped;
  }
}

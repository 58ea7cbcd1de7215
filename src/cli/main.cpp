#include <cstring>
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

struct Command {
  const char* name;
  int (*run)(const tavo::cli::Argv&);
  const char* usage;
};

const Command kCommands[] = {
    {"branch-removal", tavo::cli::CmdBranchRemoval,
     "branch-removal [--mode 0|1] [--from N --to N] --out-dir DIR FILE..."},
    {"anonymize", tavo::cli::CmdAnonymize, "anonymize --out-dir DIR FILE..."},
    {"convert1", tavo::cli::CmdConvert1, "convert1 --out-dir DIR FILE"},
    {"convert2", tavo::cli::CmdConvert2, "convert2 --out-dir DIR FILE"},
    {"anonymize-ff", tavo::cli::CmdAnonymizeFf, "anonymize-ff --out-dir DIR FILE"},
    {"ff1-link", tavo::cli::CmdFf1Link,
     "ff1-link --ff1-dir DIR --spec FILE --year-month YYYYMM [--append FILE] --out-dir DIR"},
    {"replace", tavo::cli::CmdReplace,
     "replace --mode 1 --definition FILE --out-dir DIR FILE\n"
     "  replace --mode 2 --definition FILE --out-dir DIR SHAHO_FILE KOKUHO_FILE"},
    {"postal", tavo::cli::CmdPostal,
     "postal --year YY --month MM [--definition FILE] --out-dir DIR FILE"},
    {"checkup", tavo::cli::CmdCheckup,
     "checkup --year YY --month MM [--additional FILE] --out-dir DIR FILE"},
};

void PrintHelp() {
  std::cout << "tavo-cli " << TAVO_VERSION
            << ": batch front end of Tavo (NIVA support tool)\n\n"
               "Usage: tavo-cli COMMAND [OPTIONS] FILE...\n\nCommands:\n";
  for (const auto& c : kCommands) std::cout << "  " << c.usage << "\n";
  std::cout << "\n--out-dir stands for the program folder: outputs are written there.\n"
               "Messages go to stderr (警告: / 情報: / エラー:), written files to stdout.\n"
               "Exit status: 0 outputs written, 1 stopped by a message, 2 usage error.\n";
}

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

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // UTF-8 on the console; and LF stays LF in redirected output, as on other systems.
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  std::vector<std::string> args = Arguments(argc, argv);
  if (args.empty()) {
    PrintHelp();
    return tavo::cli::kExitUsage;
  }
  const std::string& cmd = args[0];
  if (cmd == "--help" || cmd == "-h" || cmd == "help") {
    PrintHelp();
    return 0;
  }
  if (cmd == "--version") {
    std::cout << "tavo-cli " << TAVO_VERSION << "\n";
    return 0;
  }
  for (const auto& c : kCommands) {
    if (cmd == c.name) {
      std::vector<std::string> rest(args.begin() + 1, args.end());
      try {
        return c.run(rest);
      } catch (const std::exception& e) {
        std::cerr << "エラー: " << e.what() << std::endl;
        return tavo::cli::kExitStopped;
      }
    }
  }
  return tavo::cli::UsageError("unknown command " + cmd);
}

// The environment every operation receives as a value: where the program
// lives, where NIVA keeps its data, where the user's downloads go, and today.
#pragma once

#include <ctime>
#include <filesystem>
#include <optional>

namespace tavo {

struct Date {
  int year = 2000;
  int month = 1;
  int day = 1;
  bool operator==(const Date&) const = default;
};

struct Env {
  std::filesystem::path programDir;  // the executable's folder: user.ini and every output
  std::filesystem::path nivaDir;     // NIVA's data folder (C:\HDD_KX2 on Windows)
  std::filesystem::path nivaFf1Dir;  // NIVA's FF1 folder (C:\HDD_KX2\FF1 on Windows)
  std::filesystem::path downloadsDir;  // the user's Downloads folder, Documents as fallback
  std::optional<Date> fixedToday;      // set by tests; otherwise the local date

  Date Today() const;
  std::filesystem::path ProgramFile(const std::filesystem::path& bareName) const {
    return programDir / bareName;
  }
};

// The folder of the running executable.
std::filesystem::path ExecutableDir();
// The user's Downloads folder (known folder on Windows, XDG on other systems),
// the Documents folder when none is named, the home folder last.
std::filesystem::path DownloadsDir();
// NIVA's data folder: TAVO_NIVA_DIR when set, else C:\HDD_KX2 on Windows and
// $HOME/HDD_KX2 elsewhere.
std::filesystem::path DefaultNivaDir();
// The environment of the running program.
Env DetectEnv();
// True when a new file can be made in `dir` (found by making one and removing
// it again: permissions, Windows folder rights and read-only media alike).
bool FolderWritable(const std::filesystem::path& dir);
// Today's local date.
Date LocalToday();
// The local date and time now.
std::tm LocalNow();

}  // namespace tavo

// Helpers shared by the tests: temporary folders, file bytes, Shift_JIS literals.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/env.h"
#include "core/text.h"

namespace tavo::test {

namespace fs = std::filesystem;

// A fresh folder removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(const fs::path& name) const { return path_ / name; }

 private:
  fs::path path_;
};

std::string ReadBytes(const fs::path& file);
void WriteBytes(const fs::path& file, std::string_view bytes);

// The code page 932 bytes of a UTF-8 literal: Sjis("社保,1\r\n").
std::string Sjis(std::string_view utf8);

// The bytes of a fixture under tests/data.
std::string Fixture(const std::string& relativePath);
fs::path FixturePath(const std::string& relativePath);

// An environment whose program, NIVA and Downloads folders lie in `root`
// (program/, HDD_KX2/, HDD_KX2/FF1/, Downloads/, all created), with a fixed today.
Env MakeEnv(const fs::path& root, Date today = Date{2026, 12, 10});

// Names of the files in a folder (sorted), for "nothing else was written" checks.
// The run history is left out: it is the program's own record, not an output.
std::vector<std::string> ListFiles(const fs::path& folder);

// Runs `read` with its k-th file operation failing, for k = 1, 2, ... until
// a run in which no fault fired; each run must throw OpError exactly when its
// fault fired. Gives the clean run's result (`lines`) and returns how many
// faults were injected.
std::uint64_t ReadUnderEveryFault(const std::function<std::size_t()>& read, std::size_t& lines);

}  // namespace tavo::test

namespace tavo::test {

// Runs the built tavo-cli with the arguments (each quoted for the shell) and
// captures its exit status, stdout and stderr (UTF-8).
struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};
CliRun RunCli(const std::vector<std::string>& args);

}  // namespace tavo::test

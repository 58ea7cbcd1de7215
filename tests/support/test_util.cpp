#include "support/test_util.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>
#include <vector>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "core/cp932.h"
#include "core/errors.h"

namespace tavo::test {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  const fs::path base = fs::temp_directory_path();
  for (int i = 0; i < 100; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "tavo-test-%08x-%u", rd(), counter++);
    std::error_code ec;
    if (fs::create_directory(base / name, ec)) {
      path_ = base / name;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  // Make everything writable again so that permission tests can be cleaned up.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::end(it);
       it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + file.string());
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Sjis(std::string_view utf8) { return Cp932Encode(FromUtf8(utf8)); }

fs::path FixturePath(const std::string& relativePath) {
  return fs::path(TAVO_TEST_DATA_DIR) / relativePath;
}

std::string Fixture(const std::string& relativePath) {
  return ReadBytes(FixturePath(relativePath));
}

Env MakeEnv(const fs::path& root, Date today) {
  Env env;
  env.programDir = root / "program";
  env.nivaDir = root / "HDD_KX2";
  env.nivaFf1Dir = env.nivaDir / "FF1";
  env.downloadsDir = root / "Downloads";
  env.fixedToday = today;
  for (const auto& d : {env.programDir, env.nivaFf1Dir, env.downloadsDir})
    fs::create_directories(d);
  return env;
}

std::vector<std::string> ListFiles(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace tavo::test

namespace tavo::test {

#ifndef _WIN32
namespace {
std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'')
      q += "'\\''";
    else
      q += c;
  }
  return q + "'";
}
}  // namespace
#endif

CliRun RunCli(const std::vector<std::string>& args) {
  TempDir tmp;
#ifdef _WIN32
  // cmd.exe removes the outer pair of quotes of the whole line, and the wide call
  // keeps UTF-8 arguments intact whatever the ANSI code page.
  const Text exe = PathText(fs::path(TAVO_CLI_PATH).make_preferred());
  Text line = u"\"\"" + exe + u"\"";
  for (const auto& a : args) line += u" \"" + FromUtf8(a) + u"\"";
  line += u" >\"" + PathText(tmp / "out.txt") + u"\" 2>\"" + PathText(tmp / "err.txt") + u"\"\"";
  CliRun run;
  run.exitCode = _wsystem(std::wstring(line.begin(), line.end()).c_str());
  run.out = ReadBytes(tmp / "out.txt");
  run.err = ReadBytes(tmp / "err.txt");
  return run;
#else
  std::string cmd = ShellQuote(TAVO_CLI_PATH);
  for (const auto& a : args) cmd += " " + ShellQuote(a);
  cmd += " >" + ShellQuote((tmp / "out.txt").string()) + " 2>" +
         ShellQuote((tmp / "err.txt").string());
  CliRun run;
  const int status = std::system(cmd.c_str());
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadBytes(tmp / "out.txt");
  run.err = ReadBytes(tmp / "err.txt");
  return run;
#endif
}

}  // namespace tavo::test

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

#include "core/files.h"
#include "core/run_history.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

#include <gtest/gtest.h>

#include "core/cp932.h"
#include "core/errors.h"
#include "core/fault.h"

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
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    const Text name = PathText(e.path().filename());
    // The run history is the program's own record, not an output of a run.
    if (name == kRunHistoryName || name == kRunHistoryOldName) continue;
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::uint64_t ReadUnderEveryFault(const std::function<std::size_t()>& read, std::size_t& lines) {
  for (std::uint64_t k = 1;; ++k) {
    fault::Arm(k);
    std::size_t n = 0;
    bool threw = false;
    try {
      n = read();
    } catch (const OpError&) {
      threw = true;
    }
    const bool fired = fault::Fired();
    fault::Disarm();
    EXPECT_EQ(threw, fired) << k;
    if (!fired) {
      lines = n;
      return k - 1;
    }
    if (threw != fired) return k;
  }
}

}  // namespace tavo::test

namespace tavo::test {

#ifdef _WIN32
namespace {
// One argument as CommandLineToArgvW and the C runtime read it back: quoted, with
// the backslashes before a quote (or the closing quote) doubled.
std::wstring QuoteArg(const std::wstring& arg) {
  std::wstring q = L"\"";
  std::size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    q.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    slashes = 0;
    q += c;
  }
  q.append(slashes * 2, L'\\');
  return q + L"\"";
}
}  // namespace
#else
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
  // Started directly, not through cmd.exe: no shell quoting, wide arguments kept
  // intact whatever the ANSI code page, outputs redirected to files of ours.
  std::wstring line = QuoteArg(fs::path(TAVO_CLI_PATH).make_preferred().wstring());
  for (const auto& a : args) {
    const Text t = FromUtf8(a);
    line += L" " + QuoteArg(std::wstring(t.begin(), t.end()));
  }
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  auto create = [&](const fs::path& file) {
    return CreateFileW(file.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE out = create(tmp / "out.txt");
  HANDLE err = create(tmp / "err.txt");
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi{};
  CliRun run;
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    run.exitCode = static_cast<int>(code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  CloseHandle(out);
  CloseHandle(err);
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

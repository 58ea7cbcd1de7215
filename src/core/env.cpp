#include "core/env.h"

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#endif

namespace tavo {

namespace fs = std::filesystem;

Date Env::Today() const { return fixedToday ? *fixedToday : LocalToday(); }

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &now);
#else
  localtime_r(&now, &tm);
#endif
  return tm;
}

Date LocalToday() {
  const std::tm tm = LocalNow();
  return Date{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

fs::path ExecutableDir() {
#ifdef _WIN32
  std::wstring buf(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
  buf.resize(n);
  return fs::path(buf).parent_path();
#else
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return fs::current_path();
  return exe.parent_path();
#endif
}

namespace {

fs::path HomeDir() {
#ifdef _WIN32
  if (const wchar_t* p = _wgetenv(L"USERPROFILE")) return fs::path(p);
  return fs::path(L"C:\\");
#else
  if (const char* p = std::getenv("HOME")) return fs::path(p);
  return fs::path("/");
#endif
}

#ifndef _WIN32
// XDG_DOWNLOAD_DIR / XDG_DOCUMENTS_DIR from the environment or user-dirs.dirs.
fs::path XdgDir(const std::string& key) {
  if (const char* p = std::getenv(key.c_str()); p && *p) return fs::path(p);
  fs::path config;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
    config = fs::path(x);
  else
    config = HomeDir() / ".config";
  std::ifstream in(config / "user-dirs.dirs");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key + "=", 0) != 0) continue;
    std::string value = line.substr(key.size() + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) value = HomeDir().string() + value.substr(5);
    return fs::path(value);
  }
  return {};
}
#endif

}  // namespace

fs::path DownloadsDir() {
  std::error_code ec;
#ifdef _WIN32
  PWSTR p = nullptr;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &p)) && p) {
    fs::path dir(p);
    CoTaskMemFree(p);
    return dir;
  }
  if (p) CoTaskMemFree(p);
  p = nullptr;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &p)) && p) {
    fs::path dir(p);
    CoTaskMemFree(p);
    return dir;
  }
  if (p) CoTaskMemFree(p);
  return HomeDir();
#else
  if (const char* t = std::getenv("TAVO_DOWNLOADS_DIR"); t && *t) return fs::path(t);
  fs::path d = XdgDir("XDG_DOWNLOAD_DIR");
  if (!d.empty() && fs::is_directory(d, ec)) return d;
  d = HomeDir() / "Downloads";
  if (fs::is_directory(d, ec)) return d;
  d = XdgDir("XDG_DOCUMENTS_DIR");
  if (!d.empty() && fs::is_directory(d, ec)) return d;
  d = HomeDir() / "Documents";
  if (fs::is_directory(d, ec)) return d;
  return HomeDir();
#endif
}

fs::path DefaultNivaDir() {
#ifdef _WIN32
  if (const wchar_t* p = _wgetenv(L"TAVO_NIVA_DIR"); p && *p) return fs::path(p);
  return fs::path(L"C:\\HDD_KX2");
#else
  if (const char* p = std::getenv("TAVO_NIVA_DIR"); p && *p) return fs::path(p);
  return HomeDir() / "HDD_KX2";
#endif
}

Env DetectEnv() {
  Env env;
  env.programDir = ExecutableDir();
  env.nivaDir = DefaultNivaDir();
  env.nivaFf1Dir = env.nivaDir / "FF1";
  env.downloadsDir = DownloadsDir();
  return env;
}

bool FolderWritable(const fs::path& dir) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return false;
  // A name of our own that is not there yet, so that no file of the user's is touched.
  for (int i = 0; i < 100; ++i) {
    const fs::path probe = dir / (".tavo-write-check-" + std::to_string(i) + ".tmp");
    if (fs::exists(probe, ec) || ec) continue;
    bool written = false;
    {
      std::ofstream out(probe, std::ios::binary);
      if (!out) return false;
      out << "tavo";
      out.close();
      written = !out.fail();
    }
    fs::remove(probe, ec);
    return written;
  }
  return false;
}

}  // namespace tavo

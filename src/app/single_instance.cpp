#include "app/single_instance.h"

#include <QDir>
#include <QLockFile>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tavo::ui {

#ifdef _WIN32
namespace {

// What the first copy publishes under "<name>.window".
struct Published {
  std::uint64_t window;
  std::uint32_t process;
};

std::wstring PublishedName(const QString& name) {
  return (name + QStringLiteral(".window")).toStdWString();
}

bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace
#endif

SingleInstanceGuard::SingleInstanceGuard(const QString& name, const QString& lockDir)
    : name_(name) {
#ifdef _WIN32
  Q_UNUSED(lockDir);
  const std::wstring wname = name.toStdWString();
  HANDLE h = CreateMutexW(nullptr, FALSE, wname.c_str());
  if (h == nullptr) return;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(h);
    return;
  }
  handle_ = h;
  acquired_ = true;
#else
  const QString dir = lockDir.isEmpty() ? QDir::tempPath() : lockDir;
  lock_ = std::make_unique<QLockFile>(QDir(dir).filePath(name + QStringLiteral(".lock")));
  // Only a lock whose process has gone counts as stale, however long the
  // first copy has been running.
  lock_->setStaleLockTime(0);
  acquired_ = lock_->tryLock(0);
#endif
}

SingleInstanceGuard::~SingleInstanceGuard() {
#ifdef _WIN32
  if (published_) CloseHandle(static_cast<HANDLE>(published_));
  if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
#else
  if (lock_ && acquired_) lock_->unlock();
#endif
}

void SingleInstanceGuard::PublishWindow(WId window) {
#ifdef _WIN32
  if (!acquired_) return;
  if (!published_) {
    published_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                    sizeof(Published), PublishedName(name_).c_str());
    if (!published_) return;
  }
  void* view = MapViewOfFile(static_cast<HANDLE>(published_), FILE_MAP_WRITE, 0, 0,
                             sizeof(Published));
  if (!view) return;
  const Published p{static_cast<std::uint64_t>(window), GetCurrentProcessId()};
  CopyMemory(view, &p, sizeof p);
  UnmapViewOfFile(view);
#else
  Q_UNUSED(window);
#endif
}

bool SingleInstanceGuard::BringFirstToFront() const {
#ifdef _WIN32
  HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, PublishedName(name_).c_str());
  if (!mapping) return false;
  Published p{};
  if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof p)) {
    CopyMemory(&p, view, sizeof p);
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
  const HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(p.window));
  // Only the first copy's own window: a handle can be reused once that window has gone.
  DWORD process = 0;
  if (!window || !IsWindow(window) || !GetWindowThreadProcessId(window, &process) ||
      process != p.process)
    return false;
  if (IsIconic(window)) {
    ShowWindow(window, SW_RESTORE);
  } else if (UnderWine()) {
    // Wine does not follow a window manager that minimizes a window without
    // a minimize box: minimized and restored through Windows, it is shown again.
    ShowWindow(window, SW_MINIMIZE);
    ShowWindow(window, SW_RESTORE);
  }
  // The first copy may show a tool window or a message over its main window,
  // which then takes no input: that one comes to the front.
  const HWND popup = GetLastActivePopup(window);
  const HWND front = popup && IsWindowVisible(popup) ? popup : window;
  // The second start was the user's last action, so it may hand the foreground on.
  AllowSetForegroundWindow(p.process);
  SetForegroundWindow(front);
  return true;
#else
  return false;
#endif
}

}  // namespace tavo::ui

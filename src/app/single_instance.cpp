#include "app/single_instance.h"

#include <QDir>
#include <QLockFile>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tavo::ui {

SingleInstanceGuard::SingleInstanceGuard(const QString& name, const QString& lockDir) {
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
  if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
#else
  if (lock_ && acquired_) lock_->unlock();
#endif
}

}  // namespace tavo::ui

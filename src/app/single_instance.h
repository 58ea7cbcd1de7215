// Keeps a second copy of the program from starting: a named mutex on Windows,
// elsewhere a lock file in the temporary folder that a crashed first copy
// cannot leave stuck (a lock whose process is gone is taken over).
#pragma once

#include <QString>
#include <memory>

class QLockFile;

namespace tavo::ui {

inline constexpr char kMutexName[] = "TavoMutex";

class SingleInstanceGuard {
 public:
  // `lockDir` is where the lock file lies on systems without named mutexes
  // (the temporary folder when empty).
  explicit SingleInstanceGuard(const QString& name = QString::fromLatin1(kMutexName),
                               const QString& lockDir = QString());
  ~SingleInstanceGuard();
  SingleInstanceGuard(const SingleInstanceGuard&) = delete;
  SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

  // False when another copy holds the name (or the guard could not be made).
  bool acquired() const { return acquired_; }

 private:
  bool acquired_ = false;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  std::unique_ptr<QLockFile> lock_;
#endif
};

}  // namespace tavo::ui

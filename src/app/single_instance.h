// Keeps a second copy of the program from starting: a named mutex on Windows,
// elsewhere a lock file in the temporary folder that a crashed first copy
// cannot leave stuck (a lock whose process is gone is taken over). On Windows
// the first copy also leaves its main window where a second start finds it,
// to bring it to the front before ending.
#pragma once

#include <QString>
#include <QWidget>
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

  // The first copy: `window` is the one a second start brings to the front
  // (Windows only; a native window handle).
  void PublishWindow(WId window);
  // A second copy: brings the first copy's window to the front, restored when
  // minimized, or the window it shows over it (a tool window, a message).
  // False when no window was published or it is gone.
  bool BringFirstToFront() const;

 private:
  QString name_;
  bool acquired_ = false;
#ifdef _WIN32
  void* handle_ = nullptr;
  void* published_ = nullptr;  // the first copy's named memory holding its window
#else
  std::unique_ptr<QLockFile> lock_;
#endif
};

}  // namespace tavo::ui

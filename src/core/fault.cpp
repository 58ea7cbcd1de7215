#include "core/fault.h"

#include <cerrno>
#include <mutex>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tavo {

const char* FileOpName(FileOp op) {
  switch (op) {
    case FileOp::kOpen: return "open";
    case FileOp::kRead: return "read";
    case FileOp::kWrite: return "write";
    case FileOp::kFlush: return "flush";
    case FileOp::kSync: return "sync";
    case FileOp::kRename: return "rename";
    case FileOp::kRemove: return "remove";
    case FileOp::kMakeFolder: return "make folder";
  }
  return "?";
}

namespace fault {

namespace {
std::mutex mutex;
std::uint64_t target = 0;
std::uint64_t seen = 0;
bool ofOneKind = false;     // `target` counts operations of `kind` only
FileOp kind = FileOp::kOpen;
std::uint64_t seenOfKind = 0;
std::uint64_t startedAt = 0;  // the operation of the first fault, once known
std::vector<FileCause> planned;  // the causes of the faults from `target` on
std::size_t injected = 0;        // how many of them have been injected
FileOp firedOp = FileOp::kOpen;
unsigned firedOn = 0;  // a bit per FileOp hit
FileCause lastCause = FileCause::kDevice;

// The code this system gives for a cause.
long CodeOf(FileCause cause) {
#ifdef _WIN32
  switch (cause) {
    case FileCause::kHeld: return ERROR_SHARING_VIOLATION;
    case FileCause::kReadOnly: return ERROR_ACCESS_DENIED;
    case FileCause::kAccessDenied: return ERROR_ACCESS_DENIED;
    case FileCause::kDiskFull: return ERROR_DISK_FULL;
    case FileCause::kFolderMissing: return ERROR_PATH_NOT_FOUND;
    case FileCause::kPathTooLong: return ERROR_FILENAME_EXCED_RANGE;
    case FileCause::kFileMissing: return ERROR_FILE_NOT_FOUND;
    case FileCause::kIsFolder: return ERROR_ACCESS_DENIED;
    case FileCause::kWriteProtected: return ERROR_WRITE_PROTECT;
    case FileCause::kBadName: return ERROR_INVALID_NAME;
    case FileCause::kDevice: return ERROR_IO_DEVICE;
    case FileCause::kOther: return ERROR_INVALID_FUNCTION;
  }
#else
  switch (cause) {
    case FileCause::kHeld: return EBUSY;
    case FileCause::kReadOnly: return EACCES;
    case FileCause::kAccessDenied: return EACCES;
    case FileCause::kDiskFull: return ENOSPC;
    case FileCause::kFolderMissing: return ENOENT;
    case FileCause::kPathTooLong: return ENAMETOOLONG;
    case FileCause::kFileMissing: return ENOENT;
    case FileCause::kIsFolder: return EISDIR;
    case FileCause::kWriteProtected: return EROFS;
    case FileCause::kBadName: return EILSEQ;
    case FileCause::kDevice: return EIO;
    case FileCause::kOther: return EINVAL;
  }
#endif
  return 0;
}
}  // namespace

namespace detail {
std::atomic<bool> armed{false};

bool Hit(FileOp op) {
  std::lock_guard<std::mutex> lock(mutex);
  const std::uint64_t at = ++seen;
  if (startedAt == 0 && (ofOneKind ? op == kind && ++seenOfKind == target : at == target))
    startedAt = at;
  if (startedAt == 0 || at - startedAt >= planned.size()) return false;
  if (injected == 0) firedOp = op;
  firedOn |= 1u << static_cast<unsigned>(op);
  lastCause = planned[at - startedAt];
  ++injected;
  return true;
}
}  // namespace detail

namespace {
void Start(bool oneKind, FileOp op, std::uint64_t k, std::vector<FileCause> causes) {
  std::lock_guard<std::mutex> lock(mutex);
  target = k;
  seen = 0;
  ofOneKind = oneKind;
  kind = op;
  seenOfKind = 0;
  startedAt = 0;
  planned = std::move(causes);
  injected = 0;
  firedOn = 0;
  detail::armed.store(true);
}
}  // namespace

void Arm(std::uint64_t k) { Arm(k, {FileCause::kDevice}); }

void Arm(std::uint64_t k, std::vector<FileCause> causes) {
  Start(false, FileOp::kOpen, k, std::move(causes));
}

void ArmAt(FileOp op, std::uint64_t k, std::vector<FileCause> causes) {
  Start(true, op, k, std::move(causes));
}

std::uint64_t Disarm() {
  detail::armed.store(false);
  std::lock_guard<std::mutex> lock(mutex);
  return seen;
}

bool Fired() {
  std::lock_guard<std::mutex> lock(mutex);
  return injected > 0;
}

FileOp FiredOp() {
  std::lock_guard<std::mutex> lock(mutex);
  return firedOp;
}

bool FiredOn(FileOp op) {
  std::lock_guard<std::mutex> lock(mutex);
  return (firedOn >> static_cast<unsigned>(op)) & 1u;
}

SystemError Injected() {
  std::lock_guard<std::mutex> lock(mutex);
  return {lastCause, CodeOf(lastCause)};
}

void Wait(std::chrono::milliseconds wait) {
  if (detail::armed.load(std::memory_order_relaxed)) return;
  std::this_thread::sleep_for(wait);
}

}  // namespace fault
}  // namespace tavo

#include "core/fault.h"

#include <mutex>

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
bool fired = false;
FileOp firedOp = FileOp::kOpen;
}  // namespace

namespace detail {
std::atomic<bool> armed{false};

bool Hit(FileOp op) {
  std::lock_guard<std::mutex> lock(mutex);
  if (++seen != target) return false;
  fired = true;
  firedOp = op;
  return true;
}
}  // namespace detail

void Arm(std::uint64_t k) {
  std::lock_guard<std::mutex> lock(mutex);
  target = k;
  seen = 0;
  fired = false;
  detail::armed.store(true);
}

std::uint64_t Disarm() {
  detail::armed.store(false);
  std::lock_guard<std::mutex> lock(mutex);
  return seen;
}

bool Fired() {
  std::lock_guard<std::mutex> lock(mutex);
  return fired;
}

FileOp FiredOp() {
  std::lock_guard<std::mutex> lock(mutex);
  return firedOp;
}

}  // namespace fault
}  // namespace tavo

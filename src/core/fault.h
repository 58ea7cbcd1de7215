// A seam in the file layer for tests: armed, it makes the k-th file operation
// from then on fail as a failing device would (an open that finds no file, a
// short read or write, a flush, sync, rename, remove or folder creation that
// reports an error). Unarmed, each operation costs one relaxed atomic load.
#pragma once

#include <atomic>
#include <cstdint>

namespace tavo {

enum class FileOp { kOpen, kRead, kWrite, kFlush, kSync, kRename, kRemove, kMakeFolder };
const char* FileOpName(FileOp op);

namespace fault {

// From now on, count file operations and fail the k-th one (1-based). Only one
// operation fails; later ones run normally.
void Arm(std::uint64_t k);
// Stops counting; returns how many operations ran since Arm.
std::uint64_t Disarm();
// True when the armed fault has been injected; then FiredOp() names its operation.
bool Fired();
FileOp FiredOp();

namespace detail {
extern std::atomic<bool> armed;
bool Hit(FileOp op);
}  // namespace detail

// Called by the file layer before each operation: true when it must fail.
inline bool Fails(FileOp op) {
  return detail::armed.load(std::memory_order_relaxed) && detail::Hit(op);
}

}  // namespace fault
}  // namespace tavo

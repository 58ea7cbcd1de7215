// A seam in the file layer for tests: armed, it makes the k-th file operation
// from then on fail as a failing device would (an open that finds no file, a
// short read or write, a flush, sync, rename, remove or folder creation that
// reports an error), or with a cause chosen by the test (a file held by
// another program, a full disk, ...). Unarmed, each operation costs one
// relaxed atomic load.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

#include "core/system_error_text.h"

namespace tavo {

enum class FileOp { kOpen, kRead, kWrite, kFlush, kSync, kRename, kRemove, kMakeFolder };
const char* FileOpName(FileOp op);

namespace fault {

// From now on, count file operations and fail the k-th one (1-based) with a
// device error. Only one operation fails; later ones run normally.
void Arm(std::uint64_t k);
// The same with chosen causes: the k-th operation fails with the first, the
// one after it with the second, and so on; {kHeld, kHeld} is a file held
// through the first retry.
void Arm(std::uint64_t k, std::vector<FileCause> causes);
// The same, counting only operations of one kind for the k-th; the faults
// after the first fall on whatever operations follow it.
void ArmAt(FileOp op, std::uint64_t k, std::vector<FileCause> causes);
// Stops counting; returns how many operations ran since Arm.
std::uint64_t Disarm();
// True when an armed fault has been injected; then FiredOp() names the
// operation of the first.
bool Fired();
FileOp FiredOp();
// True when an injected fault hit an operation of this kind.
bool FiredOn(FileOp op);
// The failure injected last, as the system reports its cause: the cause and
// this system's code for it.
SystemError Injected();
// A wait before a retry. None while armed: no program holds a file that the
// seam says is held, and a sweep would otherwise wait seconds per fault.
void Wait(std::chrono::milliseconds wait);

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

// Reading one block ahead and writing one block behind on a second thread, so
// that the system's copies of a streamed run's input and output overlap its
// own work on the block in between. Errors come back to the caller's thread as
// the same OpError that reading or writing there would have thrown.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "core/files.h"

namespace tavo {

// One job that a thread of its own runs each time it is started; one run at
// a time.
class BackgroundJob {
 public:
  explicit BackgroundJob(std::function<void()> job);
  // Waits for a run still going (its error is dropped), then ends the thread.
  ~BackgroundJob();
  BackgroundJob(const BackgroundJob&) = delete;
  BackgroundJob& operator=(const BackgroundJob&) = delete;

  // Starts a run; the previous one must have been waited for.
  void Start();
  // Waits until the run is over; throws what it threw.
  void Wait();

 private:
  void Loop();
  std::function<void()> job_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool running_ = false;
  bool stop_ = false;
  std::exception_ptr error_;
  std::thread thread_;  // last: it starts once the rest is in place
};

// A file read in blocks of a fixed size, the next block always being read.
class ReadAhead {
 public:
  // Reads `file` (which stays the caller's, and must outlive this) from its
  // current position; `path` names it in a read error. Each block comes with
  // `slack` bytes of room past it.
  ReadAhead(std::FILE* file, const std::filesystem::path& path, std::size_t block,
            std::size_t slack);
  // The next block, swapped into `into`, whose size is then block + slack
  // (bytes past the ones read are unspecified). Returns the bytes read:
  // fewer than a block only at the end, 0 past it.
  std::size_t Next(std::vector<char>& into);

 private:
  void Read();
  std::FILE* file_;
  std::filesystem::path path_;
  std::size_t block_;
  std::size_t slack_;
  std::vector<char> ahead_;
  std::size_t aheadSize_ = 0;
  bool atEnd_ = false;  // the last block has been read
  BackgroundJob job_;   // last: destroyed first, while the rest is there
};

// Blocks written to an AtomicFile behind the caller, which fills the next one
// meanwhile. A block is a std::vector<char> or a std::string.
template <class Block>
class WriteBehind {
 public:
  explicit WriteBehind(AtomicFile& out) : out_(out), job_([this] { out_.Write(written_); }) {}
  // Writes the first n bytes of `block`, which is swapped for the block
  // written before (to fill next; its contents are unspecified). Throws the
  // write error of an earlier block.
  void Write(Block& block, std::size_t n) {
    Finish();
    block.swap(spare_);
    written_ = {spare_.data(), n};
    started_ = true;
    job_.Start();
  }
  // Waits for the last block to be written; throws its error. Before the
  // file is closed or committed.
  void Finish() {
    if (!started_) return;
    started_ = false;
    job_.Wait();
  }
  // Runs `body`, which writes its blocks through Write, then Finish. Whatever
  // stops the body, the write error of a block already handed over is thrown
  // instead: written in place, that block would have stopped the run first.
  template <class Body>
  void Run(Body&& body) {
    try {
      body();
    } catch (...) {
      Finish();
      throw;
    }
    Finish();
  }

 private:
  AtomicFile& out_;
  Block spare_;
  std::string_view written_;  // inside spare_, while it is being written
  bool started_ = false;
  BackgroundJob job_;  // last: destroyed first, while the rest is there
};

}  // namespace tavo

#include "core/background_io.h"

#include <algorithm>
#include <utility>

#include "core/errors.h"

namespace tavo {

BackgroundJob::BackgroundJob(std::function<void()> job)
    : job_(std::move(job)), thread_([this] { Loop(); }) {}

BackgroundJob::~BackgroundJob() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !running_; });
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void BackgroundJob::Start() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = true;
  }
  changed_.notify_all();
}

void BackgroundJob::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !running_; });
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

void BackgroundJob::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return running_ || stop_; });
    if (stop_) return;
    lock.unlock();
    std::exception_ptr error;
    try {
      job_();
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    error_ = error;
    running_ = false;
    changed_.notify_all();
  }
}

ReadAhead::ReadAhead(std::FILE* file, const std::filesystem::path& path, std::size_t block,
                     std::size_t slack)
    : file_(file), path_(path), block_(block), slack_(slack), job_([this] { Read(); }) {
  job_.Start();
}

void ReadAhead::Read() {
  ahead_.resize(block_ + slack_);
  std::size_t got = 0;
  if (!ReadChunk(file_, ahead_.data(), block_, got)) ThrowReadError(path_);
  aheadSize_ = got;
  atEnd_ = got < block_;
}

std::size_t ReadAhead::Next(std::vector<char>& into) {
  job_.Wait();  // a read error stays with the block it failed in
  const std::size_t got = aheadSize_;
  into.swap(ahead_);
  into.resize(block_ + slack_);  // a read block has that size; one asked for past the end may not
  aheadSize_ = 0;
  if (!atEnd_) job_.Start();
  return got;
}

}  // namespace tavo

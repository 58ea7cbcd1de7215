#include "ff1/ff1_io.h"

#include <algorithm>
#include <cstring>

#include "core/errors.h"
#include "core/files.h"

namespace tavo::ff1 {

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 16;

std::FILE* OpenOrThrow(const std::filesystem::path& path) {
  if (FolderExists(path)) ThrowOpenError(path);
  std::FILE* f = OpenForReading(path);
  if (!f) ThrowOpenError(path);
  return f;
}

bool SeekTo(std::FILE* f, std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(f, static_cast<long long>(offset), SEEK_SET) == 0;
#else
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

}  // namespace

OffsetLineReader::OffsetLineReader(const std::filesystem::path& path, std::size_t skip)
    : path_(path), file_(OpenOrThrow(path)) {
  std::setvbuf(file_, nullptr, _IONBF, 0);  // reads go straight into buf_
  try {
    while (end_ < skip && Fill()) {
    }
  } catch (...) {
    std::fclose(file_);
    throw;
  }
  begin_ = scan_ = std::min(skip, end_);
}

OffsetLineReader::~OffsetLineReader() {
  if (file_) std::fclose(file_);
}

bool OffsetLineReader::Fill() {
  if (eof_) return false;
  if (begin_ > 0) {  // keep only the unread bytes
    std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    scan_ -= begin_;
    base_ += begin_;
    begin_ = 0;
  }
  if (buf_.size() - end_ < kChunk) buf_.resize(std::max(buf_.size() * 2, end_ + kChunk));
  const std::size_t want = buf_.size() - end_;
  std::size_t got = 0;
  if (!ReadChunk(file_, buf_.data() + end_, want, got)) ThrowReadError(path_);
  if (got < want) eof_ = true;
  end_ += got;
  return got > 0;
}

bool OffsetLineReader::Next(std::string_view& line, std::uint64_t& offset) {
  while (true) {
    // The first LF, then any CR before it (lone CRs are rare).
    const char* from = buf_.data() + scan_;
    const char* lf = static_cast<const char*>(std::memchr(from, '\n', end_ - scan_));
    const char* stop = lf ? lf : buf_.data() + end_;
    const char* cr = static_cast<const char*>(std::memchr(from, '\r', stop - from));
    const std::size_t p = static_cast<std::size_t>((cr ? cr : stop) - buf_.data());
    scan_ = p;
    // A CR last in the buffer may be the first half of CR LF.
    const bool complete = p < end_ && !(buf_[p] == '\r' && p + 1 == end_ && !eof_);
    if (complete) {
      line = std::string_view(buf_.data() + begin_, p - begin_);
      offset = base_ + begin_;
      std::size_t next = p + 1;
      if (buf_[p] == '\r' && next < end_ && buf_[next] == '\n') ++next;
      begin_ = scan_ = next;
      return true;
    }
    if (!Fill()) {
      if (p < end_) continue;  // the CR last in the file ends its line
      if (begin_ == end_) return false;
      line = std::string_view(buf_.data() + begin_, end_ - begin_);
      offset = base_ + begin_;
      begin_ = scan_ = end_;
      return true;
    }
  }
}

LineFetcher::LineFetcher(const std::filesystem::path& path)
    : path_(path), file_(OpenOrThrow(path)) {}

LineFetcher::~LineFetcher() {
  if (file_) std::fclose(file_);
}

std::string_view LineFetcher::Fetch(std::uint64_t offset, std::size_t length) {
  if (offset != pos_ && !SeekTo(file_, offset)) ThrowReadError(path_);
  pos_ = offset;
  buf_.resize(length);
  std::size_t got = 0;
  if (!ReadChunk(file_, buf_.data(), length, got) || got != length) ThrowReadError(path_);
  pos_ += length;
  return buf_;
}

}  // namespace tavo::ff1

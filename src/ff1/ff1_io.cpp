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

ShapedLineReader::ShapedLineReader(const std::filesystem::path& path, std::size_t skip)
    : path_(path), file_(OpenOrThrow(path)) {
  std::setvbuf(file_, nullptr, _IONBF, 0);  // reads go straight into buf_
  const std::size_t lead = skip == kDetectMark ? 3 : skip;
  try {
    while (Fill() && end_ < lead) {
    }
  } catch (...) {
    std::fclose(file_);
    throw;
  }
  if (skip == kDetectMark) {
    utf8_ = std::string_view(buf_.data(), end_).starts_with("\xEF\xBB\xBF");
    skip = utf8_ ? 3 : 0;
  }
  begin_ = std::min(skip, end_);
}

ShapedLineReader::~ShapedLineReader() {
  if (file_) std::fclose(file_);
}

bool ShapedLineReader::Fill() {
  if (eof_) return false;
  if (begin_ > 0) {  // keep only the unread bytes
    std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    base_ += begin_;
    begin_ = 0;
  }
  constexpr std::size_t kAfter = 1 + kShapeSlack;  // the LF that ends every shaping, and slack
  if (buf_.size() < end_ + kRead + kAfter)
    buf_.resize(std::max(buf_.size() * 2, end_ + kRead + kAfter));
  const std::size_t want = buf_.size() - end_ - kAfter;
  std::size_t got = 0;
  if (!ReadChunk(file_, buf_.data() + end_, want, got)) ThrowReadError(path_);
  if (got < want) eof_ = true;
  end_ += got;
  buf_[end_] = '\n';
  return got > 0;
}

bool ShapedLineReader::Next(std::string_view& line, std::uint64_t& offset, LineShape& shape) {
  while (true) {
    ShapeLine(buf_.data() + begin_, a_, b_, shape);
    const std::size_t p = begin_ + shape.length;
    // The LF after the bytes read, or a CR last among them that may be the
    // first half of CR LF: read on, then look again.
    const bool more = p == end_ || (buf_[p] == '\r' && p + 1 == end_);
    if (more && !eof_) {
      Fill();
      continue;
    }
    if (p == end_ && begin_ == end_) return false;
    line = std::string_view(buf_.data() + begin_, shape.length);
    offset = base_ + begin_;
    std::size_t next = std::min(p + 1, end_);
    if (next < end_ && buf_[p] == '\r' && buf_[next] == '\n') ++next;
    begin_ = next;
    return true;
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

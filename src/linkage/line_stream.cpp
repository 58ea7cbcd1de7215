#include "linkage/line_stream.h"

#include <algorithm>
#include <cstring>

#include "core/errors.h"
#include "core/files.h"
#include "core/line_breaks.h"

namespace tavo::linkage {

RawLineStream::RawLineStream(const std::filesystem::path& path) : path_(path) {
  file_ = OpenForReading(path);
  std::error_code ec;
  if (!file_ || std::filesystem::is_directory(path, ec)) {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    ThrowOpenError(path);
  }
  try {
    ahead_ = std::make_unique<ReadAhead>(file_, path_, kBufferSize, kReadSlack);
  } catch (...) {
    std::fclose(file_);
    throw;
  }
}

RawLineStream::~RawLineStream() {
  ahead_.reset();  // no read may still be going on when the file closes
  if (file_) std::fclose(file_);
}

bool RawLineStream::Fill() {
  if (eof_) return false;
  const std::size_t n = ahead_->Next(buf_);
  if (n < kBufferSize) eof_ = true;
  size_ = n;
  pos_ = 0;
  return n > 0;
}

namespace {

// Appends to the cut line in carry_.
void Carry(std::vector<char>& carry, std::size_t& carried, const char* bytes, std::size_t n) {
  if (carry.size() < carried + n + RawLineStream::kReadSlack) {
    carry.resize(std::max(2 * carry.size(), carried + n + RawLineStream::kReadSlack));
  }
  std::memcpy(carry.data() + carried, bytes, n);
  carried += n;
}

}  // namespace

std::string_view RawLineStream::Carried(std::size_t length) { return {carry_.data(), length}; }

bool RawLineStream::Next(std::string_view& line) {
  carried_ = 0;
  bool cut = false;  // part of the line sits in carry_
  while (true) {
    if (pos_ >= size_) {
      if (!Fill()) {
        if (!cut) return false;
        line = Carried(carried_);
        return true;
      }
    }
    const char* begin = buf_.data() + pos_;
    const std::size_t left = size_ - pos_;
    std::size_t i = FindCrOrLf(begin, left);  // the first CR or LF
    if (i == left) {
      Carry(carry_, carried_, begin, left);
      cut = true;
      pos_ = size_;
      continue;
    }
    const char brk = begin[i];
    const std::string_view piece(begin, i);
    pos_ += i + 1;
    if (brk == '\r') {
      // A CR followed by LF is one break, even across the buffer's end.
      if (pos_ >= size_) {
        Carry(carry_, carried_, piece.data(), piece.size());
        const std::size_t length = carried_;
        if (Fill() && buf_[0] == '\n') pos_ = 1;
        line = Carried(length);
        return true;
      }
      if (buf_[pos_] == '\n') ++pos_;
    }
    if (cut) {
      Carry(carry_, carried_, piece.data(), piece.size());
      line = Carried(carried_);
    } else {
      line = piece;  // buf_ holds kReadSlack bytes past any line
    }
    return true;
  }
}

}  // namespace tavo::linkage

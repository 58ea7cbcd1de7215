#include "linkage/line_stream.h"

#include "core/errors.h"

namespace tavo::linkage {

namespace {
constexpr std::size_t kBuffer = 1 << 16;
}

RawLineStream::RawLineStream(const std::filesystem::path& path) : path_(path) {
#ifdef _WIN32
  file_ = _wfopen(path.c_str(), L"rb");
#else
  file_ = std::fopen(path.c_str(), "rb");
#endif
  std::error_code ec;
  if (!file_ || std::filesystem::is_directory(path, ec)) {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    ThrowOpenError(path);
  }
}

RawLineStream::~RawLineStream() {
  if (file_) std::fclose(file_);
}

bool RawLineStream::Fill() {
  if (eof_) return false;
  buf_.resize(kBuffer);
  const std::size_t n = std::fread(buf_.data(), 1, kBuffer, file_);
  if (n < kBuffer) {
    if (std::ferror(file_)) ThrowReadError(path_);
    eof_ = true;
  }
  buf_.resize(n);
  pos_ = 0;
  return n > 0;
}

bool RawLineStream::Next(std::string_view& line) {
  carry_.clear();
  bool cut = false;  // part of the line sits in carry_
  while (true) {
    if (pos_ >= buf_.size()) {
      if (!Fill()) {
        if (!cut) return false;
        line = carry_;
        return true;
      }
    }
    const char* begin = buf_.data() + pos_;
    const std::size_t left = buf_.size() - pos_;
    std::size_t i = 0;
    while (i < left && begin[i] != '\n' && begin[i] != '\r') ++i;
    if (i == left) {
      carry_.append(begin, left);
      cut = true;
      pos_ = buf_.size();
      continue;
    }
    const char brk = begin[i];
    std::string_view piece(begin, i);
    pos_ += i + 1;
    if (brk == '\r') {
      // A CR followed by LF is one break, even across the buffer's end.
      if (pos_ >= buf_.size()) {
        if (cut) {
          carry_.append(piece);
        } else {
          carry_.assign(piece);
        }
        cut = true;
        if (Fill() && buf_[0] == '\n') pos_ = 1;
        line = carry_;
        return true;
      }
      if (buf_[pos_] == '\n') ++pos_;
    }
    if (cut) {
      carry_.append(piece);
      line = carry_;
    } else {
      line = piece;
    }
    return true;
  }
}

}  // namespace tavo::linkage

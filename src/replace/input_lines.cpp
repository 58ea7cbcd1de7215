#include "replace/input_lines.h"

#include "core/line_breaks.h"

namespace tavo::replace {

namespace fs = std::filesystem;

namespace {

bool HasByteOrderMark(const char* b, std::size_t n) {
  const auto u8 = [b](std::size_t i) { return static_cast<unsigned char>(b[i]); };
  if (n >= 3 && u8(0) == 0xEF && u8(1) == 0xBB && u8(2) == 0xBF) return true;
  return n >= 2 && ((u8(0) == 0xFF && u8(1) == 0xFE) || (u8(0) == 0xFE && u8(1) == 0xFF));
}

}  // namespace

InputLines::InputLines(const fs::path& path) : path_(path) {
  file_ = OpenForStreaming(path);
  try {
    Fill();
  } catch (...) {
    // The destructor does not run for a constructor that throws.
    std::fclose(file_);
    throw;
  }
  if (HasByteOrderMark(buf_.get(), end_)) {
    std::fclose(file_);
    file_ = nullptr;
    marked_.emplace(path);
  }
}

InputLines::~InputLines() {
  if (file_) std::fclose(file_);
}

bool InputLines::Fill() {
  if (eof_) return false;
  dropped_ += begin_;  // the refill moves the unread bytes to the front
  return Refill(file_, path_, buf_, cap_, begin_, end_, eof_) > 0;
}

bool InputLines::NextOther(std::string_view& line, bool& quoted) {
  if (!marked_) return NextPlain(line, &quoted);
  if (!marked_->NextBytes(line)) return false;
  quoted = true;  // unknown in UTF-16 bytes: such lines are read as text, quotes and all
  return true;
}

bool InputLines::NextPlain(std::string_view& line, bool* quoted) {
  while (true) {
    const char* b = buf_.get();
    const std::string_view rest(b + begin_, end_ - begin_);
    const std::size_t at =
        begin_ + (quoted ? FindRecordEnd(rest, *quoted) : FindCrOrLf(rest.data(), rest.size()));
    if (at < end_) {
      const bool cr = b[at] == '\r';
      if (cr && at + 1 == end_ && !eof_) {
        Fill();  // a CR at the buffer's end: whether an LF follows decides the next line
        continue;
      }
      line = std::string_view(b + begin_, at - begin_);
      begin_ = at + 1;
      if (cr && begin_ < end_ && b[begin_] == '\n') ++begin_;
      lineEnd_ = std::string_view(b + at, begin_ - at);
      return true;
    }
    if (!Fill()) {
      if (begin_ == end_) return false;
      line = std::string_view(buf_.get() + begin_, end_ - begin_);  // a last line without line end
      begin_ = end_;
      lineEnd_ = {};
      return true;
    }
  }
}

}  // namespace tavo::replace

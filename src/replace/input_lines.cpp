#include "replace/input_lines.h"

#include <bit>
#include <cstring>

#include "core/errors.h"

namespace tavo::replace {

namespace fs = std::filesystem;

std::size_t FindLineEndPlain(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') return i;
  }
  return bytes.size();
}

#if TAVO_SSE2
std::size_t FindLineEndSse2(std::string_view bytes) {
  const char* p = bytes.data();
  const std::size_t n = bytes.size();
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const auto ends = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
    if (ends != 0) return i + static_cast<std::size_t>(std::countr_zero(ends));
  }
  return i + FindLineEndPlain(bytes.substr(i));
}
#endif

namespace {

constexpr std::size_t kReadChunk = 1 << 20;

bool HasByteOrderMark(const char* b, std::size_t n) {
  const auto u8 = [b](std::size_t i) { return static_cast<unsigned char>(b[i]); };
  if (n >= 3 && u8(0) == 0xEF && u8(1) == 0xBB && u8(2) == 0xBF) return true;
  return n >= 2 && ((u8(0) == 0xFF && u8(1) == 0xFE) || (u8(0) == 0xFE && u8(1) == 0xFF));
}

}  // namespace

InputLines::InputLines(const fs::path& path) : path_(path) {
  if (FolderExists(path)) ThrowOpenError(path);
  file_ = OpenForReading(path);
  if (!file_) ThrowOpenError(path);
  // Unbuffered: the reads go straight into the buffer.
  std::setvbuf(file_, nullptr, _IONBF, 0);
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
  if (begin_ > 0) {
    std::memmove(buf_.get(), buf_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == cap_) {  // a line longer than the buffer
    const std::size_t bigger = cap_ == 0 ? kReadChunk : cap_ * 2;
    std::unique_ptr<char[]> grown(new char[bigger]);
    if (end_ > 0) std::memcpy(grown.get(), buf_.get(), end_);
    buf_ = std::move(grown);
    cap_ = bigger;
  }
  const std::size_t want = cap_ - end_;
  std::size_t got = 0;
  if (!ReadChunk(file_, buf_.get() + end_, want, got)) ThrowReadError(path_);
  if (got < want) eof_ = true;
  end_ += got;
  return got > 0;
}

bool InputLines::Next(std::string_view& line, RecordMarks& marks) {
  if (!marked_) return NextPlain(line, &marks);
  if (!marked_->NextBytes(line)) return false;
  marks = ScanRecord(line);
  return true;
}

bool InputLines::NextPlain(std::string_view& line, RecordMarks* marks) {
  while (true) {
    const char* b = buf_.get();
    const std::string_view rest(b + begin_, end_ - begin_);
    const std::size_t at = begin_ + (marks ? FindRecordEnd(rest, *marks) : FindLineEnd(rest));
    if (at < end_) {
      const bool cr = b[at] == '\r';
      if (cr && at + 1 == end_ && !eof_) {
        Fill();  // a CR at the buffer's end: whether an LF follows decides the next line
        continue;
      }
      line = std::string_view(b + begin_, at - begin_);
      begin_ = at + 1;
      if (cr && begin_ < end_ && b[begin_] == '\n') ++begin_;
      return true;
    }
    if (!Fill()) {
      if (begin_ == end_) return false;
      line = std::string_view(buf_.get() + begin_, end_ - begin_);  // a last line without line end
      begin_ = end_;
      return true;
    }
  }
}

}  // namespace tavo::replace

#include "linkage/line_stream.h"

#include <algorithm>
#include <cstring>

#include "core/cp932.h"
#include "core/errors.h"
#include "core/files.h"

namespace tavo::linkage {

namespace {

constexpr std::size_t kBuffer = 1 << 16;

// The text of a file's first bytes, decoded as whole-file loading does.
Text DecodeByMark(const std::string& bytes) {
  auto u8 = [](char c) { return static_cast<unsigned char>(c); };
  if (bytes.size() >= 3 && u8(bytes[0]) == 0xEF && u8(bytes[1]) == 0xBB && u8(bytes[2]) == 0xBF) {
    return FromUtf8(std::string_view(bytes).substr(3));
  }
  if (bytes.size() >= 2 && ((u8(bytes[0]) == 0xFF && u8(bytes[1]) == 0xFE) ||
                            (u8(bytes[0]) == 0xFE && u8(bytes[1]) == 0xFF))) {
    const bool le = u8(bytes[0]) == 0xFF;
    Text text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const char16_t lo = u8(bytes[i + (le ? 0 : 1)]);
      const char16_t hi = u8(bytes[i + (le ? 1 : 0)]);
      text.push_back(static_cast<char16_t>(hi << 8 | lo));
    }
    return text;
  }
  return Cp932Decode(bytes);
}

}  // namespace

std::vector<Text> LoadFirstLines(const std::filesystem::path& path, std::size_t count) {
  std::error_code ec;
  std::FILE* f = std::filesystem::is_directory(path, ec) ? nullptr : OpenForReading(path);
  if (!f) ThrowOpenError(path);
  std::string bytes;
  std::size_t chunk = kBuffer;
  while (true) {
    const std::size_t had = bytes.size();
    bytes.resize(had + chunk);
    std::size_t n = 0;
    const bool ok = ReadChunk(f, bytes.data() + had, chunk, n);
    bytes.resize(had + n);
    const bool end = n < chunk;
    if (!ok) {
      std::fclose(f);
      ThrowReadError(path);
    }
    std::vector<Text> lines = SplitLinesAnyEnd(DecodeByMark(bytes));
    // A line counts once text follows its break: a cut character or a CR
    // whose LF is still unread then cannot change it.
    if (end || lines.size() > count) {
      std::fclose(f);
      if (lines.size() > count) lines.resize(count);
      return lines;
    }
    chunk *= 2;
  }
}

RawLineStream::RawLineStream(const std::filesystem::path& path) : path_(path) {
  file_ = OpenForReading(path);
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
  buf_.resize(kBuffer + kReadSlack);
  std::size_t n = 0;
  if (!ReadChunk(file_, buf_.data(), kBuffer, n)) ThrowReadError(path_);
  if (n < kBuffer) eof_ = true;
  size_ = n;
  pos_ = 0;
  lfKnown_ = false;
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
    // The first CR or LF. The next LF is remembered, so that a file of lone
    // CRs is not searched to the buffer's end for every line.
    if (!lfKnown_ || nextLf_ < pos_) {
      lfKnown_ = true;
      const void* lf = std::memchr(begin, '\n', left);
      nextLf_ = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - buf_.data()) : size_;
    }
    std::size_t i = nextLf_ - pos_;
    if (const void* cr = std::memchr(begin, '\r', i)) {
      i = static_cast<std::size_t>(static_cast<const char*>(cr) - begin);
    }
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

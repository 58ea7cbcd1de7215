// The lines of a run's input, as the whole-file loading gives them (lines end
// at CR LF, LF or CR; 1A is an ordinary character; a UTF-8 or UTF-16
// byte-order mark selects that coding, else code page 932), streamed.
//
// A file without a mark is read here, so that the search for a receipt
// record's end also tells whether it holds a quote, in the same pass over its
// bytes, and its line end can be copied as it stands. A file with a mark is
// read by AnyEndLineReader, which decodes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "core/files.h"
#include "replace/record_marks.h"

namespace tavo::replace {

class InputLines {
 public:
  // Opens the file (throws OpError when it cannot be opened or read).
  explicit InputLines(const std::filesystem::path& path);
  ~InputLines();
  InputLines(const InputLines&) = delete;
  InputLines& operator=(const InputLines&) = delete;

  TextCoding coding() const { return marked_ ? marked_->coding() : TextCoding::kCp932; }
  // The next line's bytes in coding(), without its line end; valid until the
  // next call. False at the end.
  bool Next(std::string_view& line) {
    return marked_ ? marked_->NextBytes(line) : NextPlain(line, nullptr);
  }
  // The same, telling whether the line holds a double quote, found in the
  // search for its end. Inline for the usual line, whose end and the byte
  // after it are in the buffer; the others (and a file with a mark) go the
  // long way.
  bool Next(std::string_view& line, bool& quoted) {
    if (!marked_) {
      const char* b = buf_.get();
      const std::size_t at =
          begin_ + FindRecordEnd(std::string_view(b + begin_, end_ - begin_), quoted);
      if (at + 1 < end_) {
        line = std::string_view(b + begin_, at - begin_);
        begin_ = at + (b[at] == '\r' && b[at + 1] == '\n' ? 2 : 1);
        lineEnd_ = std::string_view(b + at, begin_ - at);
        return true;
      }
    }
    return NextOther(line, quoted);
  }
  // The line end of the last line given by Next: in a file without a mark
  // the bytes that follow the line in the file (CR LF, LF, CR, or none after
  // the last line), valid until the next call; in a file with a mark, whose
  // lines are written again in code page 932, CR LF.
  std::string_view LineEnd() const { return lineEnd_; }
  // Bytes read but not yet given as lines (of a file without a mark; empty
  // for one with a mark): a look ahead, valid until the next call. They
  // begin a line, at AheadOffset() in the file.
  std::string_view Ahead() const {
    return marked_ ? std::string_view() : std::string_view(buf_.get() + begin_, end_ - begin_);
  }
  std::uint64_t AheadOffset() const { return dropped_ + begin_; }

 private:
  bool NextOther(std::string_view& line, bool& quoted);
  bool NextPlain(std::string_view& line, bool* quoted);
  bool Fill();  // false when nothing more could be read
  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
  std::optional<AnyEndLineReader> marked_;
  std::unique_ptr<char[]> buf_;
  std::size_t cap_ = 0;
  std::size_t begin_ = 0;  // first unread byte
  std::size_t end_ = 0;    // end of the bytes read
  bool eof_ = false;
  std::string_view lineEnd_ = "\r\n";
  std::uint64_t dropped_ = 0;  // bytes of the file no longer in the buffer
};

}  // namespace tavo::replace

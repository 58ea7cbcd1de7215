// The lines of a run's input, as the whole-file loading gives them (lines end
// at CR LF, LF or CR; 1A is an ordinary character; a UTF-8 or UTF-16
// byte-order mark selects that coding, else code page 932), streamed.
//
// A file without a mark is read here, so that the search for a receipt
// record's end also gives its RecordMarks in the same pass over its bytes. A
// file with a mark is read by AnyEndLineReader, which decodes it.
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
  // The same with the line's RecordMarks, found in the search for its end.
  // Inline for the usual line, whose end and the byte after it are in the
  // buffer; the others (and a file with a mark) go the long way.
  bool Next(std::string_view& line, RecordMarks& marks) {
    if (!marked_) {
      const char* b = buf_.get();
      const std::size_t at = begin_ + FindRecordEnd(std::string_view(b + begin_, end_ - begin_), marks);
      if (at + 1 < end_) {
        line = std::string_view(b + begin_, at - begin_);
        crLf_ = b[at] == '\r' && b[at + 1] == '\n';
        begin_ = at + (crLf_ ? 2 : 1);
        return true;
      }
    }
    return NextOther(line, marks);
  }
  // Whether the last line given by Next (of a file without a mark) ended in
  // CR LF, which then follow its bytes.
  bool EndedInCrLf() const { return crLf_; }
  // Bytes read but not yet given as lines (of a file without a mark; empty
  // for one with a mark): a look ahead, valid until the next call. They
  // begin a line, at AheadOffset() in the file.
  std::string_view Ahead() const {
    return marked_ ? std::string_view() : std::string_view(buf_.get() + begin_, end_ - begin_);
  }
  std::uint64_t AheadOffset() const { return dropped_ + begin_; }

 private:
  bool NextOther(std::string_view& line, RecordMarks& marks);
  bool NextPlain(std::string_view& line, RecordMarks* marks);
  bool Fill();  // false when nothing more could be read
  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
  std::optional<AnyEndLineReader> marked_;
  std::unique_ptr<char[]> buf_;
  std::size_t cap_ = 0;
  std::size_t begin_ = 0;  // first unread byte
  std::size_t end_ = 0;    // end of the bytes read
  bool eof_ = false;
  bool crLf_ = false;
  std::uint64_t dropped_ = 0;  // bytes of the file no longer in the buffer
};

}  // namespace tavo::replace

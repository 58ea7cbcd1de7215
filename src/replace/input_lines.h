// The lines of a run's input, as the whole-file loading gives them (lines end
// at CR LF, LF or CR; 1A is an ordinary character; a UTF-8 or UTF-16
// byte-order mark selects that coding, else code page 932), streamed.
//
// A file without a mark is read here: the runs look at every line of files
// of a gigabyte and more, and the next line end is searched for CR and LF in
// one pass, sixteen bytes at a time with SSE2 (every x86-64 CPU), elsewhere
// one byte at a time; both find the same line end. A file with a mark is read
// by AnyEndLineReader, which decodes it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "core/files.h"
#include "core/simd.h"
#include "replace/record_marks.h"

namespace tavo::replace {

// The first CR or LF in the bytes, or their size.
std::size_t FindLineEndPlain(std::string_view bytes);
#if TAVO_SSE2
std::size_t FindLineEndSse2(std::string_view bytes);
#endif
inline std::size_t FindLineEnd(std::string_view bytes) {
#if TAVO_SSE2
  return FindLineEndSse2(bytes);
#else
  return FindLineEndPlain(bytes);
#endif
}

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
  bool Next(std::string_view& line, RecordMarks& marks);

 private:
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
};

}  // namespace tavo::replace

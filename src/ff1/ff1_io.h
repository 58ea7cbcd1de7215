// Byte-level reading shared by the merge and the build: files are streamed,
// never held whole.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "ff1/ff1_scan.h"

namespace tavo::ff1 {

// Streams a file's lines as bytes in large reads, each line with its offset
// and its shape (ff1_scan.h). CR LF, LF and a lone CR end a line, and a last
// line may lack its end.
class ShapedLineReader {
 public:
  static constexpr std::size_t kRead = std::size_t{1} << 16;  // bytes asked for at a time
  // As `skip`: a UTF-8 byte-order mark at the start is noted and not read as text.
  static constexpr std::size_t kDetectMark = ~std::size_t{0};

  // The first `skip` bytes (a byte-order mark) are not read as text. Throws
  // OpError when the file cannot be opened or read.
  explicit ShapedLineReader(const std::filesystem::path& path, std::size_t skip = kDetectMark);
  ~ShapedLineReader();
  ShapedLineReader(const ShapedLineReader&) = delete;
  ShapedLineReader& operator=(const ShapedLineReader&) = delete;

  bool utf8() const { return utf8_; }  // kDetectMark found EF BB BF
  // The byte pair the shapes look for (LineShape::pair); neither is CR or LF.
  void LookFor(char a, char b) {
    a_ = a;
    b_ = b;
  }

  // The next line, valid until the next call, where it starts in the file
  // and its shape. False at the end. Throws OpError on a read error.
  bool Next(std::string_view& line, std::uint64_t& offset, LineShape& shape);

 private:
  bool Fill();  // false when nothing more could be read
  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
  std::string buf_;  // bytes read, then an LF that ends every shaping, then slack
  std::size_t begin_ = 0;   // first unread byte
  std::size_t end_ = 0;     // end of the bytes read
  std::uint64_t base_ = 0;  // file offset of buf_[0]
  bool eof_ = false;
  bool utf8_ = false;
  char a_ = '\0';
  char b_ = '\0';
};

// The lines of a file with their offsets, as ShapedLineReader reads them.
class OffsetLineReader {
 public:
  // Throws OpError when the file cannot be opened.
  OffsetLineReader(const std::filesystem::path& path, std::size_t skip) : reader_(path, skip) {}

  // The next line, valid until the next call, and where it starts in the
  // file. False at the end. Throws OpError on a read error.
  bool Next(std::string_view& line, std::uint64_t& offset) {
    LineShape shape;
    return reader_.Next(line, offset, shape);
  }

 private:
  ShapedLineReader reader_;
};

// Calls fn(offset, line) for each line of a file, as OffsetLineReader reads them.
template <typename Fn>
void ForEachLineOfFile(const std::filesystem::path& path, std::size_t skip, Fn&& fn) {
  OffsetLineReader reader(path, skip);
  std::string_view line;
  std::uint64_t offset = 0;
  while (reader.Next(line, offset)) fn(offset, line);
}

// Reads lines back at offsets a ShapedLineReader gave. Lines asked for in
// file order mostly follow each other, so the file is only repositioned when
// they do not.
class LineFetcher {
 public:
  explicit LineFetcher(const std::filesystem::path& path);  // throws OpError
  ~LineFetcher();
  LineFetcher(const LineFetcher&) = delete;
  LineFetcher& operator=(const LineFetcher&) = delete;

  // The `length` bytes at `offset`, valid until the next call. Throws
  // OpError when they cannot be read (the file shrank meanwhile, too).
  std::string_view Fetch(std::uint64_t offset, std::size_t length);

 private:
  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
  std::uint64_t pos_ = 0;
  std::string buf_;
};

}  // namespace tavo::ff1

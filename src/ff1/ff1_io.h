// Byte-level reading shared by the merge and the build: files are streamed,
// never held whole.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace tavo::ff1 {

// Streams the lines of a file as bytes with the offset of each line; CR LF,
// LF and a lone CR end a line, and a last line may lack its end. The first
// `skip` bytes (a byte-order mark) are not read as text.
class OffsetLineReader {
 public:
  // Throws OpError when the file cannot be opened.
  OffsetLineReader(const std::filesystem::path& path, std::size_t skip);
  ~OffsetLineReader();
  OffsetLineReader(const OffsetLineReader&) = delete;
  OffsetLineReader& operator=(const OffsetLineReader&) = delete;

  // The next line, valid until the next call, and where it starts in the
  // file. False at the end. Throws OpError on a read error.
  bool Next(std::string_view& line, std::uint64_t& offset);

 private:
  bool Fill();  // false when nothing more could be read
  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
  std::string buf_;
  std::size_t begin_ = 0;  // first unread byte
  std::size_t end_ = 0;    // end of the bytes read
  std::size_t scan_ = 0;   // no line end before here from begin_ on
  std::uint64_t base_ = 0;  // file offset of buf_[0]
  bool eof_ = false;
};

// Calls fn(offset, line) for each line of a file, as OffsetLineReader reads them.
template <typename Fn>
void ForEachLineOfFile(const std::filesystem::path& path, std::size_t skip, Fn&& fn) {
  OffsetLineReader reader(path, skip);
  std::string_view line;
  std::uint64_t offset = 0;
  while (reader.Next(line, offset)) fn(offset, line);
}

// Reads lines back at offsets an OffsetLineReader gave. Lines asked for in
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

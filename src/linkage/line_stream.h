// Streams the raw byte lines of a file whose lines end at CR LF, LF or a lone
// CR. No byte-order mark detection and no end-of-file byte: every byte but a
// line break belongs to a line. Memory stays at two buffers plus the longest
// line: the next buffer is read while this one is taken.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/background_io.h"
#include "core/text.h"

namespace tavo::linkage {

class RawLineStream {
 public:
  explicit RawLineStream(const std::filesystem::path& path);  // throws OpError
  ~RawLineStream();
  RawLineStream(const RawLineStream&) = delete;
  RawLineStream& operator=(const RawLineStream&) = delete;

  // Bytes past the end of every line that may be read (their values are
  // unspecified): room for word-at-a-time reads of a line's last bytes.
  static constexpr std::size_t kReadSlack = 32;
  // Bytes read at a time.
  static constexpr std::size_t kBufferSize = 1 << 18;

  // The next line without its break; false at the end. The view stays valid
  // until the next call.
  bool Next(std::string_view& line);
  // For a caller that finds line ends itself: the bytes read and not yet
  // taken (followed by kReadSlack readable bytes), and taking the first n of
  // them, whole lines with their breaks.
  std::string_view Unread() const { return {buf_.data() + pos_, size_ - pos_}; }
  void Take(std::size_t n) { pos_ += n; }

 private:
  bool Fill();                                   // false when nothing more could be read
  std::string_view Carried(std::size_t length);  // the line in carry_, with its slack
  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<ReadAhead> ahead_;  // reads file_ one buffer ahead
  std::vector<char> buf_;  // the bytes read, then kReadSlack more
  std::size_t size_ = 0;   // bytes read into buf_
  std::size_t pos_ = 0;
  std::vector<char> carry_;  // a line cut by the buffer's end, then kReadSlack more
  std::size_t carried_ = 0;  // its length
  bool eof_ = false;
};

}  // namespace tavo::linkage

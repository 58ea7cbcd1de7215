// Streams the raw byte lines of a file whose lines end at CR LF, LF or a lone
// CR. No byte-order mark detection and no end-of-file byte: every byte but a
// line break belongs to a line. Memory stays at the buffer plus the longest line.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace tavo::linkage {

class RawLineStream {
 public:
  explicit RawLineStream(const std::filesystem::path& path);  // throws OpError
  ~RawLineStream();
  RawLineStream(const RawLineStream&) = delete;
  RawLineStream& operator=(const RawLineStream&) = delete;

  // The next line without its break; false at the end. The view stays valid
  // until the next call.
  bool Next(std::string_view& line);

 private:
  bool Fill();  // false when nothing more could be read
  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
  std::string buf_;
  std::size_t pos_ = 0;
  std::string carry_;  // a line cut by the buffer's end
  bool eof_ = false;
};

}  // namespace tavo::linkage

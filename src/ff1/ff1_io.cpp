#include "ff1/ff1_io.h"

#include <cstdio>

#include "core/errors.h"
#include "core/files.h"

namespace tavo::ff1 {

std::string ReadAllBytes(const std::filesystem::path& path) {
  if (FolderExists(path)) ThrowOpenError(path);
  std::FILE* f = OpenForReading(path);
  if (!f) ThrowOpenError(path);
  std::error_code ec;
  const auto expected = std::filesystem::file_size(path, ec);
  std::string out;
  std::size_t have = 0;
  bool bad = false;
  // One read of the expected size; a file that grows meanwhile is read to its end.
  std::size_t want = ec ? std::size_t{1} << 16 : static_cast<std::size_t>(expected) + 1;
  while (true) {
    out.resize(have + want);
    std::size_t got = 0;
    bad = !ReadChunk(f, out.data() + have, want, got);
    have += got;
    if (bad || got < want) break;
    want = std::size_t{1} << 20;
  }
  std::fclose(f);
  if (bad) ThrowReadError(path);
  out.resize(have);
  return out;
}

}  // namespace tavo::ff1

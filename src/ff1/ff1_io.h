// Byte-level reading shared by the merge and the build.
#pragma once

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

namespace tavo::ff1 {

// The whole file in one read. Throws OpError when it cannot be opened or read.
std::string ReadAllBytes(const std::filesystem::path& path);

// Calls fn(offset, length) for each line of b from `start` on; CR LF, LF and a
// lone CR end a line, and a last line may lack its end.
template <typename Fn>
void ForEachLine(std::string_view b, std::size_t start, Fn&& fn) {
  const std::size_t n = b.size();
  auto find = [&](char c, std::size_t from) -> std::size_t {
    if (from >= n) return n;
    const void* p = std::memchr(b.data() + from, c, n - from);
    return p ? static_cast<std::size_t>(static_cast<const char*>(p) - b.data()) : n;
  };
  std::size_t pos = start;
  std::size_t nextCr = find('\r', pos);
  std::size_t nextLf = find('\n', pos);
  while (pos < n) {
    if (nextCr < pos) nextCr = find('\r', pos);
    if (nextLf < pos) nextLf = find('\n', pos);
    const std::size_t end = std::min(nextCr, nextLf);
    fn(pos, end - pos);
    if (end >= n) return;
    pos = end + 1;
    if (end == nextCr && pos < n && b[pos] == '\n') ++pos;
  }
}

}  // namespace tavo::ff1

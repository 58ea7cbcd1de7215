// The comma search with SSE2 against the plain loop and against the commas
// counted one by one, on lines of every length around the block size.
#include "checkup/leading_commas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tavo::checkup {
namespace {

std::vector<std::size_t> CommasOneByOne(std::string_view line, std::size_t count) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < line.size() && at.size() < count; ++i) {
    if (line[i] == ',') at.push_back(i);
  }
  return at;
}

std::vector<std::size_t> Found(std::size_t (*find)(std::string_view, std::size_t*, std::size_t),
                               std::string_view line, std::size_t count) {
  std::vector<std::size_t> at(count + 1);
  at.resize(find(line, at.data(), count));
  return at;
}

TEST(FindLeadingCommas, SameOnEveryPathOnRandomLines) {
  // Commas, ASCII, UTF-8 lead and trail bytes and bytes from 80 on, which
  // compare as negative chars.
  const char alphabet[] = {',', ',', 'a', '0', ' ', '\xE3', '\x80', '\xFF', '\x2B', '\x2D'};
  std::mt19937 rng(15);
  for (int round = 0; round < 20000; ++round) {
    const std::size_t length = rng() % 70;
    std::string line;
    for (std::size_t i = 0; i < length; ++i) line += alphabet[rng() % sizeof alphabet];
    // A copy in memory of exactly its size, so that the sanitizer catches
    // any read past the line's end.
    const std::unique_ptr<char[]> copy(new char[length]);
    std::copy(line.begin(), line.end(), copy.get());
    const std::string_view exact(copy.get(), length);
    for (std::size_t count : {0u, 1u, 5u, 9u}) {
      const auto expected = CommasOneByOne(exact, count);
      ASSERT_EQ(Found(FindLeadingCommasPlain, exact, count), expected) << round << " " << count;
#if TAVO_SSE2
      ASSERT_EQ(Found(FindLeadingCommasSse2, exact, count), expected) << round << " " << count;
#endif
      ASSERT_EQ(Found(FindLeadingCommas, exact, count), expected) << round << " " << count;
    }
  }
}

}  // namespace
}  // namespace tavo::checkup

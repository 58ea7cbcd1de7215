// The compact byte-string map against a standard map, on random keys of every
// length (none, short, past sixteen bytes, with NUL and high bytes), given
// once or again with a new value, and on keys never given.
#include "core/byte_string_map.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <unordered_map>

namespace tavo {
namespace {

TEST(ByteStringMap, SameAsAStandardMap) {
  std::mt19937 rng(4242);
  auto randomBytes = [&](std::size_t length) {
    // Few distinct bytes, so that keys often share their first or last bytes.
    const char alphabet[] = {'D', '0', '1', '\0', ',', '\x81', '\xFC'};
    std::string s;
    for (std::size_t i = 0; i < length; ++i) s += alphabet[rng() % std::size(alphabet)];
    return s;
  };
  auto randomKey = [&] {
    const std::size_t lengths[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 15, 16, 17, 24, 40};
    return randomBytes(lengths[rng() % std::size(lengths)]);
  };
  ByteStringMap map;
  std::unordered_map<std::string, std::string> expected;
  for (int round = 0; round < 30000; ++round) {
    const std::string key = randomKey();
    if (rng() % 3 != 0) {
      const std::string value = randomBytes(rng() % 12);
      map.Assign(key, value);
      expected[key] = value;
    }
    const std::string probe = rng() % 2 ? key : randomKey();
    const auto hit = map.Find(probe);
    const auto it = expected.find(probe);
    ASSERT_EQ(hit.has_value(), it != expected.end()) << round;
    if (hit) {
      ASSERT_EQ(*hit, it->second) << round;
    }
    ASSERT_EQ(map.size(), expected.size()) << round;
  }
  // Everything given is still there after the table grew many times.
  for (const auto& [key, value] : expected) {
    const auto hit = map.Find(key);
    ASSERT_TRUE(hit.has_value());
    EXPECT_EQ(*hit, value);
  }
}

TEST(ByteStringMap, EmptyMapFindsNothing) {
  const ByteStringMap map;
  EXPECT_FALSE(map.Find("").has_value());
  EXPECT_FALSE(map.Find("D001").has_value());
  EXPECT_EQ(map.size(), 0u);
}

}  // namespace
}  // namespace tavo

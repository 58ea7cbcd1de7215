#include "core/byte_index.h"

#include <gtest/gtest.h>

#include <random>
#include <unordered_map>

namespace tavo {
namespace {

// The flat index against std::unordered_map on random keys of 0 to 24 bytes
// (short ones inline, long ones beside), with repeated keys and misses. The
// bytes include 00 and FF, so that a key differs from another only in the
// zero padding of its words or in their top bits.
TEST(ByteIndex, SameAnswersAsAnOrdinaryMap) {
  std::mt19937 rng(16);
  static constexpr char kBytes[] = {'0', '1', '\0', '\xFF'};
  auto key = [&] {
    std::string k;
    for (unsigned n = rng() % 25; n > 0; --n) k.push_back(kBytes[rng() % 4]);
    return k;
  };
  ByteIndex index;
  std::unordered_map<std::string, std::uint32_t> plain;
  for (std::uint32_t i = 0; i < 20000; ++i) {
    const std::string k = key();
    if (i % 3 == 0) {
      index.Assign(k, i);
      plain[k] = i;
    } else {
      EXPECT_EQ(index.Insert(k, i), plain.emplace(k, i).second);
    }
  }
  EXPECT_EQ(index.size(), plain.size());
  for (int i = 0; i < 20000; ++i) {
    const std::string k = key();
    const auto it = plain.find(k);
    const ByteIndex::Probe probe = ByteIndex::MakeProbe(k);
    index.Prefetch(probe);
    const auto found = index.Find(probe);
    ASSERT_EQ(found.has_value(), it != plain.end()) << k;
    if (found) {
      ASSERT_EQ(*found, it->second) << k;
    }
  }
  index.Clear();
  EXPECT_FALSE(index.Find("").has_value());
}

}  // namespace
}  // namespace tavo

// The search for CR or LF sixteen bytes at a time against the plain loop.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/line_breaks.h"

namespace tavo {
namespace {

TEST(FindCrOrLf, SixteenAtATimeAgreesWithThePlainLoop) {
  std::mt19937 rng(13);
  const char pick[] = {'\r', '\n', '\x0C', '\x0E', '\x8D', '\x8A', '\x1A'};
  for (int round = 0; round < 20000; ++round) {
    // Sparse breaks, so that long runs without one are searched too.
    std::string bytes(rng() % 100, 'a');
    for (char& c : bytes) c = rng() % 40 ? 'a' : pick[rng() % sizeof pick];
    const std::size_t from = bytes.empty() ? 0 : rng() % bytes.size();
    ASSERT_EQ(FindCrOrLf(bytes.data() + from, bytes.size() - from),
              FindCrOrLfPlain(bytes.data() + from, bytes.size() - from))
        << round;
  }
}

}  // namespace
}  // namespace tavo

#include <gtest/gtest.h>

#include <random>

#include "core/cp932.h"

namespace tavo {
namespace {

// Normalizing must equal decoding and encoding again; bytes without a twin
// lead must come back unchanged.
TEST(Cp932Normalize, EqualsDecodeThenEncode) {
  for (int lead = 0; lead < 256; ++lead) {
    for (int trail = 0; trail < 256; ++trail) {
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      const std::string again = Cp932Encode(Cp932Decode(pair));
      if (!Cp932HasTwinLead(pair)) {
        ASSERT_EQ(again, pair) << lead << " " << trail;
      }
      std::string out = "x";
      Cp932NormalizeAppend(pair, out);
      ASSERT_EQ(out, "x" + again);
    }
  }
  std::mt19937 rng(932);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes;
    for (unsigned n = rng() % 24; n > 0; --n) bytes.push_back(static_cast<char>(rng()));
    std::string out;
    Cp932NormalizeAppend(bytes, out);
    ASSERT_EQ(out, Cp932Encode(Cp932Decode(bytes)));
  }
}

TEST(Cp932HasTwinLead, SixteenAtATimeAgreesWithTheByteLoop) {
  std::mt19937 rng(87);
  const char pick[] = {'a',    '1',    '\x81', '\x87', '\xED', '\xEE', '\xEF', '\xF9',
                       '\xFA', '\xFB', '\xFC', '\xFD', '\x7F', '\x80', '\x86', '\x88'};
  for (int round = 0; round < 20000; ++round) {
    std::string bytes(rng() % 70, 'x');
    for (char& c : bytes) c = rng() % 24 ? 'a' : pick[rng() % sizeof pick];
    ASSERT_EQ(Cp932HasTwinLead(bytes), Cp932HasTwinLeadPlain(bytes)) << round;
  }
}

}  // namespace
}  // namespace tavo

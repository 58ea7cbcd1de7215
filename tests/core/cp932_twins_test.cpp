// The exact re-encoding check against encoding the decoded text, on random
// byte strings made of the codes that matter: codes Windows writes otherwise,
// the codes it writes, ordinary characters whose second byte is a byte such
// codes start with, lone and unassigned lead bytes, ASCII runs.
#include "core/cp932_twins.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/cp932.h"

namespace tavo {
namespace {

TEST(Cp932ChangesOnReencode, SameAsEncodingTheDecodedText) {
  const std::string pieces[] = {
      "\xED\x40", "\xFA\x5C", "\x87\x90", "\x81\xE0", "\xFA\x4A", "\x87\x54", "\xEE\xEF",
      "\xFA\x40", "\xFA\x54", "\xEE\xF9", "\x81\xCA", "\xFB\xFC", "\xFA\xB1",  // 髙, 﨑 as written
      "\x94\xFC", "\x8E\x52", "\x83\x41", "\x81",     "\xED",     "\x87",     "\xFC",
      "\x85\x40", "\x85\xED", "\xEF\x40", "\x80",     "\xA0",     "\xB1",     "\xFD",
      "a",        "12345678", ",",        std::string("\0", 1)};
  std::mt19937 rng(932);
  for (int round = 0; round < 50000; ++round) {
    std::string bytes;
    // Now and then many pieces: several candidates in one string.
    for (unsigned k = rng() % (round % 4 == 0 ? 40 : 12); k > 0; --k) {
      bytes += pieces[rng() % std::size(pieces)];
    }
    const bool changes = Cp932Encode(Cp932Decode(bytes)) != bytes;
    ASSERT_EQ(Cp932ChangesOnReencode(bytes), changes) << round;
  }
}

// The eight-at-a-time look for the bytes such codes start with against one
// byte at a time, on strings of every length up to 20 from bytes near them.
TEST(Cp932ChangesOnReencode, LookForTheirFirstBytes) {
  const unsigned char near[] = {0x00, 0x07, 0x86, 0x87, 0x88, 0xEC, 0xED, 0xFC, 0xFF, 0x80, 0x7F, 0x13};
  std::mt19937 rng(87);
  for (int round = 0; round < 20000; ++round) {
    std::string bytes;
    bool expected = false;
    for (unsigned k = rng() % 21; k > 0; --k) {
      const unsigned char b = rng() % 4 ? near[rng() % std::size(near)] : rng() % 256;
      expected = expected || b == 0x87 || b >= 0xED;
      bytes += static_cast<char>(b);
    }
    ASSERT_EQ(Cp932MayHoldTwin(bytes), expected) << round;
  }
}

TEST(Cp932ChangesOnReencode, Examples) {
  EXPECT_FALSE(Cp932ChangesOnReencode(""));
  EXPECT_FALSE(Cp932ChangesOnReencode("\x94\xFC\x8D\xE7"));  // 美咲: FC is a second byte
  EXPECT_FALSE(Cp932ChangesOnReencode("\xFB\xFC"));          // 髙 as Windows writes it
  EXPECT_TRUE(Cp932ChangesOnReencode("\xED\x40"));           // 纊, written FA5C
  EXPECT_TRUE(Cp932ChangesOnReencode("abc\x87\x90"));        // ≒, written 81E0
  EXPECT_FALSE(Cp932ChangesOnReencode("\x87"));              // a lone lead byte stays
}

}  // namespace
}  // namespace tavo

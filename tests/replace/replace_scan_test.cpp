// The SSE2 scans of the replacement runs against their plain forms, on random
// lines over the bytes that matter to them.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/cp932.h"
#include "replace/key_find.h"
#include "replace/record_marks.h"

namespace tavo::replace {
namespace {

// Random bytes drawn mostly from `alphabet`, now and then any byte.
std::string RandomBytes(std::mt19937& rng, std::size_t length, std::string_view alphabet) {
  std::string bytes;
  for (std::size_t i = 0; i < length; ++i) {
    bytes += rng() % 8 == 0 ? static_cast<char>(rng() % 256) : alphabet[rng() % alphabet.size()];
  }
  return bytes;
}

TEST(ReplaceRecordMarks, EveryScanGivesTheMarksOfEachByte) {
  const std::string_view alphabet = "RE,1234AB\x82\x50\x81\x40\x87\xED\xFC\"\t \x01\x21\x7F\x80";
  std::mt19937 rng(4711);
  for (int round = 0; round < 20000; ++round) {
    // Mostly short records, around the sixteen bytes of one step.
    const std::size_t length = round % 10 == 0 ? rng() % 300 : rng() % 40;
    const std::string bytes = RandomBytes(rng, length, rng() % 2 ? alphabet : "RE,1234AB");
    RecordMarks want;
    for (const char c : bytes) {
      const auto b = static_cast<unsigned char>(c);
      want.quote |= b == '"';
      want.blank |= b >= 0x01 && b <= 0x20;
    }
    want.twin = Cp932HasTwinLeadPlain(bytes);
    ASSERT_EQ(ScanRecordPlain(bytes), want) << round;
#if TAVO_SSE2
    ASSERT_EQ(ScanRecordSse2(bytes), want) << round;
#endif
  }
}

TEST(ReplaceKeyFind, SameAsTheStandardSearch) {
  // Lines of digits and TABs, where keys of digits nearly match everywhere.
  std::mt19937 rng(815);
  for (int round = 0; round < 20000; ++round) {
    const std::string line = RandomBytes(rng, rng() % 120, "0000012\t");
    std::string key = RandomBytes(rng, 1 + rng() % 12, "0012");
    // Often a key that is in the line.
    if (rng() % 2 == 0 && !line.empty()) {
      const std::size_t at = rng() % line.size();
      key = line.substr(at, 1 + rng() % 12);
    }
    const std::size_t from = rng() % (line.size() + 2);
    const std::size_t want = std::string_view(line).find(key, from);
    ASSERT_EQ(FindKeyPlain(line, key, from), want) << round;
#if TAVO_SSE2
    ASSERT_EQ(FindKeySse2(line, key, from), want) << round;
#endif
  }
}

}  // namespace
}  // namespace tavo::replace

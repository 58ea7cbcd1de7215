// The record scan sixteen bytes at a time against the plain scan.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "receipt/record_scan.h"

namespace tavo::receipt {
namespace {

TEST(ScanRecord, SixteenAtATimeAgreesWithThePlainScan) {
  std::mt19937 rng(37);
  // The bytes that matter, their neighbours and double-byte pieces.
  const char pick[] = {',',    '"',    ' ',    '\x01', '\x20', '\x21', '\0',
                       '\x7F', '\x80', '\x81', '\x82', '\xFF', '\t'};
  for (int round = 0; round < 20000; ++round) {
    std::string line(rng() % 120, 'x');
    for (char& c : line) c = rng() % 3 ? 'a' : pick[rng() % sizeof pick];
    const std::size_t want = rng() % (RecordScan::kMaxCommas + 1);
    RecordScan fast;
    RecordScan plain;
    ScanRecord(line, want, fast);
    ScanRecordPlain(line, want, plain);
    ASSERT_EQ(fast.commas, plain.commas) << round;
    for (std::size_t k = 0; k < plain.commas; ++k) ASSERT_EQ(fast.at[k], plain.at[k]) << round;
    ASSERT_EQ(fast.quote, plain.quote) << round;
    ASSERT_EQ(fast.blank, plain.blank) << round;
  }
}

}  // namespace
}  // namespace tavo::receipt

// One pass over the bytes of a receipt record: where its first commas are,
// and whether it holds a double quote or a blank (a byte 01..20). In
// Shift_JIS none of those bytes is ever the trail byte of a character, so the
// bytes say what the decoded text would. With SSE2 sixteen bytes are looked
// at a time; the plain scan is the fallback and the reference of its test.
#pragma once

#include <cstddef>
#include <string_view>

namespace tavo::receipt {

struct RecordScan {
  static constexpr std::size_t kMaxCommas = 40;
  std::size_t commas = 0;           // commas noted: all of them, up to the number asked for
  std::size_t at[kMaxCommas] = {};  // their offsets
  bool quote = false;               // a double quote somewhere in the record
  bool blank = false;               // a byte 01..20 somewhere in the record

  // Field `index` (0-based, at most `commas`): its first byte and one past its last.
  std::size_t Begin(std::size_t index) const { return index == 0 ? 0 : at[index - 1] + 1; }
  std::size_t End(std::size_t index, std::size_t size) const {
    return index < commas ? at[index] : size;
  }
};

// Notes the first `want` commas (want <= RecordScan::kMaxCommas) of the record.
void ScanRecord(std::string_view line, std::size_t want, RecordScan& scan);
void ScanRecordPlain(std::string_view line, std::size_t want, RecordScan& scan);

}  // namespace tavo::receipt

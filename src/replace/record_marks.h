// What decides how a receipt record is rewritten, found in one pass over its
// code page 932 bytes:
// - a double quote or a blank (bytes 01 to 20): a record without them comes
//   out of the split at every comma and the join again as it went in. Both
//   are single bytes below 40, never part of a double-byte code, so the bytes
//   are searched as they stand;
// - a byte that may start a code with a twin (87, ED, EE, FA, FB, FC: what
//   Cp932HasTwinLead looks for): only then can its bytes change when they are
//   decoded and encoded again.
// With SSE2 (every x86-64 CPU) sixteen bytes are examined at a time;
// elsewhere one at a time. Both give the same marks.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/simd.h"

namespace tavo::replace {

struct RecordMarks {
  bool quote = false;
  bool blank = false;
  bool twin = false;
  bool operator==(const RecordMarks&) const = default;
};

RecordMarks ScanRecordPlain(std::string_view bytes);
#if TAVO_SSE2
RecordMarks ScanRecordSse2(std::string_view bytes);
#endif

inline RecordMarks ScanRecord(std::string_view bytes) {
#if TAVO_SSE2
  return ScanRecordSse2(bytes);
#else
  return ScanRecordPlain(bytes);
#endif
}

// The first CR or LF in the bytes (or their size), and the marks of the bytes
// before it: the end of a record and its marks in one pass.
std::size_t FindRecordEndPlain(std::string_view bytes, RecordMarks& marks);
#if TAVO_SSE2
std::size_t FindRecordEndSse2(std::string_view bytes, RecordMarks& marks);
#endif

inline std::size_t FindRecordEnd(std::string_view bytes, RecordMarks& marks) {
#if TAVO_SSE2
  return FindRecordEndSse2(bytes, marks);
#else
  return FindRecordEndPlain(bytes, marks);
#endif
}

// Where the n-th comma (n >= 1) from `from` on stands, or npos when the
// bytes, or their line (at a CR or an LF), end first: the field of a record
// that follows it. Sixteen bytes at a time with SSE2, else one at a time.
std::size_t FindNthCommaPlain(std::string_view bytes, std::size_t from, unsigned n);
#if TAVO_SSE2
std::size_t FindNthCommaSse2(std::string_view bytes, std::size_t from, unsigned n);
#endif

inline std::size_t FindNthComma(std::string_view bytes, std::size_t from, unsigned n) {
#if TAVO_SSE2
  return FindNthCommaSse2(bytes, from, n);
#else
  return FindNthCommaPlain(bytes, from, n);
#endif
}

}  // namespace tavo::replace

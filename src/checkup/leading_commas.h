// The first few commas of a checkup line. A comma is one byte in UTF-8 and
// never part of a longer character, so the search runs on the bytes. With
// SSE2 (every x86-64 CPU) sixteen bytes are examined at a time; elsewhere a
// plain loop reads them one by one. Both find the same commas.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/simd.h"

namespace tavo::checkup {

// Writes the positions of the first `count` commas of `line` to `at` and
// returns how many it found (fewer than `count` when the line has fewer).
// Reads no byte outside the line.
std::size_t FindLeadingCommasPlain(std::string_view line, std::size_t* at, std::size_t count);
#if TAVO_SSE2
std::size_t FindLeadingCommasSse2(std::string_view line, std::size_t* at, std::size_t count);
#endif

inline std::size_t FindLeadingCommas(std::string_view line, std::size_t* at, std::size_t count) {
#if TAVO_SSE2
  return FindLeadingCommasSse2(line, at, count);
#else
  return FindLeadingCommasPlain(line, at, count);
#endif
}

}  // namespace tavo::checkup

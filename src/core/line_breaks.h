// The search for the end of a line in bytes read: the first CR or LF. Lines
// are short, so the search is inline work on sixteen bytes at a time (SSE2)
// rather than a library call per byte value; the plain loop is the fallback
// where SSE2 is missing and the reference of its test.
#pragma once

#include <cstddef>

namespace tavo {

// Offset of the first CR or LF in the n bytes at p, or n when there is none.
std::size_t FindCrOrLf(const char* p, std::size_t n);
std::size_t FindCrOrLfPlain(const char* p, std::size_t n);

}  // namespace tavo

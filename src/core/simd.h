// SSE2, where the target has it (every x86-64 CPU; GCC, Clang and MinGW all
// define __SSE2__ there, MSVC _M_X64). Code that uses it keeps a plain path
// for other targets and a test comparing the two.
#pragma once

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define TAVO_SSE2 1
#else
#define TAVO_SSE2 0
#endif

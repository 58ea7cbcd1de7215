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

namespace tavo {

// Starts bringing the cache lines of an object into the cache, ahead of its
// use: a hint only, which changes no result (and does nothing without SSE2).
template <class T>
inline void PrefetchObject(const T* object) {
  static_assert(sizeof(T) <= 64, "the object's first and last byte span at most two lines");
#if TAVO_SSE2
  const char* first = reinterpret_cast<const char*>(object);
  _mm_prefetch(first, _MM_HINT_T0);
  _mm_prefetch(first + sizeof(T) - 1, _MM_HINT_T0);
#else
  (void)object;
#endif
}

}  // namespace tavo

#include "ff1/ff1_scan.h"

#include <bit>

namespace tavo::ff1 {

namespace {

void NoteTab(LineShape& shape, std::size_t at) {
  if (shape.tabs < 3) shape.tab[shape.tabs] = at;
  ++shape.tabs;
}

}  // namespace

void ShapeLinePlain(const char* p, char a, char b, LineShape& shape) {
  shape = LineShape{};
  std::size_t i = 0;
  for (;; ++i) {
    const char c = p[i];
    if (c == '\n' || c == '\r') break;
    if (c == '\t') NoteTab(shape, i);
    if (c == a && p[i + 1] == b) shape.pair = true;
  }
  shape.length = i;
}

#if TAVO_SSE2
namespace {

// Set bits of a 16-bit mask; std::popcount would call a library routine on
// x86-64 CPUs without POPCNT.
std::size_t Count16(unsigned x) {
  x = x - ((x >> 1) & 0x5555u);
  x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
  x = (x + (x >> 4)) & 0x0F0Fu;
  return (x + (x >> 8)) & 0x1Fu;
}

}  // namespace

void ShapeLineSse2(const char* p, char a, char b, LineShape& shape) {
  shape = LineShape{};
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i first = _mm_set1_epi8(a);
  const __m128i second = _mm_set1_epi8(b);
  for (std::size_t i = 0;; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
    const unsigned stop = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
    unsigned tabs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, tab)));
    unsigned pair = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_and_si128(_mm_cmpeq_epi8(v, first), _mm_cmpeq_epi8(next, second))));
    if (stop != 0) {
      const unsigned before = (stop & (0u - stop)) - 1;  // the bits below the first stop
      tabs &= before;
      pair &= before;
    }
    if (pair != 0) shape.pair = true;
    for (; tabs != 0 && shape.tabs < 3; tabs &= tabs - 1)
      NoteTab(shape, i + static_cast<std::size_t>(std::countr_zero(tabs)));
    shape.tabs += Count16(tabs);
    if (stop != 0) {
      shape.length = i + static_cast<std::size_t>(std::countr_zero(stop));
      return;
    }
  }
}
#endif

}  // namespace tavo::ff1

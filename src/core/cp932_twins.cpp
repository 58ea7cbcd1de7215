#include "core/cp932_twins.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/cp932.h"

namespace tavo {

namespace {

enum : std::uint8_t { kNoPair = 0, kKept = 1, kChanged = 2 };

// Per byte its row (counted from 1) when it leads a double-byte code, else 0; per row
// and second byte whether the pair is a code and whether it is written back
// as it is. Built once from the codec itself, so the two always agree.
struct PairTable {
  std::array<std::uint8_t, 256> row{};
  std::vector<std::uint8_t> pairs;

  PairTable() {
    Text text;
    std::string again;
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
      std::vector<std::uint8_t> kinds(256, kNoPair);
      bool any = false;
      for (int trail = 0x40; trail <= 0xFF; ++trail) {
        const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        text.clear();
        Cp932DecodeAppend(std::string_view(bytes, 2), text);
        if (text.size() != 1) continue;  // the lead byte alone, then the second byte
        again.clear();
        Cp932EncodeAppend(text, again);
        kinds[trail] = again == std::string_view(bytes, 2) ? kKept : kChanged;
        any = true;
      }
      if (!any) continue;
      pairs.insert(pairs.end(), kinds.begin(), kinds.end());
      row[lead] = static_cast<std::uint8_t>(pairs.size() / 256);
    }
  }
};

const PairTable& Pairs() {
  static const PairTable table;
  return table;
}

}  // namespace

namespace {

bool MayLeadTwin(unsigned char b) { return b == 0x87 || b >= 0xED; }

// The first byte from `from` on that may start a code with a twin (87, or ED
// and above), or n: eight bytes at a time, as Cp932MayHoldTwin tests them.
std::size_t NextTwinLead(const unsigned char* p, std::size_t from, std::size_t n) {
  std::size_t i = from;
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHigh = 0x8080808080808080u;
    for (; n - i >= 8; i += 8) {
      std::uint64_t w;
      std::memcpy(&w, p + i, 8);
      if ((w & kHigh) == 0) continue;
      const std::uint64_t fromED = ((w & ~kHigh) + 0x13 * kOnes) & w & kHigh;
      const std::uint64_t x = w ^ (0x87 * kOnes);
      // The lowest byte flagged is exact (a borrow only flags bytes above it).
      const std::uint64_t hits = fromED | ((x - kOnes) & ~x & kHigh);
      if (hits != 0) return i + static_cast<std::size_t>(std::countr_zero(hits)) / 8;
    }
  }
  while (i < n && !MayLeadTwin(p[i])) ++i;
  return i;
}

}  // namespace

bool Cp932ChangesOnReencodeExact(std::string_view bytes) {
  const PairTable& t = Pairs();
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  // Whether the code at i is one written otherwise; else where the next
  // character starts. A byte that leads no code is a character of its own,
  // written back as it is.
  const auto step = [&](std::size_t& i) {
    const unsigned char b = p[i];
    if (b >= 0x80 && t.row[b] != 0 && i + 1 < n) {
      const std::uint8_t kind = t.pairs[(t.row[b] - 1) * 256 + p[i + 1]];
      if (kind == kChanged) return true;
      if (kind == kKept) {
        i += 2;
        return false;
      }
    }
    ++i;
    return false;
  };
  if (n < 32) {
    // A field: its codes read one after another, eight ASCII bytes at a time.
    for (std::size_t i = 0; i < n;) {
      if (n - i >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        if ((w & 0x8080808080808080u) == 0) {
          i += 8;
          continue;
        }
      }
      if (step(i)) return true;
    }
    return false;
  }
  // A whole record: only around the bytes that may start such a code. A byte
  // below 40 is never the second byte of a code, so a character starts right
  // after the last one before such a byte; the codes are read from there.
  for (std::size_t i = 0;;) {  // a character starts at i
    const std::size_t lead = NextTwinLead(p, i, n);
    if (lead == n) return false;
    std::size_t from = lead;
    while (from > i && p[from - 1] >= 0x40) --from;
    for (i = from; i <= lead;) {
      if (step(i)) return true;
    }
  }
}

}  // namespace tavo

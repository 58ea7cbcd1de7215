#include "core/cp932_twins.h"

#include <array>
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

bool Cp932ChangesOnReencodeExact(std::string_view bytes) {
  const PairTable& t = Pairs();
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    // Eight ASCII bytes at a time.
    if (n - i >= 8) {
      std::uint64_t w;
      std::memcpy(&w, p + i, 8);
      if ((w & 0x8080808080808080u) == 0) {
        i += 8;
        continue;
      }
    }
    const unsigned char b = p[i];
    // A byte that leads no code is a character of its own, written back as it is.
    if (b >= 0x80 && t.row[b] != 0 && i + 1 < n) {
      const std::uint8_t kind = t.pairs[(t.row[b] - 1) * 256 + p[i + 1]];
      if (kind == kChanged) return true;
      if (kind == kKept) {
        i += 2;
        continue;
      }
    }
    ++i;
  }
  return false;
}

}  // namespace tavo

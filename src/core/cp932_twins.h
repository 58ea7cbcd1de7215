// Whether code page 932 bytes come back unchanged when their text is encoded
// again. They do unless a character among them has two or three codes and
// the bytes hold one Windows does not write (ED40 where it writes FA5C, 8790
// for 81E0 ...). Exact, where Cp932HasTwinLead only looks for the bytes such
// codes start with (which also occur as second bytes of ordinary characters,
// 美 being 94 FC), so a field with no such code is copied as it is.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace tavo {

// True when a byte that may start a code with a twin (87, ED, EE, FA-FC;
// looked for as 87 or ED and above) is among the bytes, eight at a time.
inline bool Cp932MayHoldTwin(std::string_view bytes) {
  const char* p = bytes.data();
  const std::size_t n = bytes.size();
  auto any = [](std::uint64_t w) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHigh = 0x8080808080808080u;
    // ED-FF: the low seven bits plus 13 carry into the high bit, which is set.
    const std::uint64_t fromED = ((w & ~kHigh) + 0x13 * kOnes) & w & kHigh;
    const std::uint64_t x = w ^ (0x87 * kOnes);  // a zero byte where w has 87
    return (fromED | ((x - kOnes) & ~x & kHigh)) != 0;
  };
  auto load = [](const char* at, std::size_t size) {
    std::uint64_t w = 0;
    std::memcpy(&w, at, size);
    return w;
  };
  if (n >= 8) {
    for (std::size_t i = 0; i + 8 < n; i += 8) {
      if (any(load(p + i, 8))) return true;
    }
    return any(load(p + n - 8, 8));
  }
  if (n >= 4) return any(load(p, 4) | load(p + n - 4, 4) << 32);
  std::uint64_t w = 0;
  for (std::size_t i = 0; i < n; ++i) w |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
  return any(w);
}

// The exact check where the bytes may hold a twin code.
bool Cp932ChangesOnReencodeExact(std::string_view bytes);

// Cp932Encode(Cp932Decode(bytes)) != bytes, without decoding.
inline bool Cp932ChangesOnReencode(std::string_view bytes) {
  return Cp932MayHoldTwin(bytes) && Cp932ChangesOnReencodeExact(bytes);
}

}  // namespace tavo

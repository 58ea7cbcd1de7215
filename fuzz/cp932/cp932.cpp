// Code page 932: decoded text always encodes; bytes without a duplicate code
// (a character that has two codes) come back byte for byte, and so does any
// encoder output without one.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_set>

#include "core/cp932.h"

using namespace tavo;

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "cp932: %s\n", what);
  std::abort();
}

// The characters with more than one code: a double-byte code that decodes to
// one character which encodes to another code.
const std::unordered_set<char16_t>& Duplicates() {
  static const std::unordered_set<char16_t> set = [] {
    std::unordered_set<char16_t> s;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
        const Text t = Cp932Decode(code);
        if (t.size() == 1 && Cp932Encode(t) != code) s.insert(t[0]);
      }
    }
    return s;
  }();
  return set;
}

bool HasDuplicate(const Text& text) {
  for (char16_t c : text)
    if (Duplicates().count(c)) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const Text text = Cp932Decode(bytes);
  Check(Cp932CanEncode(text), "decoded text does not encode");
  if (!HasDuplicate(text)) Check(Cp932Encode(text) == bytes, "bytes do not come back");
  Text appended = u"x";
  Cp932DecodeAppend(bytes, appended);
  Check(appended == u"x" + text, "appending decodes otherwise");

  // The same bytes read as UTF-16 code units.
  Text units(size / 2, u'\0');
  for (std::size_t i = 0; i + 1 < size; i += 2)
    units[i / 2] = static_cast<char16_t>(data[i] | data[i + 1] << 8);
  const std::string encoded = Cp932Encode(units);
  std::string appendedBytes = "x";
  Cp932EncodeAppend(units, appendedBytes);
  Check(appendedBytes == "x" + encoded, "appending encodes otherwise");
  const Text decoded = Cp932Decode(encoded);
  if (!HasDuplicate(decoded)) Check(Cp932Encode(decoded) == encoded, "encoder output is not stable");
  return 0;
}

// StrConv on any text and any combination of conversions: no crash, the
// documented refusals, results within the length limit.
#include <cstdint>
#include <cstdlib>

#include "core/strconv.h"

using namespace tavo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const unsigned conversion = data[0] & 0x3F;
  Text text((size - 1) / 2, u'\0');
  for (std::size_t i = 1; i + 1 < size; i += 2)
    text[(i - 1) / 2] = static_cast<char16_t>(data[i] | data[i + 1] << 8);
  const Text out = StrConv(text, conversion);
  if (out.size() > 1024) std::abort();
  const bool refused = conversion == 0 || (conversion & (UpperCase | LowerCase)) == (UpperCase | LowerCase) ||
                       (conversion & (Wide | Narrow)) == (Wide | Narrow) ||
                       (conversion & (Katakana | Hiragana)) == (Katakana | Hiragana);
  if ((refused || text.empty()) && !out.empty()) std::abort();
  return 0;
}

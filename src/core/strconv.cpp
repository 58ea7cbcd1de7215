// TEMPORARY: stand-in until the full mapping lands.
#include "core/strconv.h"

namespace tavo {

Text StrConv(TextView src, unsigned conversion) {
  if (src.empty() || src.size() > 1024) return Text();
  (void)conversion;
  return Text(src);
}

}  // namespace tavo

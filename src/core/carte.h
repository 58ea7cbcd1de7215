// Chart-number normalisation shared by the linkage converters.
#pragma once

#include "core/text.h"

namespace tavo {

// A text that reads as a non-zero integer is written in decimal without
// leading zeros; anything else comes back unchanged.
Text GetCarte(TextView text);

}  // namespace tavo

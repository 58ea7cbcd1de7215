// The settings file "user.ini" in the program folder, with the semantics of
// Windows' private-profile calls: section and key names compared without
// letter case, values trimmed, the file read on every call, created on first
// write, written in code page 932, everything else kept as it was.
#pragma once

#include <filesystem>

#include "core/text.h"

namespace tavo {

inline constexpr char kIniFileName[] = "user.ini";

Text IFReadIniStr(const std::filesystem::path& programDir, TextView pMKey, TextView pSKey,
                  TextView pDef);
// False when the file could not be written (the caller reports nothing).
bool IFWriteIniStr(const std::filesystem::path& programDir, TextView pMKey, TextView pSKey,
                   TextView pPara);

}  // namespace tavo

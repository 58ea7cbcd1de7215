// The run history "実行履歴.csv" in the program folder: one line per run and one
// per move of the confirmation window, for support staff asked about a claim.
// It holds no patient data: file names, sizes, hashes, counts and messages with
// every quoted value masked.
#pragma once

#include <filesystem>
#include <vector>

#include "core/result.h"
#include "core/text.h"

namespace tavo {

inline constexpr char16_t kRunHistoryName[] = u"実行履歴.csv";
inline constexpr char16_t kRunHistoryOldName[] = u"実行履歴_old.csv";

// Appends the line of one run (nothing when the run has no operation name).
// A history that cannot be written is left as it is: the run is never affected.
void RecordRun(const std::filesystem::path& programDir, const RunResult& result) noexcept;

// Appends the line of a move of the confirmation window: the files moved and
// the folder they went to.
void RecordMove(const std::filesystem::path& programDir, const std::vector<Text>& moved,
                const std::filesystem::path& destination) noexcept;

}  // namespace tavo

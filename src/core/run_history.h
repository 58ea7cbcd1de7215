// The run history "実行履歴.csv" in the program folder (Shift_JIS, CR LF, a
// header line, so Excel opens it): one line per run and one per move of the
// confirmation window, for support staff asked about a rejected claim.
// It holds no patient data: file names, sizes, fingerprints, counts, and the
// messages with every quoted value masked.
#pragma once

#include <cstdint>
#include <filesystem>

#include "core/output_folder.h"
#include "core/result.h"
#include "core/text.h"

namespace tavo {

inline constexpr char16_t kRunHistoryName[] = u"実行履歴.csv";
inline constexpr char16_t kRunHistoryOldName[] = u"実行履歴_old.csv";
// Past this size the history becomes 実行履歴_old.csv and a new one starts.
inline constexpr std::uintmax_t kRunHistoryLimit = 1024 * 1024;
// A run whose inputs together stay within this size gets a SHA-256
// fingerprint of each: a month's claim and outpatient files are far smaller,
// and hashing more would cost the run noticeable time (about 3 s a gigabyte).
inline constexpr std::uintmax_t kFingerprintLimit = 32 * 1024 * 1024;

// Appends the line of one run (nothing when the run has no operation name).
// A history that cannot be written is left as it is: the run is never affected.
void RecordRun(const std::filesystem::path& programDir, const RunResult& result) noexcept;

// Appends the line of a move of the confirmation window: the files moved, the
// folder they went to, and what stayed behind.
void RecordMove(const std::filesystem::path& programDir, const OutputMoveResult& move) noexcept;

// A message as the history keeps it: every text in 「」, "" or '' (where the
// runs quote values and names) becomes "…", and line breaks become blanks.
Text MaskQuotedValues(TextView message);

}  // namespace tavo

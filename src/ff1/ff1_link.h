// The whole FF1 linkage of one click: merge the FF1 folder into the
// intermediate "G_FF1_all.txt", build the linkage CSV from it, remove it.
#pragma once

#include <filesystem>

#include "core/env.h"
#include "core/result.h"
#include "core/text.h"

namespace tavo::ff1 {

namespace fs = std::filesystem;

inline constexpr char kMergedFileName[] = "G_FF1_all.txt";
inline constexpr char kSpecFileName[] = "siyo4.csv";

struct FF1LinkParams {
  Text InDir;          // the FF1 folder, as the setting holds it
  fs::path SpecCsv;    // the specification CSV
  fs::path OutDir;     // where "<year-month>_ff1all.csv" goes
  fs::path AppendCsv;  // the linkage file to append; empty for none
  Text YearMonth;      // as entered; used trimmed
};

// The FF1 folder with a final path delimiter.
Text WithFinalDelimiter(TextView dir);

// Runs the linkage. A year-month that is not six digits YYYYMM with a month
// from 01 to 12 (blank: "連携ファイル該当年月を入力してください") is refused
// before anything is touched. Otherwise the result holds information
// messages: the success text (and, without recelist.csv, that the chart-number
// column holds data ids) with the counts, or "エラーが発生しました:" followed
// by the error text (then `stopped`). The merged file is gone afterwards in
// every case.
RunResult RunFF1Link(const FF1LinkParams& params);

}  // namespace tavo::ff1

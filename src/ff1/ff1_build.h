// The EHR linkage CSV built from the merged FF1 file through the column
// specification CSV ("siyo4.csv").
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/text.h"

namespace tavo::ff1 {

namespace fs = std::filesystem;

inline constexpr int kColumnCount = 89;  // columns 0 to 88 of the numbered header

struct SpecCSV {
  std::vector<Text> Headers;                  // 89 header texts
  std::map<Text, int> MapCodePayloadToIndex;  // "code|payload" -> column
};

struct TOutputRow {
  Text DataId;
  std::int32_t YearMonth = 0;
  std::vector<Text> Cols;  // 89 texts
};

// Quote-aware split at commas: "" inside quotes is one quote, quotes are never copied.
FieldList ParseCSV(TextView line);

// The number between the first "[" and the first "]", trimmed; -1 otherwise.
std::int32_t ExtractIndexFromBracket(TextView text);

// Reads the specification CSV (Shift_JIS). Throws OpError.
SpecCSV LoadSpecCSV(const fs::path& SpecCsvPath);

// Columns without double quotes, joined by ","; a comma of a column becomes the
// full-width "，", so that no value shifts the columns after it. `widened`,
// when given, counts the columns that held a comma.
Text MakeCSVLine(const std::vector<Text>& cols, std::size_t* widened = nullptr);

// Code page 932 bytes; a character the code page cannot hold becomes "?".
std::string Utf16ToCP932BytesLossy(TextView text);

// Each line followed by CR LF, in code page 932, written atomically; missing
// folders are created. Throws OpError.
void SaveStringListAsCP932Lossy(const std::vector<Text>& lines, const fs::path& fileName);

// Refuses a year-month text that would not make a plain file name in OutDir
// (a path separator or a character Windows forbids). Throws OpError.
void CheckYearMonthText(TextView YearMonthText);

// The output name: YearMonthText + "_ff1all.csv".
Text FF1AllFileName(TextView YearMonthText);

// What a build wrote, for the run's counts.
struct BuildCounts {
  std::size_t rows = 0;      // patient rows
  std::size_t appended = 0;  // lines of the file to append
  std::size_t widened = 0;   // values whose commas became "，"
  fs::path recelist;         // the receipt list read; empty when there is none
};

// Builds OutDir/<YearMonthText>_ff1all.csv from the merged FF1 file. Throws
// OpError with the message to show; nothing is written then. Returns the
// path of the written file; `counts`, when given, receives what it wrote.
fs::path BuildEHRCSV_FromFF1_andSpecCSV(const fs::path& MergedFF1Path, const fs::path& SpecCsvPath,
                                        const fs::path& OutDir, const fs::path& AppendCsvPath,
                                        TextView YearMonthText, BuildCounts* counts = nullptr);

}  // namespace tavo::ff1

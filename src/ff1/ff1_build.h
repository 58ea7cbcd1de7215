// The EHR linkage CSV built from the merged FF1 file through the column
// specification CSV ("siyo4.csv").
#pragma once

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

// Columns without double quotes, joined by ",".
Text MakeCSVLine(const std::vector<Text>& cols);

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

// Builds OutDir/<YearMonthText>_ff1all.csv from the merged FF1 file. Throws
// OpError with the message to show; nothing is written then. Returns the
// path of the written file.
fs::path BuildEHRCSV_FromFF1_andSpecCSV(const fs::path& MergedFF1Path, const fs::path& SpecCsvPath,
                                        const fs::path& OutDir, const fs::path& AppendCsvPath,
                                        TextView YearMonthText);

}  // namespace tavo::ff1

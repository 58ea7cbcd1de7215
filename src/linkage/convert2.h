// Converter 2: an outpatient file becomes the EHR linkage CSV, in the
// numbered-header form for consultation months before June 2026 (positional
// layout) and in the long-header form from then on (item-code layout). Both
// conversions stream the file line by line. Also the outpatient file
// anonymizer of converter 2's window.
#pragma once

#include <array>
#include <filesystem>
#include <unordered_map>
#include <vector>

#include "core/env.h"
#include "core/result.h"
#include "core/text.h"
#include "linkage/formats.h"

namespace tavo::linkage {

namespace fs = std::filesystem;

// First consultation month of the item-code layout.
inline constexpr std::int32_t kItemCodeFrom = 202606;

// Field 3 of a TAB-separated line, untrimmed; throws OpError (index error) when
// the line has fewer than four fields.
Text GetNgt(TextView line);

// The result of selecting a file in converter 2's window.
struct Selection {
  std::vector<Text> lines;  // its first two lines by whole-file loading (all it needs)
  bool accepted = false;    // at least one line: the path goes into Edit1
  bool hasNgt = false;      // the year-month could be read from line 2
  Text ngt;                 // that year-month, untrimmed
  RunResult messages;       // warning or error to show, in order
};
Selection SelectFile2(TextView path);

// Data identification number -> chart number, from "recelist.csv".
using DataIdMap = std::unordered_map<Text, Text>;
// Reads the list when the file exists; an empty map otherwise.
DataIdMap LoadDataIdMap(const fs::path& recelist);
Text ConvCarte(TextView dataId, const DataIdMap& map);

class BlankReport;

// The two conversions (input path, output path). Throw OpError; the output is
// then left as it was. With a report, every value that a rule blanked is
// noted in it (not the marks for a value not measured, nor values that were
// empty already), and the report is put in place with the output.
void ConvertTSVtoCSV_Reorder(const fs::path& input, const fs::path& output,
                             const std::array<int, kNumberedColumnCount>& order,
                             BlankReport* report = nullptr);
void ConvertNewFmt(const fs::path& input, const fs::path& output, const fs::path& recelist,
                   BlankReport* report = nullptr);

// The conversion button with the path of Edit1 and the year-month of the
// selection: chooses the layout, writes mstNgt + "_carte.csv" into the
// program folder and sets the hand-over to the confirmation window. When
// values were blanked, their report is the second file of the hand-over and
// the message says how many.
RunResult Conv2(const Env& env, TextView pstFile, TextView mstNgt);

// The anonymizer: every data line loses its second field.
void BlankSecondColumn(const fs::path& input, const fs::path& output);
// One data line (bytes, without its break) with its second field blanked,
// appended to `out` as code page 932. BlankSecondColumnBytes cuts the fields
// on the bytes; BlankSecondColumnText decodes, splits, joins and encodes
// again, and is what the first must always equal.
void BlankSecondColumnBytes(std::string_view line, std::string& out);
void BlankSecondColumnText(std::string_view line, std::string& out);
// The output name: the input's file name with every ".txt" -> "ano.txt".
Text AnonymizedName(TextView inputPath);
// The anonymizer button with the path of Edit1.
RunResult Anonymize(const Env& env, TextView pstFile);

}  // namespace tavo::linkage

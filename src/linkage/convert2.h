// Converter 2: an outpatient file becomes the EHR linkage CSV, in the
// numbered-header form for consultation months before June 2026 (positional
// layout) and in the long-header form from then on (item-code layout). Both
// conversions stream the file line by line. Also the outpatient file
// anonymizer of converter 2's window.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
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

// What a conversion did, in numbers.
struct ConvertCounts {
  std::size_t lines = 0;       // lines read after the header
  std::size_t rows = 0;        // rows written after the header
  std::size_t blankLines = 0;  // blank lines skipped (item-code layout)
  std::size_t widened = 0;     // values whose commas became "，"
};

// The two conversions (input path, output path). Throw OpError; the output is
// then left as it was. A value's commas become "，", so that it keeps its
// column. With a report, every value that a rule blanked is noted in it (not
// the marks for a value not measured, nor values that were empty already),
// and every value widened, and the report is put in place with the output.
ConvertCounts ConvertTSVtoCSV_Reorder(const fs::path& input, const fs::path& output,
                                      const std::array<int, kNumberedColumnCount>& order,
                                      BlankReport* report = nullptr);
ConvertCounts ConvertNewFmt(const fs::path& input, const fs::path& output, const fs::path& recelist,
                            BlankReport* report = nullptr);

// The test of an outpatient data file that converter 2's selection makes,
// and that every run on such a file makes again before it writes: the
// year-month (untrimmed) when line 2 gives one. Otherwise nothing, and in
// `result` a warning that names the file and the kind expected (or, as the
// selection gives them, the warning of an empty file and the error of one
// that cannot be read, which stops the run).
std::optional<Text> OutpatientYearMonth(TextView pstFile, RunResult& result);
// The anonymizer's test of the same kind, which needs no year-month: line 2,
// the first patient's, is TAB-separated. False, with the warning, when not.
bool IsOutpatientFile(TextView pstFile, RunResult& result);

// The conversion button with the path of Edit1: reads the year-month from
// the file again, chooses the layout by it, writes year-month + "_carte.csv"
// into the program folder and sets the hand-over to the confirmation window.
// When values were blanked or widened, their report is the second file of
// the hand-over.
RunResult Conv2(const Env& env, TextView pstFile);

// The anonymizer: every data line loses its second field.
struct BlankCounts {
  std::size_t lines = 0;    // lines read after the header
  std::size_t blanked = 0;  // of them, lines that have a second field
};
BlankCounts BlankSecondColumn(const fs::path& input, const fs::path& output);
// One data line (bytes, without its break) with its second field blanked,
// appended to `out` as code page 932. BlankSecondColumnBytes cuts the fields
// on the bytes and says whether there was a second field;
// BlankSecondColumnText decodes, splits, joins and encodes again, and is what
// the first must always equal.
bool BlankSecondColumnBytes(std::string_view line, std::string& out);
void BlankSecondColumnText(std::string_view line, std::string& out);
// The output name: the input's file name with every ".txt" -> "ano.txt".
Text AnonymizedName(TextView inputPath);
// The anonymizer button with the path of Edit1: an outpatient file only.
RunResult Anonymize(const Env& env, TextView pstFile);

}  // namespace tavo::linkage

// Converter 1: an outpatient file of the positional layout becomes the EHR
// linkage CSV with the short header.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/env.h"
#include "core/result.h"
#include "core/text.h"

namespace tavo::linkage {

struct Convert1Output {
  std::vector<Text> lines;  // header and rows, empty for an input of no lines
  Text yearMonth;           // field 3 of the first usable data line, untrimmed
};

// The conversion of the loaded lines. Throws OpError when an HbA1c or
// uric-acid value can be neither kept nor formatted (names line, column, value).
Convert1Output ConvertLines(const std::vector<Text>& lines);
// The same on lines of code page 932 bytes, read as the conversion button
// streams them: lines without a double quote are split on their bytes and
// only the fields the row takes are decoded.
Convert1Output ConvertLinesBytes(const std::vector<std::string>& lines);

// Converter 1's split of a line of code page 932 bytes without double
// quotes: at every comma and TAB. SSE2 finds sixteen bytes' separators at a
// time; the plain split is its fallback and the reference of its test.
void SplitFieldsBytes(std::string_view line, std::vector<std::string_view>& fields);
void SplitFieldsBytesPlain(std::string_view line, std::vector<std::string_view>& fields);

// The eleven values of one output row from the fields of a usable line.
// `lineNumber` (1-based) only names the line in an error.
FieldList ConvertRow(const FieldList& fields, TextView yearMonth, long long lineNumber);

// "変換前ファイルを選択します", "正しいFFファイルではありません。", "ファイルがありません。"
Text SelectPromptText();
Text NotFfFileText();
Text NoFileText();

// The conversion button: checks the path, loads the file (whole-file
// loading), converts and writes year-month + "_carte.csv" into the program
// folder. Sets gstMsg / gstFile1 when the confirmation window is to open.
RunResult Cnv(const Env& env, TextView pstFile);

}  // namespace tavo::linkage

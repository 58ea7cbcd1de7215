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

// What a conversion did, in numbers (the title line is not counted).
struct Convert1Counts {
  std::size_t lines = 0;     // lines read after the title
  std::size_t rows = 0;      // rows written
  std::size_t tooShort = 0;  // lines of fewer than 53 fields
  std::size_t noChart = 0;   // lines with an empty chart number
  std::size_t repeated = 0;  // lines of a patient already written
  std::size_t widened = 0;   // values whose commas became "，"
};

struct Convert1Output {
  std::vector<Text> lines;  // header and rows, empty for an input of no lines
  Text yearMonth;           // field 3 of the first usable data line, untrimmed
  Convert1Counts counts;
};

// The conversion of the loaded lines. Throws OpError when an HbA1c or
// uric-acid value can be neither kept nor formatted (names line, column, value).
Convert1Output ConvertLines(const std::vector<Text>& lines);
// The same on lines of code page 932 bytes, read as the conversion button
// streams them: lines without a double quote are split on their bytes and
// only the fields the row takes are decoded.
Convert1Output ConvertLinesBytes(const std::vector<std::string>& lines);

// Converter 1's split of a line of code page 932 bytes without double
// quotes: at every TAB, keeping empty fields (an empty line is one empty
// field). SSE2 finds sixteen bytes' TABs at a time; the plain split is its
// fallback and the reference of its test.
void SplitFieldsBytes(std::string_view line, std::vector<std::string_view>& fields);
void SplitFieldsBytesPlain(std::string_view line, std::vector<std::string_view>& fields);

// The eleven values of one output row from the fields of a usable line.
// `lineNumber` (1-based) only names the line in an error.
FieldList ConvertRow(const FieldList& fields, TextView yearMonth, long long lineNumber);

// "変換前ファイルを選択します", "正しいFFファイルではありません。", "ファイルがありません。"
Text SelectPromptText();
Text NotFfFileText();
Text NoFileText();
// The kind the converters and the anonymizer expect, after the file's name
// in the warning of a run given a file of another kind.
Text NotOutpatientText();

// Count lines of the converters: "12行を読み、10行を書き込みました（見出し行を除く）",
// "カンマを全角に置換した値: 2件".
Text ReadWrittenText(std::size_t lines, std::size_t rows);
Text WidenedText(std::size_t values);

// The conversion button: checks the path and that the file is an
// outpatient file, loads it (whole-file loading), converts and writes
// year-month + "_carte.csv" into the program folder; a file of no patient
// row writes nothing. A value's commas become "，", so that it keeps its
// column. Sets gstMsg / gstFile1 when the confirmation window is to open.
RunResult Cnv(const Env& env, TextView pstFile);

}  // namespace tavo::linkage

// Patient-number replacement: change-definition files (old number -> new
// number) and the runs that rewrite outpatient files (mode 1) and receipt
// files (mode 2) with them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/env.h"
#include "core/result.h"
#include "core/text.h"
#include "replace/number_map.h"

namespace tavo::replace {

// "変更定義ファイルがファイルがありません。"
Text NoDefinitionText();
// "変換定義ファイルではありません。"
Text NotDefinitionText();

// Left-pads with "0" to 10 characters; longer numbers stay whole.
Text ZeroFill10(TextView number);

// Loads the definition file read line by line: padded (CsvSet, mode 1) or
// unpadded (CsvSet2, mode 2). False, with a message in `result`, when the file
// is missing or cannot be read; the map then holds no pair.
bool CsvSet(TextView pstFile, NumberMap& map, RunResult& result);
bool CsvSet2(TextView pstFile, NumberMap& map, RunResult& result);

// The acceptance check at selection: the file's first line by whole-file
// loading, or none (throws OpError when it cannot be read). Accepted when
// there is one.
std::vector<Text> LoadDefinitionLines(TextView pstFile);

// The first `count` fields (or fewer, when the text has fewer) that
// ParseCommaTxt with strict off gives, without splitting the rest of the text.
FieldList ParseLeadingFields(TextView text, char16_t delimiter, std::size_t count);

// One mode-1 line: when its second field (trimmed) is an old number, every
// occurrence of it in the line becomes the new number. Throws OpError (index
// error) when the line has fewer than two fields.
Text ReplaceLine(const Text& line, const NumberMap& map);
// The same on a line of code page 932 bytes, appending the output line's bytes
// (as WrtSet writes the text, without line end) to `out`. Lines whose key is
// made of bytes below 40 (digits, signs) work on the bytes; a line whose first
// two fields open with a quote, or whose key has other bytes and is found,
// goes through ReplaceLine.
void ReplaceLineBytes(std::string_view line, const NumberMap& map, std::string& out);

// One mode-2 record as written: an IR record's payer ("1" or "2") sets the
// output's suffix, an RE record's chart number (field 13, trimmed) becomes its
// new number, and a record with a quote or a blank (or an IR / RE record) is
// split at every comma and joined again. Throws OpError (index error) when an
// IR or RE record is too short.
Text ReplaceRecord(Text line, const NumberMap& map, Text& suffix);
// The same on a record of code page 932 bytes, appending the output bytes
// (without line end) to `out`. Records without a quote work on the bytes,
// blanks and all; a record with a quote, and the empty one, go through
// ReplaceRecord.
void ReplaceRecordBytes(std::string_view line, const NumberMap& map, Text& suffix,
                        std::string& out);

// Output names: every ".txt" -> "R.txt" (mode 1); every ".UKE" -> suffix (mode 2).
Text OutputName1(TextView inputName);
Text OutputName2(TextView inputName, TextView suffix);

// Mode-1 run on one outpatient file; on success writes one file into
// env.programDir and sets gstMsg / gstFile1 (gstFile2 empty).
RunResult Cnv(const Env& env, TextView pstFile, const NumberMap& map);
// Mode-2 run on one receipt file; same contract. `stopped` marks a failure
// that ends the whole click (index error).
// The run refuses an output name that `click` (the runs of the same click so
// far) has already written, and adds its output to `click`.
RunResult Cnv2(const Env& env, TextView pstFile, const NumberMap& map,
               ClickOutputs* click = nullptr);

// Whole runs as the run button makes them, for callers without windows:
// load the definition, then convert (mode 2: 社保 file, then 国保 file unless
// the first run stopped the click).
RunResult RunMode1(const Env& env, TextView definition, TextView file);
std::vector<RunResult> RunMode2(const Env& env, TextView definition, TextView shahoFile,
                                TextView kokuhoFile);

}  // namespace tavo::replace

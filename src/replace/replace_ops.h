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

// What became of the patient number of a line or record, for the run's counts.
enum class NumberOutcome {
  kNotRead,   // a record that holds none (mode 2: not an RE record)
  kBlank,     // the number is empty or blank
  kReplaced,  // found in the map and replaced
  kNotFound,  // not in the map: left as it stands
};

// One mode-1 line, appended to `out`: when its second field (trimmed) is an
// old number, every occurrence of it in the line becomes the new number.
// Throws OpError (index error) when the line has fewer than two fields.
NumberOutcome ReplaceLine(TextView line, const NumberMap& map, Text& out);
// The same on a line of code page 932 bytes: the occurrences are replaced in
// the bytes, every other byte stays as it stands. A key made of bytes below
// 40 (digits, signs), which are never part of a double-byte code, is searched
// in the bytes; other keys, and the key of a line whose first two fields open
// with a quote, are found in the line's text.
NumberOutcome ReplaceLineBytes(std::string_view line, const NumberMap& map, std::string& out);

// One mode-2 record, appended to `out`, read as the split at every comma
// (quotes dropped) reads it: an IR record's payer ("1" or "2") sets the
// output's suffix; an RE record whose chart number (field 13, trimmed) is an
// old number gets the new number in place of that field. Every other
// character stays as it stands. Throws OpError (index error) when an IR or
// RE record is too short.
NumberOutcome ReplaceRecord(TextView line, const NumberMap& map, Text& suffix, Text& out);
// The same on a record of code page 932 bytes.
NumberOutcome ReplaceRecordBytes(std::string_view line, const NumberMap& map, Text& suffix,
                                 std::string& out);

// Output names: every ".txt" -> "R.txt" (mode 1); every ".UKE" -> suffix (mode 2).
Text OutputName1(TextView inputName);
Text OutputName2(TextView inputName, TextView suffix);

// Mode-1 run on one outpatient file; on success writes one file into
// env.programDir and sets gstMsg / gstFile1 (gstFile2 empty) and the counts.
// Each run names itself for the run history, with the map's definition file
// and its input.
RunResult Cnv(const Env& env, TextView pstFile, const NumberMap& map);
// Mode-2 run on one receipt file; same contract. `stopped` marks a failure
// that ends the whole click (index error).
// The run refuses an output name that `click` (the runs of the same click so
// far) has already written, and adds its output to `click`.
RunResult Cnv2(const Env& env, TextView pstFile, const NumberMap& map,
               ClickOutputs* click = nullptr);

// Loads the definition of a run of `mode` (1: CsvSet, 2: CsvSet2). False when
// the run cannot start; `result`, named for the run history with the
// definition and `inputs`, then says why.
bool LoadForRun(int mode, TextView definition, const std::vector<Text>& inputs, NumberMap& map,
                RunResult& result);

// Whole runs as the run button makes them, for callers without windows:
// load the definition, then convert (mode 2: 社保 file, then 国保 file unless
// the first run stopped the click).
RunResult RunMode1(const Env& env, TextView definition, TextView file);
std::vector<RunResult> RunMode2(const Env& env, TextView definition, TextView shahoFile,
                                TextView kokuhoFile);

}  // namespace tavo::replace

// The outpatient input layouts and the three header lines of the EHR linkage
// CSV ("電カル連携ファイル"), in one place for every writer of that file.
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "core/text.h"

namespace tavo::linkage {

// Item-code layout: 95 codes; a code's index is its default column.
inline constexpr int kCodeCount = 95;
// Index of a code in the code table (exact, upper-case), -1 when unknown.
int CodePosition(std::string_view code);
// The code at a code-table position ("PT_0001" at 0 … "IO_0104" at 94).
std::string_view CodeAt(int position);
const std::array<std::string_view, kCodeCount>& CodeTable();

// Short header (converter 1): twelve names, data rows carry the first eleven.
inline constexpr int kShortHeaderNames = 12;
inline constexpr int kShortRowFields = 11;
Text ShortHeaderLine();

// Numbered header (converter 2, positional layout): 89 columns.
inline constexpr int kNumberedColumnCount = 89;
// Source position that marks the always-empty column 16.
inline constexpr int kEmptyColumnMarker = 99;
// The 89 header texts ("[0] カルテ番号" …), in column order.
const std::vector<Text>& NumberedHeaderColumns();
// The 89 texts joined by ",".
Text NumberedHeaderLine();
// For each numbered-header column, the positional-layout source position
// (kEmptyColumnMarker for column 16).
const std::array<int, kNumberedColumnCount>& NumberedOrder();

// Long header (converter 2, item-code layout; health checkup import): 100 columns.
inline constexpr int kLongColumnCount = 100;
// The 100 header texts (column 16 is empty), in column order.
const std::vector<Text>& LongHeaderColumns();
// The 100 texts joined by ",".
Text LongHeaderLine();
// For each long-header column, the code-table position of the item that
// fills it in the item-code layout, or -1 when the column has no source.
const std::array<int, kLongColumnCount>& LongColumnMap();

// Splits a line at TAB: empty fields kept, a line with no characters has none.
FieldList SplitTab(TextView line);
// Same on raw bytes (TAB is one byte in code page 932).
void SplitTabRaw(std::string_view line, std::vector<std::string_view>& fields);

// File name of a linkage CSV: year-month + "_carte.csv".
Text CarteFileName(TextView yearMonth);

}  // namespace tavo::linkage

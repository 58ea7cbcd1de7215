// FF1 files (outpatient form 1) and the merge of a folder of them down to each
// patient's latest year-month.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "core/text.h"

namespace tavo::ff1 {

namespace fs = std::filesystem;

enum class FF1Encoding { ShiftJIS, UTF8 };

// One data line held for the merge.
struct TFF1Row2 {
  Text DataId;             // field 2, trimmed
  std::int32_t YearMonth;  // field 3, ParseYearMonth
  Text Line;               // the whole line as read
};

// A non-blank line that contains "施設コード" or whose first field, trimmed, is
// not a 32-bit integer. A blank line is not a header line.
bool IsHeaderLine(TextView Line);

// Cut at every TAB; empty fields count, an empty text has no fields.
FieldList SplitTSV(TextView text);

// Trimmed integer reading; 0 when the text is not an integer.
std::int32_t ParseYearMonth(TextView text);

// UTF-8 when the file begins with EF BB BF, otherwise Shift_JIS. Throws OpError
// when the file cannot be opened.
FF1Encoding DetectEncodingFromFile(const fs::path& AFile);

// "G_FF1*.txt" files of the folder, or when there are none "G_FF1*.tsv" files,
// letter case ignored, sorted by name (ordinal, letter case ignored).
std::vector<fs::path> ListFF1Files(const fs::path& InDir);

// Letter case of ASCII letters ignored (a-z as A-Z), otherwise UTF-16 code
// unit order, a proper prefix first. <0, 0, >0.
int CompareTextAsciiFold(TextView a, TextView b);

// What a merge read and kept, for the run's counts.
struct MergeCounts {
  std::vector<fs::path> files;  // the FF1 files read, in order
  std::size_t rows = 0;         // data lines taken (blank, short and header lines are not)
  std::size_t patients = 0;     // data ids
  std::size_t kept = 0;         // rows of each data id's latest month
};

// Merges every FF1 file of InDir into OutFile, keeping for each data id only
// the rows of its latest year-month. Throws OpError with the message to show.
// `counts`, when given, receives what the merge read and kept.
void MergeFF1Latest(const fs::path& InDir, const fs::path& OutFile, MergeCounts* counts = nullptr);

}  // namespace tavo::ff1

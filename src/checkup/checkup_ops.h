// Specific health checkup import: the checkup list that LUMA exports becomes an
// EHR linkage CSV (long header) that marks, for a target month, the checkups of
// patients aged 40 to 74 in that month and the six months before it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/env.h"
#include "core/result.h"
#include "core/text.h"

namespace tavo::checkup {

inline constexpr int TKK_AGE_MIN = 40;    // lowest age taken
inline constexpr int TKK_AGE_MAX = 75;    // age limit, exclusive
inline constexpr int TKK_BACK_MONTH = 6;  // months before the target that still count
inline constexpr int TKK_COL_ID = 0;      // input field: patient number
inline constexpr int TKK_COL_NAME = 1;    // input field: name
inline constexpr int TKK_COL_YM = 3;      // input field: checkup year-month YYYYMM
inline constexpr int TKK_COL_AGE = 4;     // input field: age
inline constexpr int TKK_COL_MIN = 6;     // fewest fields of a usable input line
inline constexpr int NIVA_COLS = 100;     // fields of an output row
inline constexpr int NIVA_CARTE = 0;      // カルテ番号
inline constexpr int NIVA_NAME = 1;       // 氏名
inline constexpr int NIVA_DATE = 2;       // 受診年月日
inline constexpr int NIVA_TKK_UM = 97;    // 特定健診の受診の有無《L》
inline constexpr int NIVA_TKK_YM = 98;    // 特定健診の受診年月《L》

// The patient number without leading zeros; zero and non-numbers unchanged.
Text GetCarte(TextView pstPtnum);

// The checkup window: year-months from iFrom to iYM, both included.
struct CheckupWindow {
  int iFrom = 0;
  int iYM = 0;
};
// A qualifying line's patient number, name and checkup year-month.
struct Checkup {
  Text p;
  Text n;
  Text ym;
  bool operator==(const Checkup&) const = default;
};
// Whether one line after the header qualifies (the rules in their order), on
// the decoded text and on the line's UTF-8 bytes.
std::optional<Checkup> QualifyLine(const Text& line, CheckupWindow window);
std::optional<Checkup> QualifyLineBytes(std::string_view utf8, CheckupWindow window);

// A qualifying line's patient number, name and year-month as the UTF-8 of
// their texts. The name and year-month are views into the line; so is the
// patient number when GetCarte only drops leading zeros, else it is in the
// caller's `spill`. Two lines name the same patient exactly when their `p`
// bytes are equal.
struct CheckupBytes {
  std::string_view p;
  std::string_view n;
  std::string_view ym;
};
// QualifyLineBytes without building texts: true when the line qualifies.
bool QualifyLineView(std::string_view utf8, CheckupWindow window, CheckupBytes& taken,
                     std::string& spill);
// Why a line is left out, by the first rule it fails (kNone: it qualifies).
enum class LeftOut { kNone, kBlank, kShort, kMonth, kAge, kNoIdOrName, kCount };
// QualifyLineView with the reason.
LeftOut JudgeLineView(std::string_view utf8, CheckupWindow window, CheckupBytes& taken,
                      std::string& spill);

// Output name of a target month.
Text OutputName(TextView mstNgt);

// The import. pstAddFile may be empty. On success writes
// mstNgt + "_carte_特定健診.csv" into the program folder and sets gstMsg / gstFile1.
RunResult Cnv(const Env& env, TextView year, TextView month, TextView pstTkkFile,
              TextView pstAddFile);

}  // namespace tavo::checkup

// Receipt runs: branch-number removal and anonymization.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/env.h"
#include "core/result.h"
#include "core/text.h"

namespace tavo::receipt {

// The main window's removal choice: ComboBox1's index (0, 1, or -1 for none)
// and, for mode 1, the texts of Edit4 and Edit5 as typed.
struct BranchOptions {
  int mode = 0;
  Text fromText;  // Edit4
  Text toText;    // Edit5
};

// Which receipt file a run expects: the 社保 box's, the 国保 box's, or either.
enum class ReceiptKind { Any, Shaho, Kokuho };

// Mode 0: cut at "-", "/", "*" (and a trailing "*0"), remove ASCII spaces.
Text GetKnjBng(TextView pstKnjBng);
// Mode 0 on the Shift_JIS bytes of the number: the same result as GetKnjBng
// on the decoded text, with the bytes of the characters kept as they were.
std::string GetKnjBngBytes(std::string_view pstKnjBng);
// Mode 1: keep the characters from KStart to KEnd (1-based, both included).
Text GetKnjBng2(TextView pstKnjBng, std::int32_t KStart, std::int32_t KEnd);

// One branch-removal run on one receipt file. On success the result names the
// written file and carries gstMsg and gstFile1 (社保) or gstFile2 (国保), and
// counts the RE records read and the patient numbers changed.
// `stopped` is set when the failure ends the whole click (index error).
// A file that is not a receipt file of the `expected` kind is refused with a
// warning. The run refuses an output name that is its input, or that `click`
// (the runs of the same click so far) has already written; it adds its output
// to `click`.
RunResult RemoveBranchNumbers(const Env& env, TextView pstFile, const BranchOptions& options,
                              ClickOutputs* click = nullptr,
                              ReceiptKind expected = ReceiptKind::Any);

// One anonymization run on one receipt file; same contract.
RunResult AnonymizeReceipt(const Env& env, TextView pstFile, ClickOutputs* click = nullptr,
                           ReceiptKind expected = ReceiptKind::Any);

}  // namespace tavo::receipt

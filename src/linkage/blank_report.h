// The report of the values that converter 2 blanked because they failed
// their validation, and of those whose commas it widened so that they keep
// their column: "<output name without .csv>_検証.csv" beside the output,
// code page 932, CR LF, one line per value. It is started at the first such
// value, so a run that changes none writes none, and it is put in place
// together with the output.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/files.h"
#include "core/text.h"

namespace tavo::linkage {

// "202606_carte.csv" -> "202606_carte_検証.csv".
Text BlankReportName(TextView outputName);

class BlankReport {
 public:
  explicit BlankReport(std::filesystem::path target) : target_(std::move(target)) {}

  // One blanked value: its line in the input (the header is line 1), the
  // patient's chart number, the column's header text, the value and the
  // reason, all as code page 932 bytes.
  void Add(std::size_t line, std::string_view chart, std::string_view column,
           std::string_view value, std::string_view reason);
  // One value written with its commas widened, as it stood in the input.
  void AddWidened(std::size_t line, std::string_view chart, std::string_view column,
                  std::string_view value);
  // The values blanked, and those widened.
  std::size_t count() const { return count_; }
  std::size_t widened() const { return widened_; }
  const std::filesystem::path& target() const { return target_; }

  // Puts the output in place, and the report beside it when there is one.
  // Nothing is in place until both are written; a report of an earlier run
  // is removed, as it no longer describes the output; a failure leaves the
  // earlier output and never a report without its output. Throws OpError.
  void CommitWith(AtomicFile& output);

 private:
  std::filesystem::path target_;
  std::optional<AtomicFile> file_;
  void Write(std::size_t line, std::string_view chart, std::string_view column,
             std::string_view value, std::string_view reason);
  std::size_t count_ = 0;
  std::size_t widened_ = 0;
  std::string line_;
  std::string widenedReason_;
};

}  // namespace tavo::linkage

#include "linkage/blank_report.h"

#include <charconv>

#include "core/cp932.h"
#include "core/errors.h"

namespace tavo::linkage {

namespace {

constexpr std::string_view kHeaderUtf8 = "行番号,カルテ番号,項目名,元の値,理由";

// A CSV field: quoted when it holds a comma or a double quote, or begins or
// ends with a blank (so that the blanks stay visible), double quotes doubled.
// These bytes never belong to a double-byte character.
void AppendField(std::string& out, std::string_view bytes) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  bool quote = !bytes.empty() && (blank(bytes.front()) || blank(bytes.back()));
  for (char c : bytes) {
    if (c == ',' || c == '"') quote = true;
  }
  if (!quote) {
    out += bytes;
    return;
  }
  out += '"';
  for (char c : bytes) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

Text BlankReportName(TextView outputName) {
  constexpr TextView kCsv = u".csv";
  TextView stem = outputName;
  if (stem.size() >= kCsv.size() && stem.substr(stem.size() - kCsv.size()) == kCsv) {
    stem.remove_suffix(kCsv.size());
  }
  return Text(stem) + T("_検証.csv");
}

void BlankReport::Add(std::size_t line, std::string_view chart, std::string_view column,
                      std::string_view value, std::string_view reason) {
  Write(line, chart, column, value, reason);
  ++count_;
}

void BlankReport::AddWidened(std::size_t line, std::string_view chart, std::string_view column,
                             std::string_view value) {
  if (widenedReason_.empty()) widenedReason_ = Cp932Encode(T("カンマを全角に置換"));
  Write(line, chart, column, value, widenedReason_);
  ++widened_;
}

void BlankReport::Write(std::size_t line, std::string_view chart, std::string_view column,
                        std::string_view value, std::string_view reason) {
  if (!file_) {
    file_.emplace(target_);
    file_->Write(Cp932Encode(FromUtf8(kHeaderUtf8)));
    file_->Write("\r\n");
  }
  char number[24];
  const auto end = std::to_chars(number, number + sizeof number, line).ptr;
  line_.assign(number, end);
  line_ += ',';
  AppendField(line_, chart);
  line_ += ',';
  AppendField(line_, column);
  line_ += ',';
  AppendField(line_, value);
  line_ += ',';
  AppendField(line_, reason);
  line_ += "\r\n";
  file_->Write(line_);
}

void BlankReport::CommitWith(AtomicFile& output) {
  output.Close();
  if (!file_) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_type type = fs::symlink_status(target_, ec).type();
    if (!ec && type != fs::file_type::not_found && type != fs::file_type::directory) {
      if (!RemoveFile(target_)) ThrowWriteError(target_, "remove failed");
    }
    output.Commit();
    return;
  }
  file_->Commit();
  try {
    output.Commit();
  } catch (const OpError&) {
    RemoveFile(target_);
    throw;
  }
}

}  // namespace tavo::linkage

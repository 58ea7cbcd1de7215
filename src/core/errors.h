// Messages that operations hand back to whoever shows them, and the texts of
// the failures that the system reports with the platform's own wording.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/system_error_text.h"
#include "core/text.h"

namespace tavo {

enum class MsgKind { Warning, Info, Error };

struct Message {
  MsgKind kind;
  Text text;
  bool operator==(const Message&) const = default;
};

// "リストのインデックスが範囲を超えています (%d)"
Text IndexErrorText(long long index);
// "'%s' は整数ではありません"
Text IntConvErrorText(TextView value);

// A failure that ends the current operation; carries the text for the error box
// and, for a file the system failed on, the system's error.
class OpError : public std::runtime_error {
 public:
  explicit OpError(Text text);
  OpError(Text text, const SystemError& error);
  const Text& text() const { return text_; }
  const std::optional<SystemError>& error() const { return error_; }

 private:
  Text text_;
  std::optional<SystemError> error_;
};

// Japanese file errors: "ファイル X を開けません。", "… を読み込めません。" or
// "… に書き込めません。", then on the next line the cause and what to do
// (core/system_error_text.h). Without an error given, the cause is the
// failure the file layer noted for the file, else what the path shows now.
[[noreturn]] void ThrowOpenError(const std::filesystem::path& file);
[[noreturn]] void ThrowOpenError(const std::filesystem::path& file, const SystemError& error);
[[noreturn]] void ThrowReadError(const std::filesystem::path& file);
[[noreturn]] void ThrowReadError(const std::filesystem::path& file, const SystemError& error);
[[noreturn]] void ThrowWriteError(const std::filesystem::path& file, const SystemError& error);
// The same; the English detail of older callers is not shown, staff read the
// cause found for the file instead.
[[noreturn]] void ThrowWriteError(const std::filesystem::path& file, const std::string& detail);
[[noreturn]] void ThrowIndexError(long long index);

// Field access that fails like the platform's list: index error with the 0-based index.
inline const Text& At(const FieldList& fields, std::size_t index) {
  if (index >= fields.size()) ThrowIndexError(static_cast<long long>(index));
  return fields[index];
}
inline Text& At(FieldList& fields, std::size_t index) {
  if (index >= fields.size()) ThrowIndexError(static_cast<long long>(index));
  return fields[index];
}

}  // namespace tavo

// Messages that operations hand back to whoever shows them, and the texts of
// the failures that the system reports with the platform's own wording.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

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

// A failure that ends the current operation; carries the text for the error box.
class OpError : public std::runtime_error {
 public:
  explicit OpError(Text text);
  const Text& text() const { return text_; }

 private:
  Text text_;
};

// Readable Japanese file errors naming the file.
[[noreturn]] void ThrowOpenError(const std::filesystem::path& file);
[[noreturn]] void ThrowReadError(const std::filesystem::path& file);
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

#include "core/errors.h"

#include "core/files.h"

namespace tavo {

Text IndexErrorText(long long index) {
  return T("リストのインデックスが範囲を超えています (") + IntToText(index) + u")";
}

Text IntConvErrorText(TextView value) {
  return u"'" + Text(value) + T("' は整数ではありません");
}

OpError::OpError(Text text) : std::runtime_error(ToUtf8(text)), text_(std::move(text)) {}

OpError::OpError(Text text, const SystemError& error)
    : std::runtime_error(ToUtf8(text)), text_(std::move(text)), error_(error) {}

namespace {

[[noreturn]] void ThrowFileError(const std::filesystem::path& file, const char* what,
                                 FileAction action, const SystemError& error) {
  throw OpError(T("ファイル ") + PathText(file) + T(what) + u"\n" +
                    CauseText(error, file, action),
                error);
}

}  // namespace

void ThrowOpenError(const std::filesystem::path& file) {
  ThrowOpenError(file, FailureOf(FileAction::kOpen, file));
}

void ThrowOpenError(const std::filesystem::path& file, const SystemError& error) {
  ThrowFileError(file, " を開けません。", FileAction::kOpen, error);
}

void ThrowReadError(const std::filesystem::path& file) {
  ThrowReadError(file, FailureOf(FileAction::kRead, file));
}

void ThrowReadError(const std::filesystem::path& file, const SystemError& error) {
  ThrowFileError(file, " を読み込めません。", FileAction::kRead, error);
}

void ThrowWriteError(const std::filesystem::path& file, const SystemError& error) {
  ThrowFileError(file, " に書き込めません。", FileAction::kWrite, error);
}

void ThrowWriteError(const std::filesystem::path& file, const std::string&) {
  ThrowWriteError(file, FailureOf(FileAction::kWrite, file));
}

void ThrowIndexError(long long index) { throw OpError(IndexErrorText(index)); }

}  // namespace tavo

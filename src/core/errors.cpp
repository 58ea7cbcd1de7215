#include "core/errors.h"

#include <cstring>

#include "core/files.h"

namespace tavo {

Text IndexErrorText(long long index) {
  return T("リストのインデックスが範囲を超えています (") + IntToText(index) + u")";
}

Text IntConvErrorText(TextView value) {
  return u"'" + Text(value) + T("' は整数ではありません");
}

OpError::OpError(Text text) : std::runtime_error(ToUtf8(text)), text_(std::move(text)) {}

void ThrowOpenError(const std::filesystem::path& file) {
  throw OpError(T("ファイル ") + PathText(file) + T(" を開けません。"));
}

void ThrowReadError(const std::filesystem::path& file) {
  throw OpError(T("ファイル ") + PathText(file) + T(" を読み込めません。"));
}

void ThrowWriteError(const std::filesystem::path& file, const std::string& detail) {
  Text text = T("ファイル ") + PathText(file) + T(" に書き込めません。");
  if (!detail.empty()) text += u" (" + FromUtf8(detail) + u")";
  throw OpError(text);
}

void ThrowIndexError(long long index) { throw OpError(IndexErrorText(index)); }

}  // namespace tavo

#include "core/errors.h"

#include <cstring>

namespace tavo {

Text IndexErrorText(long long index) {
  return T("リストのインデックスが範囲を超えています (") + IntToText(index) + u")";
}

Text IntConvErrorText(TextView value) {
  return u"'" + Text(value) + T("' は整数ではありません");
}

OpError::OpError(Text text) : std::runtime_error(ToUtf8(text)), text_(std::move(text)) {}

Text PathText(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::wstring w = path.wstring();
  return Text(w.begin(), w.end());
#else
  return FromUtf8(path.string());
#endif
}

std::filesystem::path PathFromText(TextView text) {
#ifdef _WIN32
  return std::filesystem::path(std::wstring(text.begin(), text.end()));
#else
  return std::filesystem::path(ToUtf8(text));
#endif
}

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

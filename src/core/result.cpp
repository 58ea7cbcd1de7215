#include "core/result.h"

#include "core/files.h"

namespace tavo {

void RunResult::HandOver(const std::filesystem::path& target, const Text& name) {
  written.push_back(target);
  gstMsg = name + T("が作成されました");
  gstFile1 = name;
  gstFile2.clear();
}

bool RunResult::RefusesOverwrite(const std::filesystem::path& target, const Text& name,
                                 const std::vector<std::filesystem::path>& inputs) {
  for (const auto& input : inputs) {
    if (SameFile(input, target)) {
      Warn(T("変換後のファイル名「") + name +
           T("」が変換前のファイルと同じになるため、作成しません。"));
      return true;
    }
  }
  return false;
}

bool ClickOutputs::Refuses(const std::filesystem::path& target, const Text& name, TextView input,
                           RunResult& result) const {
  for (const Written& w : written_) {
    if (SameFile(w.target, target)) {
      result.Warn(T("「") + Text(input) + T("」の変換後のファイル名「") + name + T("」が「") +
                  w.input + T("」の変換後のファイルと同じになるため、作成しません。"));
      return true;
    }
  }
  return false;
}

void ClickOutputs::Add(const std::filesystem::path& target, TextView input) {
  written_.push_back({target, Text(input)});
}

}  // namespace tavo

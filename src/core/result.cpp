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

}  // namespace tavo

#include "support/run_text.h"

#include "core/errors.h"
#include "core/files.h"

namespace tavo::test {

std::vector<std::string> MessageLines(const RunResult& r) {
  std::vector<std::string> out;
  for (const auto& m : r.messages) {
    const char* kind = m.kind == MsgKind::Warning ? "警告"
                       : m.kind == MsgKind::Info  ? "情報"
                                                  : "エラー";
    out.push_back(std::string(kind) + ": " + ToUtf8(m.text));
  }
  return out;
}

std::string PathArg(const std::filesystem::path& p) { return ToUtf8(PathText(p)); }

std::string Lf(std::string s) {
  std::erase(s, '\r');
  return s;
}

}  // namespace tavo::test

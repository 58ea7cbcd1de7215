// Text views of run results and console output for compact assertions.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/result.h"

namespace tavo::test {

// The run's messages as "警告: …" / "情報: …" / "エラー: …" lines (UTF-8).
std::vector<std::string> MessageLines(const RunResult& r);

// A path as a UTF-8 command-line argument.
std::string PathArg(const std::filesystem::path& p);

// Console output with its line ends as LF, whatever the platform writes.
std::string Lf(std::string s);

}  // namespace tavo::test

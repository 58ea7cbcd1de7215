#include "core/run_history.h"

namespace tavo {

void RecordRun(const std::filesystem::path&, const RunResult&) noexcept {}
void RecordMove(const std::filesystem::path&, const std::vector<Text>&,
                const std::filesystem::path&) noexcept {}

}  // namespace tavo

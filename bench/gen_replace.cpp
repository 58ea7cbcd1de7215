// gen_replace ROWS PAIRS FF_OUT DEF_OUT [--seed N]: writes an outpatient file
// of ROWS tab-separated FF1-like rows (a 10-digit data identification number
// in column 2) and a change-definition file of PAIRS lines whose old numbers
// are written without leading zeros, as clinics type them; about half of the
// rows meet a pair.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gen_util.h"

namespace {

using gen::Below;

std::string Id(std::uint64_t n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%010llu", static_cast<unsigned long long>(n));
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: gen_replace ROWS PAIRS FF_OUT DEF_OUT [--seed N]\n");
    return 2;
  }
  const long long rows = std::atoll(argv[1]);
  const long long pairs = std::atoll(argv[2]);
  for (int i = 5; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--seed") gen::Seed(std::strtoull(argv[i + 1], nullptr, 10));
  }
  const std::uint64_t idSpace = static_cast<std::uint64_t>(pairs) * 2 + 1;
  std::FILE* ff = std::fopen(argv[3], "wb");
  std::FILE* def = std::fopen(argv[4], "wb");
  if (!ff || !def) {
    std::perror("gen_replace");
    return 1;
  }
  for (long long p = 0; p < pairs; ++p) {
    const std::uint64_t oldId = 1000 + static_cast<std::uint64_t>(p) * 2;
    std::fprintf(def, "%llu,%llu\r\n", static_cast<unsigned long long>(oldId),
                 static_cast<unsigned long long>(5000000000ull + oldId));
  }
  for (long long r = 0; r < rows; ++r) {
    const std::string id = Id(1000 + Below(idSpace));
    std::string line = "4201234567\t" + id + "\t2026" + std::to_string(10 + Below(3)) + "\t" + "0" +
                       std::to_string(1 + Below(9)) + "\t" + id;
    for (int c = 0; c < 40; ++c) {
      line += '\t';
      switch (Below(4)) {
        case 0:
          break;
        case 1:
          line += std::to_string(Below(100000));
          break;
        case 2:
          line += "A" + std::to_string(Below(1000));
          break;
        default:
          line += std::to_string(Below(10)) + "." + std::to_string(Below(10));
          break;
      }
    }
    line += "\r\n";
    std::fwrite(line.data(), 1, line.size(), ff);
  }
  const bool ok = std::fclose(ff) == 0;
  return (std::fclose(def) == 0 && ok) ? 0 : 1;
}

// gen_receipts SIZE_MB OUT_FILE [--kokuho] [--seed N]: writes a realistic
// receipt file of at least SIZE_MB megabytes (10^6 bytes).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "receipt_gen.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: gen_receipts SIZE_MB OUT_FILE [--kokuho] [--seed N]\n");
    return 2;
  }
  const double megabytes = std::atof(argv[1]);
  bool kokuho = false;
  unsigned long long seed = 1;
  for (int i = 3; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--kokuho") kokuho = true;
    if (a == "--seed" && i + 1 < argc) seed = std::strtoull(argv[++i], nullptr, 10);
  }
  std::FILE* out = std::fopen(argv[2], "wb");
  if (!out) {
    std::perror(argv[2]);
    return 1;
  }
  tavo::bench::ReceiptGenerator gen(seed, kokuho);
  gen.Generate(static_cast<std::uint64_t>(megabytes * 1e6),
               [&](std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), out); });
  return std::fclose(out) == 0 ? 0 : 1;
}

// gen_ff_itemcode SIZE_MB OUT_FILE [--seed N]: writes an outpatient data file
// in the item-code layout (header of the 95 codes, one patient per line, TAB
// separated, Shift_JIS, CR LF) of at least SIZE_MB megabytes (10^6 bytes),
// with values of the forms a clinic's file holds, a few of them invalid.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/cp932.h"
#include "core/text.h"
#include "linkage/formats.h"
#include "linkage/validate.h"

namespace {

struct Rng {
  std::uint64_t s;
  std::uint64_t Next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
};

std::string Digits(Rng& r, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>('0' + r.Below(10));
  return s;
}
std::string Pick(Rng& r, const char* set) {
  const std::string s(set);
  return std::string(1, s[static_cast<std::size_t>(r.Below(static_cast<int>(s.size())))]);
}
std::string Flags(Rng& r, int n, const char* set) {
  std::string s;
  for (int i = 0; i < n; ++i) s += Pick(r, set);
  return s;
}

// For each code-table position, the digits that the one-character rule of
// its long-header column allows ("" when it has no such rule): flags are
// drawn from them, so that only the values spoiled on purpose are blanked.
std::array<std::string, tavo::linkage::kCodeCount> AllowedFlags() {
  using namespace tavo::linkage;
  std::array<std::string, kCodeCount> allowed;
  for (int c = 0; c < kLongColumnCount; ++c) {
    const int pos = LongColumnMap()[static_cast<std::size_t>(c)];
    const NewRule& rule = ChkStdNewRule(c);
    if (pos < 0 || rule.op != NewOp::Single) continue;
    for (char d = '0'; d <= '9'; ++d) {
      if ((rule.lo >> d) & 1u) allowed[static_cast<std::size_t>(pos)] += d;
    }
  }
  return allowed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: gen_ff_itemcode SIZE_MB OUT_FILE [--seed N]\n");
    return 2;
  }
  const auto target = static_cast<std::uint64_t>(std::atof(argv[1]) * 1e6);
  Rng rng{88172645463325252ull};
  for (int i = 3; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--seed") rng.s = std::strtoull(argv[++i], nullptr, 10) | 1u;
  }
  std::FILE* out = std::fopen(argv[2], "wb");
  if (!out) {
    std::perror(argv[2]);
    return 1;
  }
  using namespace tavo;
  const char* surnames[] = {"山田", "佐藤", "鈴木", "高橋", "田中", "渡辺", "伊藤", "中村"};
  const char* given[] = {"太郎", "花子", "一郎", "美咲", "健太", "由美", "翔", "陽子"};
  const char* diseases[] = {"高血圧症", "２型糖尿病", "脂質異常症", "脳梗塞後遺症", "慢性腎臓病"};
  std::string names[64];
  for (int i = 0; i < 64; ++i) {
    names[i] = Cp932Encode(T(std::string(surnames[i % 8]) + "　" + given[i / 8]));
  }
  std::string diseaseBytes[5];
  for (int i = 0; i < 5; ++i) diseaseBytes[i] = Cp932Encode(T(diseases[i]));

  const auto allowed = AllowedFlags();
  auto flag = [&allowed](Rng& r, int c) {
    const std::string& set = allowed[static_cast<std::size_t>(c)];
    return set.empty() ? Pick(r, "0123459") : Pick(r, set.c_str());
  };

  std::string buf;
  for (int i = 0; i < linkage::kCodeCount; ++i) {
    buf += (i ? "\t" : "");
    buf += std::string(linkage::CodeAt(i));
  }
  buf += "\r\n";
  std::uint64_t written = 0;
  std::uint64_t patient = 0;
  while (written + buf.size() < target || patient == 0) {
    ++patient;
    Rng& r = rng;
    std::string f[linkage::kCodeCount];
    f[0] = std::string(r.Below(3), '0') + std::to_string(100000 + patient);
    f[1] = names[r.Below(64)];
    f[2] = Pick(r, "12");
    f[3] = "2026" + std::string(r.Below(2) ? "06" : "07");
    f[4] = Digits(r, 2);
    f[5] = r.Below(50) ? Digits(r, 7) : "123-4567";
    for (int c = 6; c <= 36; ++c) f[c] = flag(r, c);
    f[7] = "202606" + std::to_string(10 + r.Below(18));
    f[8] = "I10";
    f[9] = Digits(r, 7);
    f[10] = Digits(r, 4);
    f[11] = diseaseBytes[r.Below(5)];
    f[20] = "20" + Digits(r, 4);
    f[23] = "I639";
    f[24] = Digits(r, 7);
    f[25] = Digits(r, 4);
    f[26] = diseaseBytes[r.Below(5)];
    f[27] = Flags(r, 13, "01");
    f[28] = Flags(r, 10, "01239");
    f[33] = Flags(r, 5, "01");
    f[34] = "2026" + Digits(r, 4);
    f[35] = Flags(r, 10, "01239");
    f[36] = Flags(r, 18, "12345679");
    for (int c = 37; c <= 81; ++c) f[c] = r.Below(4) ? Digits(r, 1 + r.Below(3)) : "";
    f[83] = Digits(r, 3);
    f[84] = Flags(r, 14, "01");
    f[86] = Pick(r, "0123456789");
    f[87] = r.Below(20) ? Pick(r, "012345") : " 3 ";
    for (int c = 88; c <= 92; ++c) f[c] = flag(r, c);
    // One line in 200 has one of the values 6-36 spoiled; one in 50 (above)
    // a postal code with a hyphen.
    if (r.Below(200) == 0) f[6 + r.Below(31)] = "x";
    f[93] = "2026" + Digits(r, 2);
    f[94] = Flags(r, 7, "01");
    written += buf.size();
    std::fwrite(buf.data(), 1, buf.size(), out);
    buf.clear();
    for (int i = 0; i < linkage::kCodeCount; ++i) {
      if (i) buf += '\t';
      buf += f[i];
    }
    buf += "\r\n";
  }
  std::fwrite(buf.data(), 1, buf.size(), out);
  return std::fclose(out) == 0 ? 0 : 1;
}

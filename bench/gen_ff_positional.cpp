// gen_ff_positional MB FILE [--patients N] [--seed N]: writes an outpatient
// file of the positional layout (Shift_JIS, TAB-separated, CR LF, a title
// line), MB megabytes in all: 60 fields per row with chart number, name,
// consultation month, postal code, height, weight, HbA1c, blood pressures,
// LDL cholesterol and uric acid where converter 1 reads them. The rows come
// from a pool of N patients (default 5000), each returning many times.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/cp932.h"
#include "core/text.h"

#include "gen_util.h"

namespace {

using gen::Below;

std::string Sjis(const std::string& utf8) { return tavo::Cp932Encode(tavo::FromUtf8(utf8)); }

std::string Number(std::uint64_t below) { return std::to_string(Below(below)); }
std::string Decimal(std::uint64_t whole, std::uint64_t from) {
  return std::to_string(from + Below(whole)) + "." + std::to_string(Below(10));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: gen_ff_positional MB FILE [--patients N] [--seed N]\n");
    return 2;
  }
  const auto target = static_cast<std::uint64_t>(std::atof(argv[1]) * 1e6);
  std::uint64_t patients = 5000;
  for (int i = 3; i + 1 < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--patients") patients = std::strtoull(argv[i + 1], nullptr, 10);
    if (a == "--seed") gen::Seed(std::strtoull(argv[i + 1], nullptr, 10));
  }
  std::FILE* f = std::fopen(argv[2], "wb");
  if (!f) {
    std::perror(argv[2]);
    return 1;
  }
  static const char* const kFamily[] = {"山田", "佐藤", "鈴木", "高橋", "田中", "伊藤"};
  static const char* const kGiven[] = {"太郎", "花子", "一郎", "幸子", "健一", "美咲"};
  std::string header = Sjis("カルテ番号\t氏名\tカナ\t診療年月\t性別\t郵便番号");
  for (int c = 6; c < 60; ++c) header += "\tC" + std::to_string(c);
  header += "\r\n";
  std::fputs(header.c_str(), f);
  std::uint64_t written = header.size();
  while (written < target) {
    std::string fields[60];
    fields[0] = std::to_string(1000 + Below(patients));
    fields[1] = Sjis(std::string(kFamily[Below(6)]) + "　" + kGiven[Below(6)]);
    fields[2] = Sjis("ヤマダ");
    fields[3] = "2026" + std::string(Below(2) ? "05" : "06");
    fields[4] = Number(2);
    fields[5] = std::to_string(1000000 + Below(9000000));
    fields[6] = Decimal(50, 140);
    fields[7] = Decimal(60, 40);
    fields[22] = Below(5) ? Decimal(5, 4) : std::to_string(5 + Below(4));
    fields[31] = std::to_string(100 + Below(60));
    fields[32] = Below(20) ? std::to_string(60 + Below(40)) : "999";
    fields[37] = Below(3) ? std::to_string(80 + Below(120)) : Decimal(100, 80);
    fields[52] = Below(5) ? Decimal(5, 3) : "99.9";
    for (int c = 8; c < 60; ++c) {
      if (fields[c].empty() && Below(3)) fields[c] = Number(1000);
    }
    std::string line = fields[0];
    for (int c = 1; c < 60; ++c) line += "\t" + fields[c];
    line += "\r\n";
    std::fwrite(line.data(), 1, line.size(), f);
    written += line.size();
  }
  return std::fclose(f) == 0 ? 0 : 1;
}

// gen_postal output ROWS FILE               OUTPUT file (Shift_JIS, 13 fields)
// gen_postal intermediate ROWS FILE DEF [PATIENTS]
//                                           intermediate file (TAB) and its definition
// gen_postal checkup ROWS FILE [PATIENTS]   LUMA health-checkup list (UTF-8)
// Without PATIENTS every intermediate row has its own data id (and definition
// line) and most checkup lines a new patient; with it the rows come from a
// pool of that many patients, as a long export of one clinic does.
// Inputs of the postal-code and health-checkup benchmarks: realistic names,
// zero-padded patient numbers, postal codes, checkup months around June 2026.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/cp932.h"
#include "core/text.h"

#include "gen_util.h"

namespace {

using gen::Below;

const char* const kFamily[] = {"山田", "佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "中村"};
const char* const kGiven[] = {"太郎", "花子", "一郎", "幸子", "健一", "美咲", "翔太", "由美"};

std::string Name() { return std::string(kFamily[Below(8)]) + "　" + kGiven[Below(8)]; }

std::string Postcode() {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%03llu-%04llu", static_cast<unsigned long long>(Below(1000)),
                static_cast<unsigned long long>(Below(10000)));
  return buf;
}

std::string Padded(std::uint64_t n, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*llu", width, static_cast<unsigned long long>(n));
  return buf;
}

std::string Sjis(const std::string& utf8) { return tavo::Cp932Encode(tavo::FromUtf8(utf8)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: gen_postal output|intermediate|checkup ROWS FILE [DEF]\n");
    return 2;
  }
  const std::string mode = argv[1];
  const long long rows = std::atoll(argv[2]);
  std::FILE* f = std::fopen(argv[3], "wb");
  if (!f) {
    std::perror("gen_postal");
    return 1;
  }
  if (mode == "output") {
    std::fputs(Sjis("No,患者番号,氏名,カナ,性別,生年月日,保険,本人家族,負担,住所1,住所2,電話,"
                    "郵便番号\r\n")
                   .c_str(),
               f);
    for (long long i = 0; i < rows; ++i) {
      const std::string line = std::to_string(i + 1) + "," + Padded(1000 + i, 10) + "," + Name() +
                               ",ヤマダタロウ,1,19600101,1,1,3,東京都,千代田区,0312345678," +
                               Postcode() + "\r\n";
      std::fputs(Sjis(line).c_str(), f);
    }
  } else if (mode == "intermediate") {
    if (argc < 5) return 2;
    std::FILE* def = std::fopen(argv[4], "wb");
    if (!def) {
      std::perror("gen_postal");
      return 1;
    }
    const long long pool = argc > 5 ? std::atoll(argv[5]) : 0;
    std::fputs(Sjis("データ識別番号\t氏名\t性別\t生年月日\t住所\t郵便番号\r\n").c_str(), f);
    for (long long i = 0; i < rows; ++i) {
      const std::uint64_t n = pool > 0 ? Below(static_cast<std::uint64_t>(pool)) : i;
      const std::string id = "D" + Padded(n, 9);
      std::fputs(Sjis(id + "\t" + Name() + "\t1\t19600101\t東京都\t" + Postcode() + "\r\n").c_str(),
                 f);
      if (pool == 0) {
        std::fprintf(def, "%llu,%s\r\n", static_cast<unsigned long long>(1000 + i), id.c_str());
      }
    }
    for (long long n = 0; n < pool; ++n) {
      std::fprintf(def, "%llu,D%s\r\n", static_cast<unsigned long long>(1000 + n),
                   Padded(static_cast<std::uint64_t>(n), 9).c_str());
    }
    std::fclose(def);
  } else if (mode == "checkup") {
    std::fputs("\xEF\xBB\xBF患者番号,氏名,性別,特定健診受診年月,年齢,保険者番号\r\n", f);
    static const char* const kMonths[] = {"202510", "202511", "202512", "202601", "202602",
                                          "202603", "202604", "202605", "202606", "202607"};
    const long long pool = argc > 4 ? std::atoll(argv[4]) : 0;
    for (long long i = 0; i < rows; ++i) {
      // Patients come back: about one line in four repeats an earlier patient.
      const std::uint64_t patient = pool > 0 ? 1000 + Below(static_cast<std::uint64_t>(pool))
                                    : Below(4) == 0 && i > 0 ? 1000 + Below(i)
                                                             : 1000 + i;
      const std::string line = Padded(patient, 8) + "," + Name() + ",1," + kMonths[Below(10)] +
                               "," + std::to_string(35 + Below(45)) + ",06123456\r\n";
      std::fputs(line.c_str(), f);
    }
  } else {
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
  }
  std::fclose(f);
  return 0;
}

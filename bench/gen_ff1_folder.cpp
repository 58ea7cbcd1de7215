// gen_ff1_folder DIR [TOTAL_MB] [--seed N]: writes an FF1 folder as a clinic
// keeps it: twelve monthly files G_FF1_<yyyymm>.txt (Shift_JIS, CR LF, a title
// line), TOTAL_MB (default 50) in all, and "recelist.csv" mapping every data id
// to a chart number. About 1500 patients; each month most of them come, each
// visit giving some forty item rows (patient, outpatient and examination codes).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/cp932.h"
#include "core/text.h"

#include "gen_util.h"

namespace {

using gen::Below;

std::string Sjis(const char* utf8) { return tavo::Cp932Encode(tavo::FromUtf8(utf8)); }

struct Item {
  const char* code;
  int kind;  // 0 name, 1 number, 2 date, 3 flag, 4 disease
};

const Item kItems[] = {
    {"PT_0001", 1}, {"PT_0002", 0}, {"IO_0001", 2}, {"IO_0003", 1}, {"IO_0009", 3}, {"IO_0010", 3},
    {"IO_0011", 3}, {"IO_0012", 2}, {"IO_0013", 1}, {"IO_0014", 1}, {"IO_0016", 4}, {"IO_0017", 3},
    {"IO_0018", 3}, {"IO_0024", 3}, {"IO_0025", 3}, {"IO_0031", 3}, {"IO_0032", 3}, {"IO_0042", 3},
    {"IO_0046", 3}, {"IO_0051", 2}, {"IO_0053", 3}, {"IO_0057", 4}, {"IO_0058", 3}, {"IO_0059", 1},
    {"IO_0099", 3}, {"IO_0100", 3}, {"IO_0101", 3}, {"IO_0102", 3}, {"IO_0103", 2}, {"EX_0001", 1},
    {"EX_0002", 1}, {"EX_0003", 1}, {"EX_0004", 1}, {"EX_0005", 1}, {"EX_0006", 1}, {"EX_0007", 1},
    {"EX_0008", 1}, {"EX_0009", 1}, {"EX_0010", 1}, {"EX_0016", 1},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: gen_ff1_folder DIR [TOTAL_MB] [--seed N]\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  double totalMb = 50;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--seed" && i + 1 < argc) {
      gen::Seed(std::strtoull(argv[++i], nullptr, 10));
    } else {
      totalMb = std::atof(argv[i]);
    }
  }
  std::filesystem::create_directories(dir);
  const std::vector<std::string> names = {Sjis("山田 太郎"), Sjis("佐藤 花子"), Sjis("鈴木 一郎"),
                                          Sjis("高橋 美咲"), Sjis("渡辺 健太"), Sjis("伊藤 由美")};
  const std::vector<std::string> diseases = {Sjis("２型糖尿病"), Sjis("本態性高血圧症"),
                                             Sjis("脂質異常症"), Sjis("慢性腎臓病"),
                                             Sjis("脳梗塞後遺症")};
  const std::string header = Sjis(
      "施設コード\tデータ識別番号\t受診年月\tコード\t連番\tペイロード1\tペイロード2\t"
      "ペイロード3\tペイロード4\tペイロード5\tペイロード6\tペイロード7\tペイロード8\t"
      "ペイロード9\r\n");

  const int patients = 1500;
  const std::uint64_t perFile = static_cast<std::uint64_t>(totalMb * 1e6 / 12);
  char buf[64];
  for (int m = 0; m < 12; ++m) {
    const int ym = 202401 + (m / 12) * 100 + m % 12;
    const std::string name = "G_FF1_" + std::to_string(ym) + ".txt";
    std::FILE* f = std::fopen((dir / name).string().c_str(), "wb");
    if (!f) return 1;
    std::string out = header;
    while (out.size() < perFile) {
      const int p = static_cast<int>(Below(patients));
      std::snprintf(buf, sizeof buf, "%010d", static_cast<int>(200000000 + p * 37));
      const std::string id = buf;
      int seq = 1;
      for (const Item& item : kItems) {
        if (Below(10) < 1) continue;  // not every item every month
        std::string line = "1312345678\t" + id + "\t" + std::to_string(ym) + "\t" + item.code +
                           "\t" + std::to_string(seq++) + "\t";
        switch (item.kind) {
          case 0:
            line += names[p % names.size()];
            break;
          case 1:
            line += std::to_string(Below(2000) / 10.0).substr(0, 5);
            break;
          case 2:
            line += std::to_string(ym) + (Below(2) ? "15" : "");
            break;
          case 3:
            line += std::to_string(Below(4));
            break;
          case 4:
            line += diseases[Below(diseases.size())] + "\tE119\t8843940";
            break;
        }
        line += item.kind == 4 ? "\t\t\t\t\t\t\r\n" : "\t\t\t\t\t\t\t\t\r\n";
        out += line;
      }
    }
    std::fwrite(out.data(), 1, out.size(), f);
    std::fclose(f);
  }
  std::FILE* r = std::fopen((dir / "recelist.csv").string().c_str(), "wb");
  if (!r) return 1;
  for (int p = 0; p < patients; ++p) {
    std::snprintf(buf, sizeof buf, "%010d", static_cast<int>(200000000 + p * 37));
    std::fprintf(r, "%d,name,kana,1,%s\r\n", 10000 + p, buf);
  }
  std::fclose(r);
  return 0;
}

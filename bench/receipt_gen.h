// Realistic receipt files (RECEIPTC.UKE layout) of any size, deterministic for
// a seed: IR, then per claim RE, HO, sometimes KO, SY, SI, IY, CO and SJ
// records, then GO. Shift_JIS, CR LF. Clinic, patient and insurer values are
// drawn so that each is distinctive (the anonymization tests look for them).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/cp932.h"
#include "core/text.h"

namespace tavo::bench {

class ReceiptGenerator {
 public:
  explicit ReceiptGenerator(std::uint64_t seed, bool kokuho = false)
      : state_(seed * 2654435761u + 1), kokuho_(kokuho) {}

  // Calls sink(std::string_view) with the bytes, line by line, until at least
  // `bytes` bytes have been produced (the GO record closes the file).
  template <typename Sink>
  void Generate(std::uint64_t bytes, Sink&& sink) {
    std::uint64_t total = 0;
    auto put = [&](const std::string& utf8) {
      std::string line = Cp932Encode(FromUtf8(utf8));
      line += "\r\n";
      total += line.size();
      sink(std::string_view(line));
    };
    put("IR," + std::string(kokuho_ ? "2" : "1") + ",13,1," + Digits(7) + ",," + Pick(kClinics) +
        Pick(kClinicKinds) + ",202604,00,0" + Digits(9));
    int claims = 0;
    long long points = 0;
    while (total < bytes) {
      ++claims;
      const int claimPoints = static_cast<int>(Below(5000)) + 100;
      points += claimPoints;
      put("RE," + std::to_string(claims) + ",1112,202604," + Pick(kFamily) + "　" + Pick(kGiven) +
          Pick(kGiven) + "," + std::to_string(1 + Below(2)) + "," + BirthDate() + ",,,,,," +
          (Below(3) == 0 ? "28" : "") + "," + PatientNumber() + ",,,,,,,,,,,,,,,,,,,,,,," +
          Pick(kKanaFamily) + "　" + Pick(kKanaGiven) + Pick(kKanaGiven) + ",");
      put("HO," + Pick(kInsurerHeads) + Digits(6) + "," + Pick(kSymbols) + Wide(Digits(2)) + "," +
          Wide(Digits(8)) + ",1," + std::to_string(claimPoints) + ",,,,,,,,,");
      if (Below(3) == 0)
        put("KO," + Pick(kPayerHeads) + Digits(6) + ",5" + Digits(6) + ",,1," +
            std::to_string(claimPoints / 3) + ",,,,,,");
      for (int i = 1 + static_cast<int>(Below(3)); i > 0; --i)
        put("SY," + Pick(kDiseases) + ",202604" + Day() + ",1,,," + (i == 1 ? "01" : "") + ",");
      for (int i = 2 + static_cast<int>(Below(6)); i > 0; --i) {
        put("SI," + Pick(kActs) + ",," + std::to_string(1 + Below(500)) + ",1,,,,,,,1" +
            std::string(30, ','));
        if (Below(4) == 0)
          put("CO,22,2,810000001," + Pick(kComments) + Pick(kComments) + "（" + Pick(kFamily) +
              "様）");
      }
      for (int i = static_cast<int>(Below(4)); i > 0; --i)
        put("IY,,1," + Pick(kDrugs) + "," + std::to_string(1 + Below(3)) + "," +
            std::to_string(1 + Below(90)) + ",1,,,,,,,1" + std::string(30, ','));
      if (Below(10) == 0)
        put("SJ,01," + Pick(kFamily) + "様は" + Pick(kComments) + "のため" + Pick(kComments) +
            "を継続。");
    }
    put("GO," + std::to_string(claims) + "," + std::to_string(points) + ",99");
  }

 private:
  template <std::size_t N>
  std::string Pick(const char* const (&items)[N]) {
    return items[Below(N)];
  }
  std::uint64_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  std::uint64_t Below(std::uint64_t n) { return Next() % n; }
  std::string Digits(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>('0' + Below(10)));
    return s;
  }
  static std::string Wide(const std::string& digits) {
    std::string s;
    for (char c : digits) s += std::string("０１２３４５６７８９").substr((c - '0') * 3, 3);
    return s;
  }
  static std::string Two(std::uint64_t n) {
    return std::string(1, char('0' + n / 10)) + char('0' + n % 10);
  }
  std::string BirthDate() {
    return std::to_string(1930 + Below(90)) + Two(1 + Below(12)) + Two(1 + Below(28));
  }
  std::string Day() { return Two(1 + Below(28)); }
  // Chart numbers as clinics type them: branch numbers, "*0", blanks.
  std::string PatientNumber() {
    const std::string n = Digits(3 + static_cast<int>(Below(5)));
    switch (Below(6)) {
      case 0:
        return n + "-" + std::to_string(1 + Below(3));
      case 1:
        return n + "*0";
      case 2:
        return n + "/" + std::to_string(1 + Below(3));
      case 3:
        return " " + n + " ";
      default:
        return n;
    }
  }

  static constexpr const char* kClinics[] = {"さくら", "青葉", "みどり",
                                             "中央",   "駅前", "ひまわり"};
  static constexpr const char* kClinicKinds[] = {"内科クリニック", "医院", "診療所", "整形外科"};
  static constexpr const char* kFamily[] = {"佐藤",   "鈴木", "高橋", "田中", "伊藤", "渡辺",
                                            "山本",   "中村", "小林", "加藤", "吉田", "山田",
                                            "佐々木", "山口", "松本", "井上", "木村", "林"};
  static constexpr const char* kGiven[] = {"太", "郎", "花", "子", "一", "美", "健", "翔",
                                           "陽", "菜", "結", "蓮", "悠", "真", "誠", "愛"};
  static constexpr const char* kKanaFamily[] = {"サトウ", "スズキ",   "タカハシ", "タナカ",
                                                "イトウ", "ワタナベ", "ヤマモト", "ナカムラ"};
  static constexpr const char* kKanaGiven[] = {"タ", "ロウ", "ハナ", "コ", "イチ", "ミ", "ケン"};
  static constexpr const char* kInsurerHeads[] = {"01", "06", "31", "32", "63", "67"};
  static constexpr const char* kPayerHeads[] = {"12", "15", "21", "51", "54", "81", "83", "88"};
  static constexpr const char* kSymbols[] = {"記号", "ア", "ＫＡ", "西"};
  static constexpr const char* kDiseases[] = {"2500013", "4019004", "4600002", "0000999",
                                              "5329012", "7243005", "2720004", "8833421"};
  static constexpr const char* kActs[] = {"11,1,111000110", "12,1,112007410", "12,1,112015570",
                                          "13,1,113001810", "60,1,160000310", "60,1,160008010",
                                          "50,1,150253010", "40,1,140000610"};
  static constexpr const char* kDrugs[] = {"620098801", "611170005", "622265501", "620003855",
                                           "622038501", "622478201", "620007736", "641210102"};
  static constexpr const char* kComments[] = {"疼痛時",   "手術前内服", "１日５回　右眼",
                                              "就寝前",   "腰痛増悪",   "発熱持続",
                                              "経過観察", "再検査予定"};

  std::uint64_t state_;
  bool kokuho_;
};

}  // namespace tavo::bench

#include "checkup/checkup_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/cp932.h"
#include "core/errors.h"
#include "core/files.h"
#include "support/run_text.h"
#include "support/test_util.h"

namespace tavo::checkup {
namespace {

using test::Fixture;
using test::FixturePath;
using test::ListFiles;
using test::MessageLines;
using test::ReadBytes;
using test::Sjis;
using test::TempDir;
using test::WriteBytes;

namespace fs = std::filesystem;

Text P(const fs::path& p) { return PathText(p); }

std::vector<std::string> Counts(const RunResult& r) {
  std::vector<std::string> lines;
  for (const Text& c : r.counts) lines.push_back(ToUtf8(c));
  return lines;
}

const char kHeader[] = "患者番号,氏名,性別,特定健診受診年月,年齢,保険者番号\r\n";

// The bytes of a row of 100 fields as the import writes it.
std::string Row(const std::string& p, const std::string& name, const std::string& ym) {
  return p + "," + name + ",20260601" + std::string(95, ',') + "1," + ym + ",\r\n";
}

// The long header line of the linkage file, first and last columns checked by text.
std::string LongHeaderBytes() {
  const std::string expected = Fixture("checkup/202606_carte_checkup.expected");
  return expected.substr(0, expected.find("\r\n") + 2);
}

TEST(CheckupValues, GetCarte) {
  const std::pair<const char*, const char*> cases[] = {
      {"0012345", "12345"},
      {"12345", "12345"},
      {"0000", "0000"},
      {"ABC", "ABC"},
      {"", ""},
      {"-007", "-7"},
      {"12a", "12a"},
      {"00000000000000000001", "1"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ToUtf8(GetCarte(T(in))), out) << in;
}

TEST(CheckupHeader, LongHeaderColumns) {
  const std::string header = LongHeaderBytes();
  ASSERT_GT(header.size(), 2u);
  std::vector<std::string> cols;
  std::size_t start = 0;
  const std::string line = header.substr(0, header.size() - 2);
  for (std::size_t i = 0; i <= line.size(); ++i) {
    if (i == line.size() || line[i] == ',') {
      cols.push_back(line.substr(start, i - start));
      start = i + 1;
    }
  }
  ASSERT_EQ(cols.size(), 100u);
  EXPECT_EQ(cols[0], Sjis("カルテ番号"));
  EXPECT_EQ(cols[1], Sjis("氏名"));
  EXPECT_EQ(cols[2], Sjis("受診年月日"));
  EXPECT_EQ(cols[16], "");
  EXPECT_EQ(cols[97], Sjis("特定健診の受診の有無《L》"));
  EXPECT_EQ(cols[98], Sjis("特定健診の受診年月《L》"));
}

// Target June 2026 over a list with every rule of selection and ordering, plus
// an additional file: ages 39/75 out, 40/74 in; November 2025 out, December in;
// a hyphenated or a later month out; 0012345 and 12345 one patient with the
// later month and the earlier line; 0000 and ABC kept as they are; a character
// outside Shift_JIS as "?"; the additional file's header and blank lines dropped.
TEST(CheckupCnv, WholeFileMatchesFixture) {
  TempDir dir;
  const Env env = test::MakeEnv(dir.path());
  const RunResult r = Cnv(env, u"08", u"06", P(FixturePath("checkup/checkups.csv")),
                          P(FixturePath("checkup/additional.csv")));
  EXPECT_TRUE(r.messages.empty()) << testing::PrintToString(MessageLines(r));
  ASSERT_TRUE(r.wrote());
  EXPECT_EQ(r.written[0], env.programDir / T("202606_carte_特定健診.csv"));
  EXPECT_EQ(ToUtf8(r.gstMsg), "202606_carte_特定健診.csvが作成されました");
  EXPECT_EQ(ToUtf8(r.gstFile1), "202606_carte_特定健診.csv");
  EXPECT_TRUE(r.gstFile2.empty());
  EXPECT_EQ(ReadBytes(r.written[0]), Fixture("checkup/202606_carte_checkup.expected"));
  // 21 lines: 11 qualify for 10 patients (12345 twice); left out are the
  // blank line, 1100 (four fields), 200, 700 and 1200 (month), 400, 500, 800
  // and 900 (age), 1000 (no name). The name of 1600 holds 𠮷.
  EXPECT_EQ(Counts(r),
            (std::vector<std::string>{
                "21行を読み、条件に該当した11行から患者10人の行を書き込みました"
                "（追加レセ電連携ファイルから3行）",
                "読み飛ばした行: 10行（空行 1行、項目が足りない 1行、受診年月が対象外 3行、"
                "年齢が対象外 4行、患者番号か氏名が空欄 1行）",
                "Shift_JISで表せないため?に置き換えた文字: 1文字"}));
  EXPECT_EQ(ToUtf8(r.operation), "特定健診取込");
  EXPECT_EQ(ToUtf8(r.options), "令和08年06月");
}

// Every character of a patient number or a name that Shift_JIS lacks becomes
// one "?" and is counted; a "?" of the list itself is not.
TEST(CheckupCnv, CharactersShiftJisLacksAreCounted) {
  TempDir dir;
  const Env env = test::MakeEnv(dir.path());
  const fs::path in = dir / "in.csv";
  WriteBytes(in, std::string(kHeader) + "ß,é𠮷,1,202606,50,x\r\n2,a?b,1,202606,50,x\r\n");
  const RunResult r = Cnv(env, u"08", u"06", P(in), u"");
  ASSERT_TRUE(r.wrote());
  EXPECT_EQ(ReadBytes(r.written[0]),
            LongHeaderBytes() + Row("?", "??", "202606") + Row("2", "a?b", "202606"));
  EXPECT_EQ(Counts(r),
            (std::vector<std::string>{"2行を読み、条件に該当した2行から患者2人の行を書き込みました",
                                      "Shift_JISで表せないため?に置き換えた文字: 3文字"}));
}

// Nobody qualifies: nothing is written, and the counts say why.
TEST(CheckupCnv, CountsWhenNobodyQualifies) {
  TempDir dir;
  const Env env = test::MakeEnv(dir.path());
  const fs::path in = dir / "in.csv";
  WriteBytes(in, std::string(kHeader) + "1,甲,1,202606,75,x\r\n2,乙,1,202605,39,x\r\n");
  const RunResult r = Cnv(env, u"08", u"06", P(in), u"");
  EXPECT_FALSE(r.wrote());
  EXPECT_EQ(Counts(r), (std::vector<std::string>{"2行を読みました",
                                                 "読み飛ばした行: 2行（年齢が対象外 2行）"}));
}

// The window of six months back across a year end, and its edges.
TEST(CheckupCnv, SixMonthWindow) {
  struct Case {
    const char* year;
    const char* month;
    const char* inside;
    const char* before;  // the month just before the window
    const char* after;   // the month after the target
  };
  const Case cases[] = {
      {"08", "06", "202512", "202511", "202607"},
      {"08", "03", "202509", "202508", "202604"},
      {"08", "01", "202507", "202506", "202602"},
      {"07", "12", "202506", "202505", "202601"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const Env env = test::MakeEnv(dir.path());
    const fs::path in = dir / "in.csv";
    WriteBytes(in, std::string(kHeader) + "1,甲,1," + c.before + ",50,x\r\n2,乙,1," + c.inside +
                       ",50,x\r\n3,丙,1," + c.after + ",50,x\r\n");
    const RunResult r = Cnv(env, T(c.year), T(c.month), P(in), u"");
    ASSERT_TRUE(r.wrote()) << c.month;
    const std::string ngt = "20" + std::to_string(std::stoi(c.year) + 18) + c.month;
    std::string row = Sjis(Row("2", "乙", c.inside));
    row.replace(row.find("20260601"), 8, ngt + "01");
    EXPECT_EQ(ReadBytes(r.written[0]), LongHeaderBytes() + row) << c.year << c.month;
  }
}

TEST(CheckupCnv, SameMonthOrderedByFirstLine) {
  TempDir dir;
  const Env env = test::MakeEnv(dir.path());
  const fs::path in = dir / "in.csv";
  // Patient 7 first qualifies on line 3, patient 3 on line 5: line order decides,
  // not the number. Patient 9's later line (202606) moves it behind both.
  WriteBytes(in, std::string(kHeader) +
                     "9,己,1,202604,50,x\r\n"
                     "8,戊,1,202604,30,x\r\n"
                     "7,丁,1,202605,50,x\r\n"
                     "9,己二,1,202606,50,x\r\n"
                     "3,丙,1,202605,50,x\r\n"
                     "7,丁二,1,202601,50,x\r\n");
  const RunResult r = Cnv(env, u"08", u"06", P(in), u"");
  ASSERT_TRUE(r.wrote());
  EXPECT_EQ(ReadBytes(r.written[0]), LongHeaderBytes() + Sjis(Row("7", "丁二", "202605")) +
                                         Sjis(Row("3", "丙", "202605")) +
                                         Sjis(Row("9", "己二", "202606")));
}

// A patient is known by the text of the number: 0012 and +12 are patient 12,
// two bytes that are no UTF-8 both read as U+FFFD (written as "?"), while
// 0000 and 00 stay two patients.
TEST(CheckupCnv, OnePatientPerNumberText) {
  TempDir dir;
  const Env env = test::MakeEnv(dir.path());
  const fs::path in = dir / "in.csv";
  WriteBytes(in, std::string(kHeader) +
                     "0012,甲,1,202601,50,x\r\n"
                     "+12,乙,1,202603,50,x\r\n"
                     "\xFF,丙,1,202602,50,x\r\n"
                     "\xFE,丁,1,202604,50,x\r\n"
                     "0000,戊,1,202601,50,x\r\n"
                     "00,己,1,202601,50,x\r\n");
  const RunResult r = Cnv(env, u"08", u"06", P(in), u"");
  ASSERT_TRUE(r.wrote());
  EXPECT_EQ(ReadBytes(r.written[0]), LongHeaderBytes() + Sjis(Row("0000", "戊", "202601")) +
                                         Sjis(Row("00", "己", "202601")) +
                                         Sjis(Row("12", "乙", "202603")) +
                                         Sjis(Row("?", "丁", "202604")));
}

// A long list of few patients, which the import takes in batches across its
// reads: the same rows as the rule applied line by line (each patient's
// latest month and last name, in the order of month and first line). The
// lines end in CR LF, LF or CR; some do not qualify, some are blank or short,
// some numbers are no plain digits.
TEST(CheckupCnv, LongListSameAsTheRuleLineByLine) {
  TempDir dir;
  const Env env = test::MakeEnv(dir.path());
  std::mt19937 rng(606);
  const auto pick = [&rng](const auto& from) { return from[rng() % std::size(from)]; };
  const char* const ids[] = {"0012", "12", "+12", "7", "00007", "A1", " 5 ", "0", "123456789012345678",
                             "1234567890123456789", "\xFF", "42", "042", "43", "44"};
  const char* const names[] = {"甲", "乙", "丙 丁", "戊", " 己 "};
  const char* const months[] = {"202511", "202512", "202601", "202604", "202606", "202607", "2026-1", " 202603"};
  const char* const ages[] = {"39", "40", "55", "74", "75", "", "x"};
  const char* const ends[] = {"\r\n", "\n", "\r"};
  std::string input = kHeader;
  std::vector<std::string> lines;
  while (input.size() < (3u << 20)) {
    std::string line;
    switch (rng() % 20) {
      case 0:
        line = "";
        break;
      case 1:
        line = std::string(pick(ids)) + "," + pick(names) + ",1," + pick(months);
        break;
      default:
        line = std::string(pick(ids)) + "," + pick(names) + ",1," + pick(months) + "," + pick(ages) +
               ",06123456";
    }
    lines.push_back(line);
    input += line + pick(ends);
  }
  WriteBytes(dir / "in.csv", input);

  struct Kept {
    std::string p;
    std::string name;
    std::string ym;
    std::size_t seq;
  };
  std::vector<Kept> kept;
  const CheckupWindow window{202512, 202606};
  for (std::size_t j = 1; j <= lines.size(); ++j) {
    const auto c = QualifyLine(FromUtf8(lines[j - 1]), window);
    if (!c) continue;
    auto it = std::find_if(kept.begin(), kept.end(), [&](const Kept& k) { return k.p == ToUtf8(c->p); });
    if (it == kept.end()) {
      kept.push_back(Kept{ToUtf8(c->p), ToUtf8(c->n), ToUtf8(c->ym), j});
    } else {
      it->name = ToUtf8(c->n);
      it->ym = std::max(it->ym, ToUtf8(c->ym));
    }
  }
  std::stable_sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) {
    return a.ym != b.ym ? a.ym < b.ym : a.seq < b.seq;
  });
  std::string expected = LongHeaderBytes();
  for (const Kept& k : kept) expected += Cp932Encode(FromUtf8(Row(k.p, k.name, k.ym)));
  ASSERT_GT(kept.size(), 5u);

  const RunResult r = Cnv(env, u"08", u"06", P(dir / "in.csv"), u"");
  ASSERT_TRUE(r.wrote()) << testing::PrintToString(MessageLines(r));
  EXPECT_EQ(ReadBytes(r.written[0]), expected);
}

TEST(CheckupCnv, NoPatientButAdditionalLines) {
  TempDir dir;
  const Env env = test::MakeEnv(dir.path());
  const fs::path in = dir / "in.csv";
  const fs::path add = dir / "add.csv";
  WriteBytes(in, std::string(kHeader) + "1,甲,1,202606,39,x\r\n");
  WriteBytes(add, Sjis("1,追加\n2,二\r\n"));  // first line without カルテ番号 stays
  const RunResult r = Cnv(env, u"08", u"06", P(in), P(add));
  EXPECT_EQ(MessageLines(r),
            std::vector<std::string>{"情報: 条件に該当する患者がいませんでした。"});
  ASSERT_TRUE(r.wrote());
  EXPECT_EQ(ReadBytes(r.written[0]), LongHeaderBytes() + Sjis("1,追加\r\n2,二\r\n"));
}

// Runs that write nothing: their messages, and an empty program folder.
TEST(CheckupCnv, RunsThatWriteNothing) {
  struct Case {
    const char* name;
    std::string input;  // empty: no file
    std::string additional;
    bool additionalNamed;
    const char* year;
    const char* month;
    std::vector<std::string> messages;
  };
  const std::string good = std::string(kHeader) + "1,甲,1,202606,50,x\r\n";
  const std::string wrongFile =
      "警告: 特定健診受診年月ファイルの形式が違います。\r\n"
      "LUMAの「設定→特定健診CSV出力」で作成したCSVを選択してください。";
  const std::vector<Case> cases = {
      {"missing list",
       "",
       "",
       false,
       "08",
       "06",
       {"警告: 特定健診受診年月ファイルファイルがありません。"}},
      {"missing additional file",
       good,
       "",
       true,
       "08",
       "06",
       {"警告: 追加のレセ電連携ファイルファイルがありません。"}},
      {"month of one digit", good, "", false, "08", "5", {"警告: 対象年月が正しくありません"}},
      {"month 00", good, "", false, "08", "00", {"警告: 対象年月が正しくありません"}},
      {"month 13", good, "", false, "08", "13", {"警告: 対象年月が正しくありません"}},
      {"year of letters", good, "", false, "ab", "06", {"警告: 対象年月が正しくありません"}},
      {"negative year", good, "", false, "-1", "06", {"警告: 対象年月が正しくありません"}},
      {"month with a sign", good, "", false, "08", "+6", {"警告: 対象年月が正しくありません"}},
      {"header only", kHeader, "", false, "08", "06", {wrongFile}},
      {"header without the key text",
       "患者番号,氏名\r\n1,甲,1,202606,50,x\r\n",
       "",
       false,
       "08",
       "06",
       {wrongFile}},
      {"Shift_JIS list", Sjis(good), "", false, "08", "06", {wrongFile}},
      {"nobody qualifies",
       std::string(kHeader) + "1,甲,1,202606,75,x\r\n",
       "",
       false,
       "08",
       "06",
       {"情報: 条件に該当する患者がいませんでした。"}},
      {"nobody qualifies, additional header only",
       std::string(kHeader) + "\r\n",
       Sjis("カルテ番号,氏名\r\n  \r\n"),
       true,
       "08",
       "06",
       {"情報: 条件に該当する患者がいませんでした。"}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const Env env = test::MakeEnv(dir.path());
    const fs::path in = dir / "in.csv";
    const fs::path add = dir / "add.csv";
    if (!c.input.empty()) WriteBytes(in, c.input);
    if (!c.additional.empty()) WriteBytes(add, c.additional);
    const RunResult r = Cnv(env, T(c.year), T(c.month), P(in), c.additionalNamed ? P(add) : u"");
    EXPECT_EQ(MessageLines(r), c.messages) << c.name;
    EXPECT_FALSE(r.wrote()) << c.name;
    EXPECT_TRUE(ListFiles(env.programDir).empty()) << c.name;
  }
}

TEST(CheckupCnv, BlankAdditionalPathMeansNone) {
  TempDir dir;
  const Env env = test::MakeEnv(dir.path());
  const fs::path in = dir / "in.csv";
  WriteBytes(in, std::string(kHeader) + "1,甲,1,202606,50,x\r\n");
  const RunResult r = Cnv(env, u" 08", u"06 ", P(in), u"   ");
  EXPECT_TRUE(r.messages.empty());
  ASSERT_TRUE(r.wrote());
  EXPECT_EQ(ReadBytes(r.written[0]), LongHeaderBytes() + Sjis(Row("1", "甲", "202606")));
}

TEST(CheckupCnv, RefusesToWriteOverTheAdditionalFile) {
  TempDir dir;
  const Env env = test::MakeEnv(dir.path());
  const fs::path in = dir / "in.csv";
  WriteBytes(in, std::string(kHeader) + "1,甲,1,202606,50,x\r\n");
  const fs::path add = env.programDir / T("202606_carte_特定健診.csv");
  const std::string before = Sjis("カルテ番号\r\n5,乙\r\n");
  WriteBytes(add, before);
  const RunResult r = Cnv(env, u"08", u"06", P(in), P(add));
  EXPECT_FALSE(r.wrote());
  EXPECT_EQ(MessageLines(r),
            std::vector<std::string>{
                "警告: 変換後のファイル名「202606_carte_特定健診.csv」が変換前のファイル"
                "と同じになるため、作成しません。"});
  EXPECT_EQ(ReadBytes(add), before);
}

}  // namespace
}  // namespace tavo::checkup

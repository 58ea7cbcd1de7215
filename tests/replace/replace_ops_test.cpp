#include "replace/replace_ops.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/comma.h"
#include "core/errors.h"
#include "core/files.h"
#include "support/test_util.h"

namespace tavo::replace {
namespace {

using test::Fixture;
using test::ListFiles;
using test::ReadBytes;
using test::Sjis;
using test::TempDir;
using test::WriteBytes;

namespace fs = std::filesystem;
using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs PairsOf(const NumberMap& map) {
  Pairs out;
  for (std::size_t i = 0; i < map.size(); ++i) {
    out.emplace_back(ToUtf8(map.mlsList[i]), ToUtf8(map.mlsList2[i]));
  }
  return out;
}

Text PathArg(const fs::path& p) { return PathText(p); }

// ------------------------------------------------------------ loading

struct LoadCase {
  const char* name;
  std::string bytes;  // the definition file
  Pairs padded;
  Pairs unpadded;
};

TEST(ReplaceDefinitionLoad, PaddedAndUnpaddedLoading) {
  const std::vector<LoadCase> cases = {
      {"plain pair", "123,456\r\n", {{"0000000123", "0000000456"}}, {{"123", "456"}}},
      {"long numbers are never cut",
       "12345678901,5\r\n",
       {{"12345678901", "0000000005"}},
       {{"12345678901", "5"}}},
      {"blanks trimmed, third field ignored",
       " 12 , 34 ,x\r\n",
       {{"0000000012", "0000000034"}},
       {{"12", "34"}}},
      {"quote characters removed, not interpreted",
       "\"7\",\"8\"\r\n",
       {{"0000000007", "0000000008"}},
       {{"7", "8"}}},
      {"one field and empty lines skipped",
       "abc\r\n\r\n9,10\n",
       {{"0000000009", "0000000010"}},
       {{"9", "10"}}},
      {"a lone comma is an empty pair", ",\r\n", {{"0000000000", "0000000000"}}, {{"", ""}}},
      {"duplicates kept in file order",
       "5,6\r\n5,7\r\n",
       {{"0000000005", "0000000006"}, {"0000000005", "0000000007"}},
       {{"5", "6"}, {"5", "7"}}},
      {"a lone CR is dropped from the line",
       "1\r2,3\r\n",
       {{"0000000012", "0000000003"}},
       {{"12", "3"}}},
      {"reading stops at 1A",
       "1,2\r\n\x1a"
       "3,4\r\n",
       {{"0000000001", "0000000002"}},
       {{"1", "2"}}},
      {"full-width space is not trimmed",
       Sjis("\u30005,6\r\n"),
       {{"00000000\u30005", "0000000006"}},
       {{"\u30005", "6"}}},
      {"a caption row becomes a pair",
       Sjis("旧番号,新番号\r\n"),
       {{"0000000旧番号", "0000000新番号"}},
       {{"旧番号", "新番号"}}},
      {"no line at all", "", {}, {}},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir / "def.csv";
    WriteBytes(file, c.bytes);
    NumberMap map;
    RunResult r;
    ASSERT_TRUE(CsvSet(PathArg(file), map, r));
    EXPECT_EQ(PairsOf(map), c.padded);
    ASSERT_TRUE(CsvSet2(PathArg(file), map, r));
    EXPECT_EQ(PairsOf(map), c.unpadded);
    EXPECT_TRUE(r.messages.empty());
  }
}

TEST(ReplaceDefinitionLoad, MissingFileWarnsOnceAndEmptiesTheMap) {
  TempDir dir;
  for (bool padded : {true, false}) {
    NumberMap map;
    map.Add(u"1", u"2");
    RunResult r;
    const Text missing = PathArg(dir / "none.csv");
    EXPECT_FALSE(padded ? CsvSet(missing, map, r) : CsvSet2(missing, map, r));
    EXPECT_EQ(map.size(), 0u);
    EXPECT_FALSE(map.Find(u"1"));
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0],
              (Message{MsgKind::Warning, T("変更定義ファイルがファイルがありません。")}));
  }
}

TEST(ReplaceDefinitionLoad, EveryLoadReplacesThePreviousMap) {
  TempDir dir;
  WriteBytes(dir / "a.csv", "1,2\r\n");
  WriteBytes(dir / "b.csv", "3,4\r\n");
  NumberMap map;
  RunResult r;
  ASSERT_TRUE(CsvSet2(PathArg(dir / "a.csv"), map, r));
  ASSERT_TRUE(CsvSet2(PathArg(dir / "b.csv"), map, r));
  EXPECT_EQ(PairsOf(map), (Pairs{{"3", "4"}}));
  EXPECT_FALSE(map.Find(u"1"));
}

TEST(ReplaceDefinitionLoad, ZeroFill) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "0000000000"},
      {"1", "0000000001"},
      {"123456789", "0123456789"},
      {"1234567890", "1234567890"},
      {"12345678901", "12345678901"},
      {"ab", "00000000ab"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ToUtf8(ZeroFill10(T(in))), out) << in;
}

// ------------------------------------------------------------ lookup

TEST(ReplaceLookup, FirstMatchSameLengthCaseIgnored) {
  NumberMap map;
  for (const char* old : {"0000000005", "0000000005", "abc", "K-100", "12", "ＡＢ", "123"}) {
    map.Add(T(old), u"x");
  }
  const std::vector<std::pair<std::string, std::optional<std::size_t>>> cases = {
      {"0000000005", 0},  // the earliest line wins
      {"ABC", 2},
      {"aBc", 2},
      {"k-100", 3},
      {"12", 4},
      {"ａｂ", 5},            // full-width letters fold too
      {"5", std::nullopt},    // keys are never padded
      {"012", std::nullopt},  // same text, other length
      {" 12", std::nullopt},  // the key is used as given
      {"1", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [key, want] : cases) EXPECT_EQ(map.Find(T(key)), want) << key;
}

TEST(ReplaceLookup, EmptyOldNumberMatchesOnlyTheEmptyKey) {
  NumberMap map;
  map.Add(u"", u"9");
  EXPECT_EQ(map.Find(u""), std::optional<std::size_t>(0));
  EXPECT_FALSE(map.Find(u"0"));
}

// ------------------------------------------------------------ names

TEST(ReplaceOutputNames, Mode1AndMode2) {
  const std::vector<std::pair<std::string, std::string>> mode1 = {
      {"G_FF1_420123456_all.txt", "G_FF1_420123456_allR.txt"},
      {"a.txt.txt", "aR.txtR.txt"},
      {"data.TXT", "data.TXT"},
      {"データ.txt", "データR.txt"},
  };
  for (const auto& [in, out] : mode1) EXPECT_EQ(ToUtf8(OutputName1(T(in))), out) << in;
  EXPECT_EQ(ToUtf8(OutputName2(u"RECEIPTC.UKE", u"_1R.UKE")), "RECEIPTC_1R.UKE");
  EXPECT_EQ(ToUtf8(OutputName2(u"a.UKE.UKE", u"R.UKE")), "aR.UKER.UKE");
  EXPECT_EQ(ToUtf8(OutputName2(u"receiptc.uke", u"_2R.UKE")), "receiptc.uke");
}

// ------------------------------------------------------------ runs

class ReplaceRun : public ::testing::Test {
 protected:
  TempDir root;
  Env env = test::MakeEnv(root.path());
  fs::path in = root / "in";

  void SetUp() override { fs::create_directories(in); }

  fs::path Put(const std::string& name, const std::string& bytes) {
    WriteBytes(in / name, bytes);
    return in / name;
  }
  NumberMap Map(const std::string& def, bool padded) {
    const fs::path file = Put("def.csv", def);
    NumberMap map;
    RunResult r;
    EXPECT_TRUE(padded ? CsvSet(PathArg(file), map, r) : CsvSet2(PathArg(file), map, r));
    return map;
  }
};

TEST_F(ReplaceRun, Mode1WholeFile) {
  const fs::path input = Put("G_FF1_420123456_all.txt", Fixture("replace/mode1_in.txt"));
  const NumberMap map = Map(Fixture("replace/mode1_def.csv"), true);
  const RunResult r = Cnv(env, PathArg(input), map);
  EXPECT_TRUE(r.messages.empty());
  ASSERT_EQ(r.written.size(), 1u);
  EXPECT_EQ(r.written[0], env.programDir / "G_FF1_420123456_allR.txt");
  EXPECT_EQ(ReadBytes(r.written[0]), Fixture("replace/mode1_expected.txt"));
  EXPECT_EQ(r.gstMsg, T("G_FF1_420123456_allR.txtが作成されました"));
  EXPECT_EQ(r.gstFile1, T("G_FF1_420123456_allR.txt"));
  EXPECT_TRUE(r.gstFile2.empty());
  EXPECT_EQ(ReadBytes(input), Fixture("replace/mode1_in.txt"));  // input only read
  EXPECT_EQ(r.counts, (std::vector<Text>{T("8行を読み、患者番号を4件置き換えました"),
                                         T("定義にない番号: 3件（2, 4, 8行目）")}));
}

TEST_F(ReplaceRun, Mode1KeepsEveryByteItDoesNotReplace) {
  // Line ends CR LF, LF, CR and none; blanks and quotes; a code with a twin
  // (ED40, which Windows writes FA5C) in a row that is replaced through its
  // text (a full-width key) and in one that is not replaced.
  const fs::path input = Put("mixed.txt", Fixture("replace/mode1_mixed.txt"));
  const RunResult r = Cnv(env, PathArg(input), Map(Fixture("replace/mode1_mixed_def.csv"), true));
  EXPECT_TRUE(r.messages.empty());
  ASSERT_TRUE(r.wrote());
  EXPECT_EQ(ReadBytes(env.programDir / "mixedR.txt"), Fixture("replace/mode1_mixed_expected.txt"));
  EXPECT_EQ(r.counts, (std::vector<Text>{T("6行を読み、患者番号を5件置き換えました"),
                                         T("定義にない番号: 1件（2行目）")}));
}

TEST_F(ReplaceRun, Mode1Utf8InputIsWrittenInShiftJis) {
  const fs::path input = Put("u.txt",
                             "\xEF\xBB\xBF"
                             "A\t0000000123\t山田\r\n");
  const RunResult r = Cnv(env, PathArg(input), Map("123,456\r\n", true));
  ASSERT_TRUE(r.wrote());
  EXPECT_EQ(ReadBytes(env.programDir / "uR.txt"), Sjis("A\t0000000456\t山田\r\n"));
}

TEST_F(ReplaceRun, Mode2WholeFiles) {
  const NumberMap map = Map(Fixture("replace/mode2_def.csv"), false);
  fs::create_directories(in / "s");
  fs::create_directories(in / "k");
  WriteBytes(in / "s" / "RECEIPTC.UKE", Fixture("replace/mode2_shaho.UKE"));
  WriteBytes(in / "k" / "RECEIPTC.UKE", Fixture("replace/mode2_kokuho.UKE"));

  const RunResult s = Cnv2(env, PathArg(in / "s" / "RECEIPTC.UKE"), map);
  EXPECT_TRUE(s.messages.empty());
  EXPECT_EQ(s.gstMsg, T("RECEIPTC_1R.UKEが作成されました"));
  EXPECT_EQ(s.gstFile1, T("RECEIPTC_1R.UKE"));
  EXPECT_EQ(ReadBytes(env.programDir / "RECEIPTC_1R.UKE"),
            Fixture("replace/mode2_shaho_expected.UKE"));

  EXPECT_EQ(s.counts, (std::vector<Text>{T("RE 6件を読み、患者番号を3件置き換えました"),
                                         T("定義にない番号: 2件（10, 11行目）")}));

  const RunResult k = Cnv2(env, PathArg(in / "k" / "RECEIPTC.UKE"), map);
  EXPECT_EQ(k.gstFile1, T("RECEIPTC_2R.UKE"));
  EXPECT_TRUE(k.gstFile2.empty());
  EXPECT_EQ(ReadBytes(env.programDir / "RECEIPTC_2R.UKE"),
            Fixture("replace/mode2_kokuho_expected.UKE"));
  EXPECT_EQ(k.counts, std::vector<Text>{T("RE 1件を読み、患者番号を1件置き換えました")});
}

TEST_F(ReplaceRun, Mode2ChangesOnlyTheChartNumbersItReplaces) {
  // Blank lines, blanks and quotes in HO, RE, CO, SY and KO records, line
  // ends CR LF, LF, CR and none, codes with a twin (ED40): all as they stand.
  // A replaced chart number takes the place of its whole field, its quotes
  // and blanks included; the rest of its record stays.
  fs::create_directories(in / "m");
  WriteBytes(in / "m" / "MIXED.UKE", Fixture("replace/mode2_mixed.UKE"));
  const RunResult r =
      Cnv2(env, PathArg(in / "m" / "MIXED.UKE"), Map(Fixture("replace/mode2_def.csv"), false));
  EXPECT_TRUE(r.messages.empty());
  ASSERT_TRUE(r.wrote());
  EXPECT_EQ(ReadBytes(env.programDir / "MIXED_1R.UKE"),
            Fixture("replace/mode2_mixed_expected.UKE"));
  EXPECT_EQ(r.counts, (std::vector<Text>{T("RE 5件を読み、患者番号を3件置き換えました"),
                                         T("定義にない番号: 1件（8行目）")}));
}

TEST_F(ReplaceRun, RomanNumeralsFoldAsOtherLetters) {
  // Windows folds Ⅰ..Ⅹ (8754.., FA4A..) and ⅰ..ⅹ (EEEF.., FA40..) as letters.
  struct Case {
    const char* name;
    bool mode2;
    std::string definition;
    std::string content;
    std::string expected;
  };
  const std::string re = "IR,1\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,";
  const std::vector<Case> cases = {
      {"mode 2, small numeral EEEF", true, "\x87\x54-1,999\r\n", re + "\xEE\xEF-1,x\r\n",
       "IR,1\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,999,x\r\n"},
      {"mode 2, small numeral FA40", true, "\x87\x54-1,999\r\n", re + "\xFA\x40-1,x\r\n",
       "IR,1\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,999,x\r\n"},
      {"mode 2, capital FA53 against small EEF8", true, "\xEE\xF8-2,7\r\n",
       re + "\xFA\x53-2\r\n", "IR,1\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,7\r\n"},
      {"mode 2, a UTF-8 file read as text", true, "\x87\x54-1,999\r\n",
       "\xEF\xBB\xBF" + ToUtf8(u"IR,1\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,\u2170-1\r\n"),
       "IR,1\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,999\r\n"},
      {"mode 1", false, "\x87\x5D-1,999\r\n", "A\t0000000\xEE\xF8-1\tx\r\n",
       "A\t0000000999\tx\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const NumberMap map = Map(c.definition, !c.mode2);
    const fs::path input = Put(c.mode2 ? "roman.UKE" : "roman.txt", c.content);
    const RunResult r = c.mode2 ? Cnv2(env, PathArg(input), map) : Cnv(env, PathArg(input), map);
    ASSERT_TRUE(r.wrote());
    EXPECT_EQ(ReadBytes(r.written[0]), c.expected);
  }
}

TEST_F(ReplaceRun, CountsOfNumbersReplacedAndNotFound) {
  // Blank numbers count as neither; records other than RE are not read; the
  // first five line numbers of the numbers not found are named.
  struct Case {
    const char* name;
    bool mode2;
    std::string content;
    std::vector<std::string> counts;
  };
  const std::string re = "RE,1,2,3,4,5,6,7,8,9,10,11,12,";
  const std::vector<Case> cases = {
      {"mode 2, every number found", true, "IR,1\r\n" + re + "1\r\nHO,1\r\n" + re + "2\r\n",
       {"RE 2件を読み、患者番号を2件置き換えました"}},
      {"mode 2, blank and missing numbers", true,
       "IR,1\r\n" + re + "\r\n" + re + " \r\n" + re + "7\r\n" + re + "1\r\nre,9\r\n",
       {"RE 4件を読み、患者番号を1件置き換えました", "定義にない番号: 1件（4行目）"}},
      {"mode 2, more than five not found", true,
       "IR,1\n" + re + "3\n" + re + "4\n\n" + re + "5\n" + re + "6\n" + re + "7\n" + re + "8\n",
       {"RE 6件を読み、患者番号を0件置き換えました",
        "定義にない番号: 6件（2, 3, 5, 6, 7行目ほか）"}},
      {"mode 1", false, "A\t0000000001\r\nB\t0000000003\r\nC\t\"\"\r\nD\t1\r\n",
       {"4行を読み、患者番号を1件置き換えました", "定義にない番号: 2件（2, 4行目）"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const NumberMap map = Map("1,9\r\n2,8\r\n", !c.mode2);
    const fs::path input = Put(c.mode2 ? "c.UKE" : "c.txt", c.content);
    const RunResult r = c.mode2 ? Cnv2(env, PathArg(input), map) : Cnv(env, PathArg(input), map);
    ASSERT_TRUE(r.wrote());
    std::vector<std::string> counts;
    for (const Text& line : r.counts) counts.push_back(ToUtf8(line));
    EXPECT_EQ(counts, c.counts);
  }
}

TEST_F(ReplaceRun, EveryRunNamesItselfForTheHistory) {
  const fs::path def = Put("def.csv", "1,9\r\n");
  const fs::path file = Put("a.txt", "A\t0000000001\r\n");
  const fs::path shaho = Put("S.UKE", "IR,1\r\n");
  const RunResult r1 = RunMode1(env, PathArg(def), PathArg(file));
  EXPECT_EQ(r1.operation, T("患者番号リプレース"));
  EXPECT_EQ(r1.options, T("モード1"));
  EXPECT_EQ(r1.inputs, (std::vector<fs::path>{def, file}));
  const auto r2 = RunMode2(env, PathArg(def), PathArg(shaho), PathArg(in / "none.UKE"));
  ASSERT_EQ(r2.size(), 2u);
  for (const RunResult& r : r2) {
    EXPECT_EQ(r.operation, T("患者番号リプレース"));
    EXPECT_EQ(r.options, T("モード2"));
  }
  EXPECT_EQ(r2[0].inputs, (std::vector<fs::path>{def, shaho}));
  EXPECT_EQ(r2[1].inputs, (std::vector<fs::path>{def, in / "none.UKE"}));  // a missing file too
  // A definition that cannot be loaded: the click's one line names all inputs.
  const auto failed = RunMode2(env, PathArg(in / "nodef.csv"), PathArg(shaho), PathArg(file));
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0].options, T("モード2"));
  EXPECT_EQ(failed[0].inputs, (std::vector<fs::path>{in / "nodef.csv", shaho, file}));
  EXPECT_TRUE(failed[0].counts.empty());
}

TEST_F(ReplaceRun, Mode2NameSuffixFromTheIrRecord) {
  const NumberMap map = Map("1,2\r\n", false);
  struct Case {
    const char* name;
    std::string file;
    std::string content;
    std::string output;
  };
  const std::vector<Case> cases = {
      {"no IR record", "A.UKE", "GO,1\r\n", "AR.UKE"},
      {"blank around the payer is not trimmed", "B.UKE", "IR, 2\r\n", "BR.UKE"},
      {"a later IR record overrides", "C.UKE", "IR,1\r\nIR,2\r\n", "C_2R.UKE"},
      {"other payer keeps the suffix", "D.UKE", "IR,1\r\nIR,3\r\n", "D_1R.UKE"},
      {"lower-case extension keeps the name", "e.uke", "IR,2\r\n", "e.uke"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RunResult r = Cnv2(env, PathArg(Put(c.file, c.content)), map);
    ASSERT_EQ(r.written.size(), 1u);
    EXPECT_EQ(r.written[0], env.programDir / c.output);
  }
}

TEST_F(ReplaceRun, Mode2RecordsThatOnlyLookLikeTheNextReceipt) {
  // While a receipt is written, the next RE record is looked for ahead: an
  // "R" anywhere, an RE record too short to hold a chart number, a record
  // named REX, and a last line without line end change nothing.
  const NumberMap map = Map("1,2\r\n", false);
  const std::string re = "RE,1,2,3,4,5,6,7,8,9,10,11,12,";
  const std::string content = "IR,1\r\n" + re + "1,x\r\nSI,R,RE,1\r\nREX,1,R\r\n" + re +
                              " 1 \r\nHO,\x82R,RE\r\n" + re + "1\r\nZZ,R";
  const std::string expected = "IR,1\r\n" + re + "2,x\r\nSI,R,RE,1\r\nREX,1,R\r\n" + re +
                               "2\r\nHO,\x82R,RE\r\n" + re + "2\r\nZZ,R";
  const RunResult r = Cnv2(env, PathArg(Put("R.UKE", content)), map);
  ASSERT_TRUE(r.wrote());
  EXPECT_EQ(ReadBytes(env.programDir / "R_1R.UKE"), expected);
}

TEST_F(ReplaceRun, Mode2KeepsEveryLineEnd) {
  // Records copied with the line end that follows them in the input, also
  // around the 1 MiB read; the last line keeps having none.
  const NumberMap map = Map("1,2\r\n", false);
  const std::string filler(std::size_t{1} << 20, 'A');
  const std::string re = "RE,1,2,3,4,5,6,7,8,9,10,11,12,";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"SI,1\nSI,2\rSI,3\r\nSI,4", "SI,1\nSI,2\rSI,3\r\nSI,4"},
      {"SI,1\r\n\r\nSI,2\n\r\n", "SI,1\r\n\r\nSI,2\n\r\n"},  // empty records stay empty
      {re + "1\n" + re + "1\r" + re + "1", re + "2\n" + re + "2\r" + re + "2"},
      {"SI," + filler.substr(0, (1 << 20) - 5) + "\r\nSI,2\r",
       "SI," + filler.substr(0, (1 << 20) - 5) + "\r\nSI,2\r"},  // CR LF astride the read
      {"SI," + filler.substr(0, (1 << 20) - 4) + "\r\nSI,2",
       "SI," + filler.substr(0, (1 << 20) - 4) + "\r\nSI,2"},  // CR LF just after it
      {"SI," + filler.substr(0, (1 << 20) - 4) + "\r\r\n" + re + "1\n",
       "SI," + filler.substr(0, (1 << 20) - 4) + "\r\r\n" + re + "2\n"},  // CR at the read's end
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    const RunResult r =
        Cnv2(env, PathArg(Put("E" + std::to_string(i) + ".UKE", cases[i].first)), map);
    ASSERT_TRUE(r.wrote());
    EXPECT_EQ(ReadBytes(r.written[0]), cases[i].second);
  }
}

TEST_F(ReplaceRun, RecordTooShortStopsWithTheIndexError) {
  struct Case {
    const char* name;
    bool mode2;
    std::string content;
    int index;
  };
  const std::vector<Case> cases = {
      {"RE with 13 fields", true, "IR,1\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12\r\n", 13},
      {"IR with a single field", true, "IR\r\n", 1},
      {"outpatient line with one field", false, "A\t0000000001\r\nabc\r\n", 1},
      {"empty outpatient line", false, "A\t0000000001\r\n\r\nB\t1\r\n", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const NumberMap map = Map("1,2\r\n", !c.mode2);
    const fs::path input = Put(c.mode2 ? "x.UKE" : "x.txt", c.content);
    const RunResult r = c.mode2 ? Cnv2(env, PathArg(input), map) : Cnv(env, PathArg(input), map);
    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(r.wrote());
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], (Message{MsgKind::Error, IndexErrorText(c.index)}));
    EXPECT_TRUE(ListFiles(env.programDir).empty());
  }
}

TEST_F(ReplaceRun, MissingOrEmptyInputWritesNothing) {
  const NumberMap map = Map("1,2\r\n", false);
  for (bool mode2 : {false, true}) {
    const RunResult missing =
        mode2 ? Cnv2(env, PathArg(in / "none.UKE"), map) : Cnv(env, PathArg(in / "none.txt"), map);
    EXPECT_EQ(missing.messages,
              (std::vector<Message>{{MsgKind::Warning, T("ファイルがありません。")}}));
    EXPECT_FALSE(missing.stopped);

    const fs::path empty = Put(mode2 ? "empty.UKE" : "empty.txt", "");
    const RunResult r = mode2 ? Cnv2(env, PathArg(empty), map) : Cnv(env, PathArg(empty), map);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].kind, MsgKind::Warning);
    EXPECT_NE(r.messages[0].text.find(PathArg(empty)), Text::npos);  // names the file
    EXPECT_TRUE(r.gstMsg.empty());
    EXPECT_FALSE(r.stopped);
  }
  EXPECT_TRUE(ListFiles(env.programDir).empty());
}

TEST_F(ReplaceRun, OutputNamedLikeItsInputInTheProgramFolderIsRefused) {
  const std::string mode1 = "A\t0000000001\r\n";
  const std::string mode2 = "IR,2\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,1\r\n";
  WriteBytes(env.programDir / "data.TXT", mode1);
  WriteBytes(env.programDir / "receiptc.uke", mode2);
  const RunResult r1 = Cnv(env, PathArg(env.programDir / "data.TXT"), Map("1,2\r\n", true));
  const RunResult r2 = Cnv2(env, PathArg(env.programDir / "receiptc.uke"), Map("1,2\r\n", false));
  for (const RunResult* r : {&r1, &r2}) {
    EXPECT_FALSE(r->wrote());
    ASSERT_EQ(r->messages.size(), 1u);
    EXPECT_EQ(r->messages[0].kind, MsgKind::Warning);
    EXPECT_TRUE(r->gstMsg.empty());
  }
  EXPECT_NE(r2.messages[0].text.find(u"receiptc.uke"), Text::npos);
  EXPECT_EQ(ReadBytes(env.programDir / "data.TXT"), mode1);
  EXPECT_EQ(ReadBytes(env.programDir / "receiptc.uke"), mode2);

  // The same name from another folder is written into the program folder.
  const RunResult r3 = Cnv2(env, PathArg(Put("receiptc.uke", mode2)), Map("1,2\r\n", false));
  ASSERT_TRUE(r3.wrote());
  EXPECT_EQ(ReadBytes(env.programDir / "receiptc.uke"),
            "IR,2\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,2\r\n");
}

TEST_F(ReplaceRun, EarlierOutputIsReplacedWhole) {
  WriteBytes(env.programDir / "aR.txt", std::string(1000, 'x'));
  const RunResult r = Cnv(env, PathArg(Put("a.txt", "A\t1\r\n")), Map("1,2\r\n", true));
  ASSERT_TRUE(r.wrote());
  EXPECT_EQ(ReadBytes(env.programDir / "aR.txt"), "A\t1\r\n");
}

TEST_F(ReplaceRun, Mode2RunGoesOnAfterAMissingShahoFileButNotAfterAnIndexError) {
  const fs::path def = Put("def.csv", "1,9\r\n");
  const fs::path kokuho = Put("K.UKE", "IR,2\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,1\r\n");
  auto results = RunMode2(env, PathArg(def), PathArg(in / "none.UKE"), PathArg(kokuho));
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0].messages,
            (std::vector<Message>{{MsgKind::Warning, T("ファイルがありません。")}}));
  EXPECT_EQ(ReadBytes(env.programDir / "K_2R.UKE"), "IR,2\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,9\r\n");

  const fs::path broken = Put("S.UKE", "IR,1\r\nRE,1\r\n");
  results = RunMode2(env, PathArg(def), PathArg(broken), PathArg(kokuho));
  ASSERT_EQ(results.size(), 1u);
  EXPECT_TRUE(results[0].stopped);

  results = RunMode2(env, PathArg(in / "nodef.csv"), PathArg(broken), PathArg(kokuho));
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].messages, (std::vector<Message>{{MsgKind::Warning, NoDefinitionText()}}));
}

TEST_F(ReplaceRun, Mode2SecondFileOfTheSameNameAndKindIsNotWritten) {
  // R.UKE from two folders, both 社保: both would be R_1R.UKE.
  const fs::path def = Put("def.csv", "1,9\r\n");
  fs::create_directories(in / "a");
  fs::create_directories(in / "b");
  WriteBytes(in / "a" / "R.UKE", "IR,1\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,1\r\n");
  WriteBytes(in / "b" / "R.UKE", "IR,1\r\nRE,2,2,3,4,5,6,7,8,9,10,11,12,1\r\n");
  const Text first = PathArg(in / "a" / "R.UKE");
  const Text later = PathArg(in / "b" / "R.UKE");
  const auto results = RunMode2(env, PathArg(def), first, later);
  ASSERT_EQ(results.size(), 2u);
  EXPECT_TRUE(results[0].wrote());
  EXPECT_FALSE(results[1].wrote());
  EXPECT_FALSE(results[1].stopped);
  EXPECT_TRUE(results[1].gstMsg.empty());
  EXPECT_EQ(results[1].messages,
            (std::vector<Message>{
                {MsgKind::Warning, T("「") + later + T("」の変換後のファイル名「R_1R.UKE」が「") +
                                       first +
                                       T("」の変換後のファイルと同じになるため、作成しません。")}}));
  EXPECT_EQ(ListFiles(env.programDir), std::vector<std::string>{"R_1R.UKE"});
  EXPECT_EQ(ReadBytes(env.programDir / "R_1R.UKE"), "IR,1\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,9\r\n");

  // Runs of separate clicks replace the earlier output.
  NumberMap map = Map("1,9\r\n", false);
  EXPECT_TRUE(Cnv2(env, later, map).wrote());
  EXPECT_EQ(ReadBytes(env.programDir / "R_1R.UKE"), "IR,1\r\nRE,2,2,3,4,5,6,7,8,9,10,11,12,9\r\n");
}

TEST_F(ReplaceRun, Mode1MissingDefinitionStartsNoRun) {
  const fs::path input = Put("a.txt", "A\t1\r\n");
  const RunResult r = RunMode1(env, PathArg(in / "nodef.csv"), PathArg(input));
  EXPECT_EQ(r.messages, (std::vector<Message>{{MsgKind::Warning, NoDefinitionText()}}));
  EXPECT_TRUE(ListFiles(env.programDir).empty());
}

}  // namespace
}  // namespace tavo::replace

namespace tavo::replace {
namespace {

// The mode-1 key comes from a shortened parse; it must give the fields that the
// full ParseCommaTxt gives.
TEST(ReplaceLeadingFields, SameAsTheFullParse) {
  std::vector<Text> lines = {u"",      u"a",         u"a,",        u",",          u"a\tb\tc",
                             u"a b,c", u"\"x y\",z", u"a,\"\"\tb", u"  a , b ,c", u"\"a\"\"b\"c",
                             u"a,\"b", u"\t\t",      u"a\r,b",     u"\"\",",      u"a,,b"};
  // Random lines over the characters that matter to the parse.
  const char16_t alphabet[] = {u'a', u'1', u',', u'"', u' ', u'\t', u'\r'};
  std::uint32_t seed = 12345;
  for (int i = 0; i < 3000; ++i) {
    Text line;
    seed = seed * 1103515245u + 12345u;
    const int len = static_cast<int>((seed >> 16) % 12);
    for (int j = 0; j < len; ++j) {
      seed = seed * 1103515245u + 12345u;
      line.push_back(alphabet[(seed >> 16) % 7]);
    }
    lines.push_back(line);
  }
  for (const Text& line : lines) {
    FieldList full = ParseCommaTxt(line, u',', false);
    if (full.size() > 2) full.resize(2);
    EXPECT_EQ(ParseLeadingFields(line, u',', 2), full) << ToUtf8(line);
  }
}

}  // namespace
}  // namespace tavo::replace

namespace tavo::replace {
namespace {

// Records other than IR and RE are copied as they stand: quotes, blanks,
// 1A and empty records too, also where the run takes its shortcut.
TEST(ReplaceMode2Records, OtherRecordsAreCopiedAsTheyStand) {
  const char16_t alphabet[] = {u'H', u'O', u'1', u',', u'"', u' ', u'\t', u'\x1a', u'\u3000'};
  std::uint32_t seed = 777;
  std::vector<Text> lines = {u"IR,2", u"", u",", u"HO", u"\"\""};
  for (int i = 0; i < 2000; ++i) {
    Text line = u"H";
    seed = seed * 1103515245u + 12345u;
    const int len = static_cast<int>((seed >> 16) % 10);
    for (int j = 0; j < len; ++j) {
      seed = seed * 1103515245u + 12345u;
      line.push_back(alphabet[(seed >> 16) % 9]);
    }
    lines.push_back(line);
  }
  std::string input;
  for (const Text& line : lines) input += ToUtf8(line) + "\r\n";
  const std::string expected = input;
  TempDir root;
  const Env env = test::MakeEnv(root.path());
  WriteBytes(root / "X.UKE", Sjis(input));
  const RunResult r = Cnv2(env, PathText(root / "X.UKE"), NumberMap{});
  ASSERT_TRUE(r.wrote());
  EXPECT_EQ(ReadBytes(env.programDir / "X_2R.UKE"), Sjis(expected));
}

}  // namespace
}  // namespace tavo::replace

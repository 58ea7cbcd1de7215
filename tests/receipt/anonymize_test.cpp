// Whole anonymization runs: output bytes, names, hand-over and stops.
#include <gtest/gtest.h>

#include <random>

#include "core/comma.h"
#include "core/cp932.h"
#include "core/errors.h"
#include "core/strconv.h"
#include "receipt/receipt_ops.h"
#include "receipt_test_util.h"
#include "support/test_util.h"

namespace tavo::receipt {
namespace {

using test::Fixture;
using test::ListFiles;
using test::ReadBytes;
using test::Sjis;

// An RE record of `count` fields: field 2 the receipt number, field 5 the
// name, field 14 the patient number, field 37 (when there) a katakana name.
std::string Re(int count, const std::string& no, const std::string& name,
               const std::string& kana = "カナ") {
  std::string line = "RE," + no + ",1112,202604," + name;
  for (int field = 6; field <= count; ++field) {
    line += ",";
    if (field == 14) line += "77-1";
    if (field == 37) line += kana;
    if (field == 38) line += "z";
  }
  return line;
}

class Anonymize : public test::ReceiptRunTest {};

TEST_F(Anonymize, RealisticShahoFile) {
  const RunResult r = AnonymizeReceipt(env_, Input(Fixture("receipt/shaho.UKE")));
  ASSERT_TRUE(r.messages.empty());
  EXPECT_EQ(ReadBytes(Out("202604_1.UKE")), Fixture("receipt/shaho_anon.expected"));
  EXPECT_EQ(ListFiles(env_.programDir), std::vector<std::string>{"202604_1.UKE"});
  ASSERT_EQ(r.written.size(), 1u);
  EXPECT_EQ(r.written[0], Out("202604_1.UKE"));
  EXPECT_EQ(ToUtf8(r.gstMsg), "社保の匿名化ファイルが作成されました");
  EXPECT_EQ(ToUtf8(r.gstFile1), "202604_1.UKE");
  EXPECT_TRUE(r.gstFile2.empty());
}

TEST_F(Anonymize, KokuhoFileAndRecordsBeforeTheIrRecord) {
  const std::string in =
      Re(38, "1", "前") + "\r\nIR,2,13,1,1,,x, 202605 ,00,0\r\n" + Re(38, "15", "後") + "\r\n";
  const RunResult r = AnonymizeReceipt(env_, Input(Sjis(in)));
  const std::string expected =
      Re(38, "1", "テスト社１", "") +
      "\r\nIR,2,13,1,0123456,,NIVAクリニック,\" 202605 \",00,012-345-6789\r\n" +
      Re(38, "15", "テスト国１５", "") + "\r\n";
  EXPECT_EQ(ReadBytes(Out("202605_2.UKE")), Sjis(expected));
  EXPECT_EQ(ToUtf8(r.gstFile2), "202605_2.UKE");
  EXPECT_TRUE(r.gstFile1.empty());
}

TEST_F(Anonymize, RecordEdgeCases) {
  const std::string in =
      Sjis("IR,1, 13 ,1,1234567,,a b,202604,00,0312345678,\"q\"\r\n" +  // blank field: quoted
           Re(36, "1", "名") + "\r\n" +                                 // 36 fields stay 36
           Re(37, "", "名") + "\r\n" +                                  // empty receipt number
           "RE,3,1112,20 26,\"A B\"\t,x y\r\n" +                        // RE never quoted
           "HO,1,2,3,4 5,\"6\"\r\n") +                                  // fields 5 on unchanged
      "KO,1,2,\x80\r\n" +                                               // invalid byte kept
      "SJ,01,note\r\nCO,1\r\n\"CO\",2\r\nco,3\r\nSY,\"1\"\r\n";
  AnonymizeReceipt(env_, Input(in));
  const std::string expected =
      Sjis("IR,1,\" 13 \",1,0123456,,NIVAクリニック,202604,00,012-345-6789,q\r\n" +
           Re(36, "1", "テスト社１") + "\r\n" + Re(37, "", "テスト社", "") + "\r\n" +
           "RE,3,1112,20 26,テスト社３,x y\r\n" + "HO,12345678,,１２３４５,\"4 5\",6\r\n") +
      "KO,12345678,1234567,\x80\r\n"
      "co,3\r\nSY,\"1\"\r\n";
  EXPECT_EQ(ReadBytes(Out("202604_1.UKE")), expected);
}

TEST_F(Anonymize, ShortRecordStops) {
  const std::string ir = "IR,1,13,1,1,,x,202604,00,0\r\n";
  struct Case {
    std::string input;
    int index;
  };
  const Case cases[] = {
      {"IR,1\r\n", 7},      {"IR,1,13,1,1\r\n", 7},   {"IR,1,13,1,1,,x,202604,00\r\n", 9},
      {ir + "RE\r\n", 1},   {ir + "RE,1,2,3\r\n", 4}, {ir + "HO,1,2\r\n", 3},
      {ir + "KO,1\r\n", 2},
  };
  test::WriteBytes(Out("202604_1.UKE"), "earlier");
  for (const auto& c : cases) {
    const RunResult r = AnonymizeReceipt(env_, Input(c.input));
    ASSERT_EQ(r.messages.size(), 1u) << c.input;
    EXPECT_EQ(r.messages[0], (Message{MsgKind::Error, IndexErrorText(c.index)})) << c.input;
    EXPECT_TRUE(r.stopped);
    EXPECT_TRUE(r.written.empty());
    EXPECT_EQ(ListFiles(env_.programDir), std::vector<std::string>{"202604_1.UKE"});
    EXPECT_EQ(ReadBytes(Out("202604_1.UKE")), "earlier");
  }
}

TEST_F(Anonymize, MissingFileAndNoIrRecord) {
  const RunResult missing = AnonymizeReceipt(env_, u"");
  ASSERT_EQ(missing.messages.size(), 1u);
  EXPECT_EQ(missing.messages[0], (Message{MsgKind::Warning, T("ファイルがありません。")}));
  EXPECT_TRUE(ListFiles(env_.programDir).empty());

  const RunResult r = AnonymizeReceipt(env_, Input("SY,1\r\n\x1A"));
  EXPECT_EQ(ReadBytes(Out("_1.UKE")), "SY,1\r\n");
  EXPECT_EQ(ToUtf8(r.gstFile1), "_1.UKE");
}

TEST_F(Anonymize, HostileClaimMonthStaysInTheProgramFolder) {
  const RunResult r = AnonymizeReceipt(env_, Input("IR,1,13,1,1,,x,../../x,00,0\r\n"));
  EXPECT_EQ(ToUtf8(r.gstFile1), ".._.._x_1.UKE");
  EXPECT_EQ(ListFiles(env_.programDir), std::vector<std::string>{".._.._x_1.UKE"});
}

// The rules on the decoded text: each record split with GetCommaTxt, its
// fields replaced, and rebuilt with JoinCommaTxt (RE without any quote).
std::string AnonymizedByTheRules(const std::vector<std::string>& lines, bool kokuho) {
  std::string out;
  for (const std::string& line : lines) {
    FieldList f;
    GetCommaTxt(Cp932Decode(line), f);
    Text rebuilt = Cp932Decode(line);
    if (f[0] == u"IR") {
      f[4] = u"0123456";
      f[6] = T("NIVAクリニック");
      f[9] = u"012-345-6789";
      rebuilt = JoinCommaTxt(f);
    } else if (f[0] == u"RE") {
      f[4] = T("テスト") + (kokuho ? T("国") : T("社")) + StrConv(f[1], Wide);
      if (f.size() >= 37) f[36].clear();
      rebuilt = RemoveChar(JoinCommaTxt(f), u'"');
    } else if (f[0] == u"HO") {
      f[1] = u"12345678";
      f[2].clear();
      f[3] = T("１２３４５");
      rebuilt = JoinCommaTxt(f);
    } else if (f[0] == u"KO") {
      f[1] = u"12345678";
      f[2] = u"1234567";
      rebuilt = JoinCommaTxt(f);
    }
    out += Cp932Encode(rebuilt) + "\r\n";
  }
  return out;
}

TEST_F(Anonymize, RandomRecordsFollowTheRules) {
  // Values that decode and encode back to themselves, with and without what
  // makes a record take the general path (a double quote, a blank, a comma
  // inside quotes) or makes its number other than plain digits.
  const std::vector<std::string> values = {"",         "1",        "15",    "0312",
                                           "ab",       " ",        "a b",   "\"",
                                           "\"q\"",    "\"1,2\"",  "\t",    Sjis("山田　花子"),
                                           Sjis("１"), Sjis("ｶﾅ"), "x\x7Fy"};
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    const bool kokuho = rng() % 2 == 0;
    std::vector<std::string> lines = {std::string("IR,") + (kokuho ? "2" : "1") +
                                      ",13,1,1,,x,202604,00,0"};
    std::string in = lines[0] + "\r\n";
    for (unsigned n = 1 + rng() % 8; n > 0; --n) {
      // Each with at least the fields its replacements need, RE around 37.
      static const char* const kIds[] = {"RE", "HO", "KO", "SI", "\"RE\""};
      static const unsigned kLeast[] = {4, 3, 2, 0, 4};
      const unsigned kind = rng() % 5;
      std::string line = kIds[kind];
      for (unsigned f = kLeast[kind] + rng() % 38; f > 0; --f)
        line += ',' + values[rng() % values.size()];
      in += line + "\r\n";
      lines.push_back(line);
    }
    const RunResult r = AnonymizeReceipt(env_, Input(in));
    ASSERT_TRUE(r.messages.empty()) << in;
    const std::string name = kokuho ? "202604_2.UKE" : "202604_1.UKE";
    EXPECT_EQ(ReadBytes(Out(name)), AnonymizedByTheRules(lines, kokuho)) << in;
    std::filesystem::remove(Out(name));
  }
}

TEST_F(Anonymize, CountsTheNamesReplacedAndTheRecordsRemoved) {
  const RunResult r = AnonymizeReceipt(env_, Input(Fixture("receipt/shaho.UKE")));
  // The fixture holds two RE records, one SJ and one CO record.
  EXPECT_EQ(r.counts,
            std::vector<Text>{T("社保：患者名 2件をダミーに置き換え、SJ・CO 2行を除きました")});
}

}  // namespace
}  // namespace tavo::receipt

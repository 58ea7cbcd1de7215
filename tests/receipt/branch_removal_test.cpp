// Whole branch-removal runs: output bytes, names, hand-over and stops.
#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/files.h"
#include "receipt/receipt_ops.h"
#include "receipt_test_util.h"
#include "support/test_util.h"

namespace tavo::receipt {
namespace {

using test::Fixture;
using test::ListFiles;
using test::ReadBytes;
using test::Sjis;

constexpr char kShahoName[] = "(202604提出_社保)RECEIPTC.uke";

// An RE record of 38 fields with the given name (field 5) and number (field 14).
std::string Re(const std::string& no, const std::string& name, const std::string& number) {
  std::string line = "RE," + no + ",1112,202604," + name + ",1,19800101,,,,,,," + number;
  for (int i = 14; i < 38; ++i) line += ",";
  return line;
}

class BranchRemoval : public test::ReceiptRunTest {};

TEST_F(BranchRemoval, RealisticFileMode0) {
  const RunResult r = RemoveBranchNumbers(env_, Input(Fixture("receipt/shaho.UKE")), {});
  ASSERT_TRUE(r.messages.empty());
  EXPECT_FALSE(r.stopped);
  EXPECT_EQ(ReadBytes(Out(kShahoName)), Fixture("receipt/shaho_branch_mode0.expected"));
  EXPECT_EQ(ListFiles(env_.programDir), std::vector<std::string>{kShahoName});
  ASSERT_EQ(r.written.size(), 1u);
  EXPECT_EQ(r.written[0], Out(kShahoName));
  EXPECT_EQ(ToUtf8(r.gstMsg), "社保の枝番除去ファイルが作成されました");
  EXPECT_EQ(ToUtf8(r.gstFile1), kShahoName);
  EXPECT_TRUE(r.gstFile2.empty());
}

TEST_F(BranchRemoval, KokuhoFileIsNamedAndHandedOverAsKokuho) {
  const std::string in =
      Sjis("IR,2 ,13,1,1234567,,医院, 202605 ,00,03\r\n" + Re("1", "国保", "55-2") + "\r\n");
  const RunResult r = RemoveBranchNumbers(env_, Input(in), {});
  const std::string name = "(202605提出_国保)RECEIPTC.uke";
  EXPECT_EQ(ReadBytes(Out(name)),
            Sjis("IR,2 ,13,1,1234567,,医院, 202605 ,00,03\r\n" + Re("1", "国保", "55") + "\r\n"));
  EXPECT_EQ(ToUtf8(r.gstFile2), name);
  EXPECT_TRUE(r.gstFile1.empty());
}

TEST_F(BranchRemoval, LineBytesPassThrough) {
  // LF-only ends, a lone CR, quotes in an untouched record, bytes that are not
  // Shift_JIS (lone 80, lead 81 before a comma, FD), a tab and quotes in an RE
  // record, no line end on the last line before the final 1A byte.
  const std::string in =
      "IR,1,13,1,1,,x,202604,00,0\n"
      "SY,a\rb,\"q,\"\x80\xFD\n"
      "CO,\x81,\x82\xA0\r\n" +
      Re("1", "\x80\x81\t\"x\"", "\"77-1\"") + "\r\n" + Re("2", "a", "\x80\x81-9") + "\r\n" +
      "GO,1\x1A" + "GO,2\r\n";
  RemoveBranchNumbers(env_, Input(in), {});
  const std::string expected =
      "IR,1,13,1,1,,x,202604,00,0\r\n"
      "SY,ab,\"q,\"\x80\xFD\r\n"
      "CO,\x81,\x82\xA0\r\n" +
      Re("1", "\"\x80\x81\tx\"", "77") + "\r\n" + Re("2", "a", "\x80\x81") + "\r\n" + "GO,1\r\n";
  EXPECT_EQ(ReadBytes(Out("(202604提出_社保)RECEIPTC.uke")), expected);
}

TEST_F(BranchRemoval, NoIrRecordGivesAnEmptyClaimMonth) {
  const RunResult r = RemoveBranchNumbers(env_, Input(Re("1", "a", "1-1") + "\r\n"), {});
  EXPECT_EQ(ReadBytes(Out("(提出_社保)RECEIPTC.uke")), Re("1", "a", "1") + "\r\n");
  EXPECT_EQ(ToUtf8(r.gstFile1), "(提出_社保)RECEIPTC.uke");
}

TEST_F(BranchRemoval, SeveralIrRecordsAnyKokuhoAndTheLastMonth) {
  const std::string in = "IR,2,13,1,1,,x,202603,00,0\r\nIR,1,13,1,1,,x,202604,00,0\r\n";
  const RunResult r = RemoveBranchNumbers(env_, Input(in), {});
  EXPECT_EQ(ReadBytes(Out("(202604提出_国保)RECEIPTC.uke")), in);
  EXPECT_EQ(ToUtf8(r.gstFile2), "(202604提出_国保)RECEIPTC.uke");
}

TEST_F(BranchRemoval, EmptyFileIsNoReceiptFile) {
  const RunResult r = RemoveBranchNumbers(env_, Input(""), {});
  EXPECT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(ListFiles(env_.programDir), std::vector<std::string>{});
}

TEST_F(BranchRemoval, Mode1KeepsThePositions) {
  const std::string in = "IR,1,13,1,1,,x,202604,00,0\r\n" + Re("1", "a", " 0012345678 ") + "\r\n";
  RemoveBranchNumbers(env_, Input(in), {1, u" 3 ", u"6"});
  EXPECT_EQ(ReadBytes(Out(kShahoName)),
            "IR,1,13,1,1,,x,202604,00,0\r\n" + Re("1", "a", "1234") + "\r\n");
}

TEST_F(BranchRemoval, NoModeSelectedLeavesNumbersButRebuilds) {
  const std::string in = "RE,1,a b,\"c\",9-9\r\n";  // shorter than 14 fields: not read
  const RunResult r = RemoveBranchNumbers(env_, Input(in), {-1, u"", u""});
  EXPECT_FALSE(r.stopped);
  EXPECT_EQ(ReadBytes(Out("(提出_社保)RECEIPTC.uke")), "RE,1,\"a b\",c,9-9\r\n");
}

TEST_F(BranchRemoval, Mode1InputWarnings) {
  struct Case {
    const char16_t* from;
    const char16_t* to;
    const char* message;
  };
  const Case cases[] = {
      {u"", u"5", "値が空欄です"},
      {u"3", u"  ", "値が空欄です"},
      {u"abc", u"5", "正しい数字を入力して下さい"},
      {u"0", u"5", "正しい数字を入力して下さい"},
      {u"3", u"x", "正しい数字を入力して下さい"},
      {u"3", u"99999999999", "正しい数字を入力して下さい"},
      // Positions that keep no character would empty every patient number.
      {u"3", u"2", "正しい数字を入力して下さい"},
      {u"4", u"4", "正しい数字を入力して下さい"},
      {u"-1", u"5", "正しい数字を入力して下さい"},
      {u"3", u"-5", "正しい数字を入力して下さい"},
  };
  const auto file = Input(Fixture("receipt/shaho.UKE"));
  for (const auto& c : cases) {
    const RunResult r = RemoveBranchNumbers(env_, file, {1, c.from, c.to});
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].kind, MsgKind::Warning);
    EXPECT_EQ(ToUtf8(r.messages[0].text), c.message);
    EXPECT_FALSE(r.stopped);
    EXPECT_TRUE(r.gstMsg.empty());
  }
  EXPECT_TRUE(ListFiles(env_.programDir).empty());
}

TEST_F(BranchRemoval, MissingFileWarns) {
  for (const Text& path : {Text(), T("/no/such/file.UKE"), PathText(dir_.path())}) {
    const RunResult r = RemoveBranchNumbers(env_, path, {});
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], (Message{MsgKind::Warning, T("ファイルがありません。")}));
    EXPECT_FALSE(r.stopped);
  }
  EXPECT_TRUE(ListFiles(env_.programDir).empty());
}

TEST_F(BranchRemoval, ShortRecordStopsAndLeavesEarlierOutput) {
  struct Case {
    std::string input;
    const char* message;
  };
  const Case cases[] = {
      {"IR,1,13,1,1,,x\r\n", "リストのインデックスが範囲を超えています (7)"},
      {"IR,1\r\n", "リストのインデックスが範囲を超えています (7)"},
      {"IR,1,13,1,1,,x,202604\r\n" + Re("1", "a", "1") + "\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12\r\n",
       "リストのインデックスが範囲を超えています (13)"},
  };
  test::WriteBytes(Out(kShahoName), "earlier");
  for (const auto& c : cases) {
    const RunResult r = RemoveBranchNumbers(env_, Input(c.input), {});
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], (Message{MsgKind::Error, T(c.message)}));
    EXPECT_TRUE(r.stopped);
    EXPECT_TRUE(r.written.empty());
    EXPECT_TRUE(r.gstMsg.empty());
    EXPECT_EQ(ListFiles(env_.programDir), std::vector<std::string>{kShahoName});
    EXPECT_EQ(ReadBytes(Out(kShahoName)), "earlier");
  }
}

TEST_F(BranchRemoval, UnwritableProgramFolderIsAnError) {
  env_.programDir = dir_ / "missing";
  const RunResult r = RemoveBranchNumbers(env_, Input(Fixture("receipt/shaho.UKE")), {});
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].kind, MsgKind::Error);
  EXPECT_NE(ToUtf8(r.messages[0].text).find("missing"), std::string::npos);
  EXPECT_TRUE(r.stopped);
  EXPECT_TRUE(r.written.empty());
}

TEST_F(BranchRemoval, HostileClaimMonthStaysInTheProgramFolder) {
  struct Case {
    const char* month;
    const char* name;
  };
  const Case cases[] = {
      {"../x", "(.._x提出_社保)RECEIPTC.uke"},
      {"C:\\x", "(C__x提出_社保)RECEIPTC.uke"},
      {"a/b", "(a_b提出_社保)RECEIPTC.uke"},
      {"a\tb\x01", "(a_b提出_社保)RECEIPTC.uke"},  // 01 at the end is trimmed
  };
  for (const auto& c : cases) {
    const RunResult r = RemoveBranchNumbers(
        env_, Input(std::string("IR,1,13,1,1,,x,") + c.month + ",00,0\r\n"), {});
    EXPECT_EQ(ToUtf8(r.gstFile1), c.name);
    ASSERT_EQ(r.written.size(), 1u);
    EXPECT_EQ(r.written[0], Out(c.name));
    EXPECT_TRUE(FileExists(Out(c.name)));
  }
  EXPECT_EQ(ListFiles(dir_.path()),
            (std::vector<std::string>{"Downloads", "HDD_KX2", "in.UKE", "program"}));
}

TEST_F(BranchRemoval, CountsTheNumbersItChanged) {
  // Three RE records: one number with a branch, one plain, one quoted (the
  // general path) with a branch; and a record that is not RE.
  const std::string in =
      Sjis("IR,1,13,1,1,,x,202604,00,0\r\n" + Re("1", "a", "12-1") + "\r\n" + Re("2", "b", "34") +
           "\r\n" + Re("3", "c d", "56*2") + "\r\nHO,12-3\r\n");
  const RunResult r = RemoveBranchNumbers(env_, Input(in), {});
  EXPECT_EQ(r.counts, std::vector<Text>{T("社保：RE 3件を読み、患者番号 2件を変更しました")});
  const RunResult none = RemoveBranchNumbers(env_, Input(in, "b.UKE"), {-1, u"", u""});
  ASSERT_EQ(none.counts.size(), 1u);
  EXPECT_EQ(none.counts[0], T("社保：RE 3件を読み、患者番号 0件を変更しました"));
  EXPECT_EQ(r.operation, T("枝番除去"));
  EXPECT_EQ(r.options, T("記号「-」「*」「/」より後を除去"));
}

TEST_F(BranchRemoval, RefusesAFileThatIsNotOfTheExpectedKind) {
  struct Case {
    const char* bytes;
    ReceiptKind expected;
    const char* warning;  // empty: the run writes its file
  };
  const Case cases[] = {
      {"0000123\t1\t20240501\r\n", ReceiptKind::Any, "社保・国保のレセ電データではありません。"},
      {"", ReceiptKind::Any, "社保・国保のレセ電データではありません。"},
      {"IR,2,13,1,1,,x,202604,00,0\r\n", ReceiptKind::Shaho, "社保のレセ電データではありません。"},
      {"IR,1,13,1,1,,x,202604,00,0\r\n", ReceiptKind::Kokuho, "国保のレセ電データではありません。"},
      {"IR,2,13,1,1,,x,202604,00,0\r\n", ReceiptKind::Any, ""},
      {"IR,1,13,1,1,,x,202604,00,0\r\n", ReceiptKind::Shaho, ""},
  };
  for (const Case& c : cases) {
    test::TempDir program;
    env_.programDir = program.path();
    const Text file = Input(c.bytes);
    for (const RunResult& r : {RemoveBranchNumbers(env_, file, {}, nullptr, c.expected),
                               AnonymizeReceipt(env_, file, nullptr, c.expected)}) {
      if (*c.warning) {
        EXPECT_EQ(r.messages,
                  (std::vector<Message>{{MsgKind::Warning, file + u"\n" + T(c.warning)}}))
            << c.bytes;
        EXPECT_FALSE(r.wrote());
        EXPECT_TRUE(r.counts.empty());
      } else {
        EXPECT_TRUE(r.messages.empty()) << c.bytes;
        EXPECT_TRUE(r.wrote()) << c.bytes;
      }
    }
    if (*c.warning) {
      EXPECT_EQ(ListFiles(env_.programDir), std::vector<std::string>{}) << c.bytes;
    }
  }
}

}  // namespace
}  // namespace tavo::receipt

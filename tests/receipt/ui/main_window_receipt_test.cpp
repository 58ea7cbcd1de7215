// The main window's two receipt buttons on real files: output bytes, messages,
// and the confirmation window after every click but one ended by an error.
#include <algorithm>
#include <memory>

#include "app/TfrmMain.h"
#include "app/ui/app_fixture.h"
#include "core/cp932.h"
#include "core/files.h"
#include "core/run_history.h"

namespace tavo::test {
namespace {

const std::string kKokuho = Sjis(
    "IR,2,13,1,7654321,,国保医院,202604,00,0399998888\r\n"
    "RE,,1112,202604,国保　花子,1,19800101,,,,,,,900/2\r\n"
    "SJ,01,詳記\r\n");

class ReceiptButtons : public AppTest {
 protected:
  std::unique_ptr<ui::TfrmMain> Open(const std::string& shaho, const std::string& kokuho) {
    auto w = std::make_unique<ui::TfrmMain>(ctx);
    Find<QLineEdit>(w.get(), "Edit1")->setText(U(shaho));
    Find<QLineEdit>(w.get(), "Edit2")->setText(U(kokuho));
    return w;
  }
  std::string File(const std::string& name, const std::string& bytes) {
    WriteBytes(tmp / name, bytes);
    return (tmp / name).string();
  }
  // The next confirmation window: records its message, then presses its
  // button (the files move to Downloads) or closes it.
  void OnConfirmation(QString* label, bool press) {
    dialogs.modalHandlers.push_back([=](QDialog* d) {
      *label = Find<QLabel>(d, "Label1")->text();
      if (press) Click(d, "Button1");
    });
  }
  std::string Downloaded(const std::string& name) {
    return ReadBytes(env.downloadsDir / PathFromText(T(name)));
  }
};

TEST_F(ReceiptButtons, BranchRemovalOfBothFilesToDownloads) {
  auto w = Open(File("s.UKE", Fixture("receipt/shaho.UKE")), File("k.UKE", kKokuho));
  QString label;
  OnConfirmation(&label, true);
  Click(w.get(), "Button2");
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(dialogs.modalTitles, std::vector<QString>{U("確認")});
  EXPECT_EQ(label, U("社保と国保の枝番除去ファイルが作成されました"));
  EXPECT_EQ(Downloaded("(202604提出_社保)RECEIPTC.uke"),
            Fixture("receipt/shaho_branch_mode0.expected"));
  EXPECT_EQ(Downloaded("(202604提出_国保)RECEIPTC.uke"),
            Sjis("IR,2,13,1,7654321,,国保医院,202604,00,0399998888\r\n"
                 "RE,,1112,202604,国保　花子,1,19800101,,,,,,,900\r\n"
                 "SJ,01,詳記\r\n"));
  EXPECT_EQ(ListFiles(env.programDir), std::vector<std::string>{});
}

TEST_F(ReceiptButtons, BranchRemovalMode1UsesThePositionBoxes) {
  auto w = Open("", File("k.UKE", kKokuho));
  Find<QComboBox>(w.get(), "ComboBox1")->setCurrentIndex(1);
  Find<QLineEdit>(w.get(), "Edit4")->setText(U("2"));
  Find<QLineEdit>(w.get(), "Edit5")->setText(U("3"));
  QString label;
  OnConfirmation(&label, false);
  Click(w.get(), "Button2");
  // The empty 社保 box is reported; the confirmation window names the 国保 file only.
  EXPECT_EQ(dialogs.MessageLines(), std::vector<std::string>{"警告: ファイルがありません。"});
  EXPECT_EQ(dialogs.modalTitles.size(), 1u);
  EXPECT_EQ(label, U("国保の枝番除去ファイルが作成されました"));
  EXPECT_EQ(ReadBytes(env.programDir / PathFromText(T("(202604提出_国保)RECEIPTC.uke"))),
            Sjis("IR,2,13,1,7654321,,国保医院,202604,00,0399998888\r\n"
                 "RE,,1112,202604,国保　花子,1,19800101,,,,,,,00\r\n"
                 "SJ,01,詳記\r\n"));
}

TEST_F(ReceiptButtons, AFileOfTheOtherKindIsRefusedByItsBox) {
  // A 国保 file typed into the 社保 box, and an outpatient file into the 国保
  // box: the kind test of the selection also holds for typed paths.
  const std::string kokuhoInShaho = File("k1.UKE", kKokuho);
  const std::string outpatient = File("ff.txt", "0000123\t1\t20240501\r\n");
  auto w = Open(kokuhoInShaho, outpatient);
  Click(w.get(), "Button1");
  Click(w.get(), "Button2");
  const std::vector<std::string> refusals{
      "警告: " + kokuhoInShaho + "\n社保のレセ電データではありません。",
      "警告: " + outpatient + "\n国保のレセ電データではありません。"};
  std::vector<std::string> both = refusals;
  both.insert(both.end(), refusals.begin(), refusals.end());
  EXPECT_EQ(dialogs.MessageLines(), both);
  EXPECT_TRUE(dialogs.modalTitles.empty());
  EXPECT_EQ(ListFiles(env.programDir), std::vector<std::string>{});
}

TEST_F(ReceiptButtons, AClickThatWroteNothingOpensNoConfirmation) {
  const std::string shaho = File("s.UKE", Fixture("receipt/shaho.UKE"));
  const std::string kokuho = File("k.UKE", kKokuho);
  // A mode 0 click whose confirmation window is closed with its X: both
  // outputs stay in the program folder.
  auto w = Open(shaho, kokuho);
  QString closed;
  OnConfirmation(&closed, false);
  Click(w.get(), "Button2");
  const std::vector<std::string> left = ListFiles(env.programDir);
  ASSERT_EQ(left.size(), 2u);
  // Mode 1 with a blank position box: two warnings, and nothing to confirm.
  dialogs.modalTitles.clear();
  Find<QComboBox>(w.get(), "ComboBox1")->setCurrentIndex(1);
  Find<QLineEdit>(w.get(), "Edit4")->setText(U("3"));
  Click(w.get(), "Button2");
  EXPECT_EQ(dialogs.MessageLines(),
            (std::vector<std::string>{"警告: 値が空欄です", "警告: 値が空欄です"}));
  // Both boxes empty: the warnings alone.
  Find<QLineEdit>(w.get(), "Edit1")->setText("");
  Find<QLineEdit>(w.get(), "Edit2")->setText("");
  dialogs.messages.clear();
  Click(w.get(), "Button1");
  EXPECT_EQ(dialogs.MessageLines(), (std::vector<std::string>{"警告: ファイルがありません。",
                                                              "警告: ファイルがありません。"}));
  EXPECT_TRUE(dialogs.modalTitles.empty());
  EXPECT_EQ(ListFiles(env.programDir), left);
  EXPECT_EQ(ListFiles(env.downloadsDir), std::vector<std::string>{});
}

TEST_F(ReceiptButtons, IndexErrorEndsTheClick) {
  const std::string shortRe = File("bad.UKE", "IR,1,13,1,1,,x,202604,00,0\r\nRE,1,2,3\r\n");
  for (const char* button : {"Button2", "Button1"}) {
    dialogs.messages.clear();
    dialogs.modalTitles.clear();
    auto w = Open(shortRe, File("k.UKE", kKokuho));
    Click(w.get(), button);
    const std::string index = std::string(button) == "Button2" ? "13" : "4";
    EXPECT_EQ(dialogs.MessageLines(),
              std::vector<std::string>{"エラー: リストのインデックスが範囲を超えています (" +
                                       index + ")"});
    EXPECT_TRUE(dialogs.modalTitles.empty()) << button;        // no confirmation window
    EXPECT_TRUE(ListFiles(env.programDir).empty()) << button;  // nor the 国保 output
  }
}

TEST_F(ReceiptButtons, AnonymizationOfBothFiles) {
  auto w = Open(File("s.UKE", Fixture("receipt/shaho.UKE")), File("k.UKE", kKokuho));
  QString label;
  OnConfirmation(&label, true);
  Click(w.get(), "Button1");
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(dialogs.modalTitles.size(), 1u);
  EXPECT_EQ(label, U("社保と国保の匿名化ファイルが作成されました"));
  EXPECT_EQ(Downloaded("202604_1.UKE"), Fixture("receipt/shaho_anon.expected"));
  EXPECT_EQ(Downloaded("202604_2.UKE"),
            Sjis("IR,2,13,1,0123456,,NIVAクリニック,202604,00,012-345-6789\r\n"
                 "RE,,1112,202604,テスト国,1,19800101,,,,,,,900/2\r\n"));
}

TEST_F(ReceiptButtons, ALaterClickHandsOverOnlyWhatItWrote) {
  // A first click makes the 社保 file and leaves it; a second with only a
  // 国保 file names and moves the 国保 file alone.
  auto w = Open(File("s.UKE", Fixture("receipt/shaho.UKE")), "");
  Click(w.get(), "Button2");
  Find<QLineEdit>(w.get(), "Edit1")->setText("");
  Find<QLineEdit>(w.get(), "Edit2")->setText(U(File("k.UKE", kKokuho)));
  QString label;
  OnConfirmation(&label, true);
  Click(w.get(), "Button2");
  EXPECT_EQ(dialogs.modalTitles.size(), 2u);
  EXPECT_EQ(label, U("国保の枝番除去ファイルが作成されました"));
  EXPECT_EQ(ListFiles(env.downloadsDir), std::vector<std::string>{"(202604提出_国保)RECEIPTC.uke"});
  EXPECT_EQ(ListFiles(env.programDir), std::vector<std::string>{"(202604提出_社保)RECEIPTC.uke"});
}

TEST_F(ReceiptButtons, TheConfirmationShowsTheCountsOfBothRuns) {
  auto w = Open(File("s.UKE", Fixture("receipt/shaho.UKE")), File("k.UKE", kKokuho));
  QString counts;
  dialogs.modalHandlers.push_back([&](QDialog* d) { counts = Find<QLabel>(d, "Label2")->text(); });
  Click(w.get(), "Button2");
  EXPECT_EQ(counts.split(QLatin1Char('\n')).size(), 2);
  EXPECT_TRUE(counts.endsWith(U("国保：RE 1件を読み、患者番号 1件を変更しました")))
      << counts.toStdString();
}

TEST_F(ReceiptButtons, TheHistoryRecordsEachRunAndTheMove) {
  auto w = Open(File("s.UKE", Fixture("receipt/shaho.UKE")), File("k.UKE", kKokuho));
  QString label;
  OnConfirmation(&label, true);
  Click(w.get(), "Button2");
  const std::string history =
      ToUtf8(Cp932Decode(ReadBytes(env.programDir / PathFromText(kRunHistoryName))));
  // The header, a line per run, and the move's line.
  EXPECT_EQ(std::count(history.begin(), history.end(), '\n'), 4) << history;
  EXPECT_NE(history.find("\"枝番除去\",\"記号「-」「*」「/」より後を除去\",\"s.UKE ("),
            std::string::npos);
  EXPECT_NE(history.find("\"保存\",\"\",\"\",\"(202604提出_社保)RECEIPTC.uke / "
                         "(202604提出_国保)RECEIPTC.uke\",\"\",\"移動\",\"移動先: " +
                         ToUtf8(PathText(env.downloadsDir)) + "\""),
            std::string::npos)
      << history;
  for (const char* value : {"山田", "国保　花子", "12345", "900"})
    EXPECT_EQ(history.find(value), std::string::npos) << value;
}

TEST_F(ReceiptButtons, ClinicSubfolderOfTheClicksOwnFile) {
  const std::string save = Folder("save");
  SetIni("SAVEFDR", save);
  SetIni("SVCHG", "1");
  // Clinic A's pair, left in the program folder.
  auto w = Open(File("s.UKE", Fixture("receipt/shaho.UKE")), File("k.UKE", kKokuho));
  QString closed;
  OnConfirmation(&closed, false);
  Click(w.get(), "Button2");
  const std::vector<std::string> clinicA = ListFiles(env.programDir);
  ASSERT_EQ(clinicA, (std::vector<std::string>{"(202604提出_国保)RECEIPTC.uke",
                                               "(202604提出_社保)RECEIPTC.uke", "user.ini"}));
  // Then clinic B's 国保 file alone, of another month.
  const std::string clinicB = Sjis(
      "IR,2,12,1,1111111,,ビー診療所,202111,00,0311112222\r\n"
      "RE,,1112,202111,国保　次郎,1,19800101,,,,,,,77-1\r\n");
  Find<QLineEdit>(w.get(), "Edit1")->setText("");
  Find<QLineEdit>(w.get(), "Edit2")->setText(U(File("b.UKE", clinicB)));
  OnConfirmation(&closed, true);
  Click(w.get(), "Button2");
  EXPECT_EQ(dialogs.MessageLines(), std::vector<std::string>{"警告: ファイルがありません。"});
  const fs::path folderB = fs::path(save) / PathFromText(T("1111111_ビー診療所"));
  EXPECT_EQ(ListFiles(folderB), std::vector<std::string>{"(202111提出_国保)RECEIPTC.uke"});
  EXPECT_EQ(ListFiles(env.programDir), clinicA);  // A's files stay where they were
}

}  // namespace
}  // namespace tavo::test

// The main window's two receipt buttons on real files: output bytes, messages,
// and the confirmation window after every click but one ended by an error.
#include <memory>

#include "app/TfrmMain.h"
#include "app/ui/app_fixture.h"
#include "core/files.h"

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
  auto w = Open(File("k.UKE", kKokuho), "");
  Find<QComboBox>(w.get(), "ComboBox1")->setCurrentIndex(1);
  Find<QLineEdit>(w.get(), "Edit4")->setText(U("2"));
  Find<QLineEdit>(w.get(), "Edit5")->setText(U("3"));
  QString label;
  OnConfirmation(&label, false);
  Click(w.get(), "Button2");
  // The empty 国保 box is reported; the confirmation window still opens.
  EXPECT_EQ(dialogs.MessageLines(), std::vector<std::string>{"警告: ファイルがありません。"});
  EXPECT_EQ(dialogs.modalTitles.size(), 1u);
  EXPECT_EQ(ReadBytes(env.programDir / PathFromText(T("(202604提出_国保)RECEIPTC.uke"))),
            Sjis("IR,2,13,1,7654321,,国保医院,202604,00,0399998888\r\n"
                 "RE,,1112,202604,国保　花子,1,19800101,,,,,,,00\r\n"
                 "SJ,01,詳記\r\n"));
}

TEST_F(ReceiptButtons, TwoFilesOfOneMonthAndKindWriteTheFirstOnly) {
  // Two 国保 files of 202604: both would be (202604提出_国保)RECEIPTC.uke.
  const std::string first = File("k1.UKE", kKokuho);
  const std::string second = File("k2.UKE", kKokuho + "GO,1\r\n");
  auto w = Open(first, second);
  QString label;
  OnConfirmation(&label, false);
  Click(w.get(), "Button1");
  EXPECT_EQ(dialogs.MessageLines(),
            std::vector<std::string>{"警告: 「" + second +
                                     "」の変換後のファイル名「202604_2.UKE」が「" + first +
                                     "」の変換後のファイルと同じになるため、作成しません。"});
  EXPECT_EQ(label, U("社保と国保の匿名化ファイルが作成されました"));
  EXPECT_EQ(ReadBytes(env.programDir / "202604_2.UKE"),
            Sjis("IR,2,13,1,0123456,,NIVAクリニック,202604,00,012-345-6789\r\n"
                 "RE,,1112,202604,テスト国,1,19800101,,,,,,,900/2\r\n"));
}

TEST_F(ReceiptButtons, PositionWarningsTwiceThenTheConfirmation) {
  auto w = Open(File("s.UKE", Fixture("receipt/shaho.UKE")), File("k.UKE", kKokuho));
  Find<QComboBox>(w.get(), "ComboBox1")->setCurrentIndex(1);
  Find<QLineEdit>(w.get(), "Edit4")->setText(U("3"));
  Click(w.get(), "Button2");
  EXPECT_EQ(dialogs.MessageLines(),
            (std::vector<std::string>{"警告: 値が空欄です", "警告: 値が空欄です"}));
  EXPECT_EQ(dialogs.modalTitles.size(), 1u);
  EXPECT_TRUE(ListFiles(env.programDir).empty() ||
              ListFiles(env.programDir) == std::vector<std::string>{"user.ini"});
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

TEST_F(ReceiptButtons, LaterRunsKeepTheEarlierHandOver) {
  // A first click makes the 社保 file; a second with only a 国保 file still
  // hands both names to the confirmation window.
  auto w = Open(File("s.UKE", Fixture("receipt/shaho.UKE")), "");
  Click(w.get(), "Button2");
  Find<QLineEdit>(w.get(), "Edit1")->setText("");
  Find<QLineEdit>(w.get(), "Edit2")->setText(U(File("k.UKE", kKokuho)));
  QString label;
  OnConfirmation(&label, true);
  Click(w.get(), "Button2");
  EXPECT_EQ(dialogs.modalTitles.size(), 2u);
  EXPECT_EQ(Downloaded("(202604提出_社保)RECEIPTC.uke"),
            Fixture("receipt/shaho_branch_mode0.expected"));
  EXPECT_TRUE(FileExists(env.downloadsDir / PathFromText(T("(202604提出_国保)RECEIPTC.uke"))));
}

}  // namespace
}  // namespace tavo::test

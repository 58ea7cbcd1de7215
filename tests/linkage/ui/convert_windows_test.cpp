#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <string>
#include <vector>

#include "gui_support/drop.h"
#include "gui_support/gallery.h"
#include "gui_support/scripted_dialogs.h"
#include "gui_support/widget_find.h"
#include "linkage/formats.h"
#include "linkage/ui/TfrmConvert.h"
#include "linkage/ui/TfrmConvert2.h"
#include "support/test_util.h"
#include "core/files.h"

namespace tavo::ui {
namespace {

namespace fs = std::filesystem;
using test::Fixture;
using test::FixturePath;
using test::ListFiles;
using test::QP;
using test::ReadBytes;
using test::WriteBytes;
using Lines = std::vector<std::string>;

class ConvertWindowTest : public ::testing::Test {
 protected:
  test::TempDir root;
  Env env = test::MakeEnv(root.path());
  test::ScriptedDialogs dlg;
  AppContext ctx{env, dlg};

  template <class W>
  W* Get(QWidget& w, const char* name) {
    return test::Child<W>(&w, name);
  }
  void Click(QWidget& w, const char* name) { Get<QPushButton>(w, name)->click(); }
  QString Edit1(QWidget& w) { return Get<QLineEdit>(w, "Edit1")->text(); }
  // Records the confirmation window's message and closes it.
  void ExpectConfirmation(QString* message) {
    dlg.modalHandlers.push_back(
        [this, message](QDialog* d) { *message = Get<QLabel>(*d, "Label1")->text(); });
  }
};

// ------------------------------------------------------------ converter 1

TEST_F(ConvertWindowTest, Converter1ShowsItsControls) {
  TfrmConvert w(ctx);
  Get<QLineEdit>(w, "Edit1")->setText("old");
  dlg.modalHandlers.push_back([&](QDialog* d) {
    EXPECT_EQ(d->windowTitle(), Q("NIVAコンバーター"));
    EXPECT_EQ(d->size(), QSize(348, 199));
    EXPECT_TRUE(Edit1(*d).isEmpty());
    EXPECT_EQ(Get<QPushButton>(*d, "Button3")->text(), Q("変換前ファイル選択"));
    EXPECT_EQ(Get<QLabel>(*d, "Label2")->text(), Q("変換前ファイル："));
    EXPECT_EQ(Get<QPushButton>(*d, "Button1")->text(), Q("電カル連携ファイル作成"));
    EXPECT_EQ(Get<QPushButton>(*d, "BitBtn1")->text(), Q("閉じる(&C)"));
    test::SaveGallery(d, "TfrmConvert");
  });
  EXPECT_TRUE(w.DspSet());
  EXPECT_EQ(dlg.modalTitles, (std::vector<QString>{Q("NIVAコンバーター")}));
}

TEST_F(ConvertWindowTest, Converter1SelectConvertConfirm) {
  TfrmConvert w(ctx);
  const QString input = QP(FixturePath("linkage/convert1_in.txt"));
  dlg.fileAnswers = {input};
  Click(w, "Button3");
  EXPECT_EQ(Edit1(w), input);
  EXPECT_EQ(dlg.MessageLines(), Lines{"情報: 変換前ファイルを選択します"});

  QString message;
  ExpectConfirmation(&message);
  Click(w, "Button1");
  EXPECT_EQ(message, Q("202605_carte.csvが作成されました"));
  EXPECT_EQ(dlg.modalTitles, (std::vector<QString>{Q("確認")}));
  EXPECT_EQ(ReadBytes(env.programDir / "202605_carte.csv"),
            Fixture("linkage/convert1_expected.csv"));
  EXPECT_EQ(Edit1(w), input);
}

TEST_F(ConvertWindowTest, Converter1SelectionWarningsAndCancel) {
  TfrmConvert w(ctx);
  WriteBytes(root / "empty.txt", "");
  WriteBytes(root / "one.txt", "x\r\n");
  // An empty file, then a cancel with nothing loaded: both warn.
  dlg.fileAnswers = {QP(root / "empty.txt"), QString()};
  Click(w, "Button3");
  Click(w, "Button3");
  EXPECT_TRUE(Edit1(w).isEmpty());
  EXPECT_EQ(dlg.MessageLines(),
            (Lines{"情報: 変換前ファイルを選択します", "警告: 正しいFFファイルではありません。",
                   "情報: 変換前ファイルを選択します", "警告: 正しいFFファイルではありません。"}));
  // A cancel after a good pick keeps the lines and the dialog's last file.
  dlg.messages.clear();
  dlg.fileAnswers = {QP(root / "one.txt"), QString()};
  Click(w, "Button3");
  Get<QLineEdit>(w, "Edit1")->clear();
  Click(w, "Button3");
  EXPECT_EQ(Edit1(w), QP(root / "one.txt"));
  EXPECT_EQ(dlg.MessageLines(),
            (Lines{"情報: 変換前ファイルを選択します", "情報: 変換前ファイルを選択します"}));
}

TEST_F(ConvertWindowTest, Converter1ErrorBoxes) {
  TfrmConvert w(ctx);
  Click(w, "Button1");
  const fs::path bad = root / "bad.txt";
  WriteBytes(bad, test::Sjis(std::string(60, '\t') + "\r\n1\t\t\t202605" + std::string(19, '\t') +
                             "未" + std::string(40, '\t') + "\r\n"));
  Get<QLineEdit>(w, "Edit1")->setText(QP(bad));
  Click(w, "Button1");
  EXPECT_EQ(dlg.MessageLines(),
            (Lines{"警告: ファイルがありません。",
                   "エラー: 2行目のHbA1c（23列目）の値「未」は数値ではありません。"
                   "電カル連携ファイルは作成しませんでした。"}));
  EXPECT_TRUE(dlg.modalTitles.empty());
  EXPECT_TRUE(ListFiles(env.programDir).empty());
}

// ------------------------------------------------------------ both converters

// A file dropped on the input box goes through the checks of "変換前ファイル選択", without its
// prompt; folders, several files and drops beside the box change nothing.
TEST_F(ConvertWindowTest, DroppedInputGoesThroughTheSelectionChecks) {
  WriteBytes(root / "good.txt", "H\r\n1\t\t\t202605\r\n");
  WriteBytes(root / "empty.txt", "");
  const QString good = QP(root / "good.txt");
  const QString empty = QP(root / "empty.txt");
  struct Refused {
    QStringList files;
    std::string message;
  };
  const std::vector<Refused> refused = {
      {{empty}, "警告: 正しいFFファイルではありません。"},
      {{QP(root.path())}, "警告: フォルダはドロップできません。ファイルをドロップしてください。"},
      {{good, good}, "警告: ドロップできるファイルは1つだけです。"},
  };
  TfrmConvert converter1(ctx);
  TfrmConvert2 converter2(ctx);
  for (QDialog* w : std::initializer_list<QDialog*>{&converter1, &converter2}) {
    SCOPED_TRACE(w->windowTitle().toStdString());
    dlg.messages.clear();
    auto* edit1 = Get<QLineEdit>(*w, "Edit1");
    EXPECT_EQ(test::DropFiles(edit1, {good}), Qt::CopyAction);
    EXPECT_EQ(edit1->text(), good);
    EXPECT_TRUE(dlg.messages.empty());
    for (const Refused& r : refused) {
      SCOPED_TRACE(r.message);
      dlg.messages.clear();
      EXPECT_EQ(test::DropFiles(edit1, r.files), Qt::CopyAction);
      EXPECT_EQ(dlg.MessageLines(), Lines{r.message});
      EXPECT_EQ(edit1->text(), good);
    }
    dlg.messages.clear();
    EXPECT_EQ(test::DropFiles(Get<QPushButton>(*w, "Button3"), {good}), Qt::IgnoreAction);
    EXPECT_TRUE(dlg.messages.empty());
  }
}

TEST_F(ConvertWindowTest, FileDialogOpensWhereTheLastChoiceWas) {
  fs::create_directories(root / "in" / "may");
  WriteBytes(root / "in" / "may" / "good.txt", "H\r\n1\t\t\t202605\r\n");
  {
    TfrmConvert2 w(ctx);
    dlg.fileAnswers = {QP(root / "in" / "may" / "good.txt")};
    Click(w, "Button3");
  }
  // A new window of the same converter starts there; the other converter's box has its own.
  TfrmConvert2 again(ctx);
  TfrmConvert other(ctx);
  dlg.fileAnswers = {QString(), QString()};
  Click(again, "Button3");
  Click(other, "Button3");
  EXPECT_EQ(dlg.fileStarts, (std::vector<QString>{QString(), QP(root / "in" / "may"), QString()}));
}

// ------------------------------------------------------------ converter 2

TEST_F(ConvertWindowTest, Converter2ShowsItsControls) {
  TfrmConvert2 w(ctx);
  dlg.modalHandlers.push_back([&](QDialog* d) {
    EXPECT_EQ(d->windowTitle(), Q("NIVAコンバーター２"));
    EXPECT_EQ(d->size(), QSize(348, 239));
    EXPECT_TRUE(Edit1(*d).isEmpty());
    EXPECT_EQ(Get<QPushButton>(*d, "Button3")->text(), Q("変換前ファイル選択"));
    EXPECT_EQ(Get<QLabel>(*d, "Label2")->text(), Q("変換前ファイル："));
    EXPECT_EQ(Get<QPushButton>(*d, "Button1")->text(), Q("電カル連携ファイル作成"));
    EXPECT_EQ(Get<QPushButton>(*d, "Button5")->text(), Q("変換前ファイル匿名化"));
    EXPECT_EQ(Get<QPushButton>(*d, "BitBtn1")->text(), Q("閉じる(&C)"));
    test::SaveGallery(d, "TfrmConvert2");
  });
  EXPECT_TRUE(w.DspSet());
}

// Both fixtures blank values: the confirmation window says how many and
// moves the report together with the output.
TEST_F(ConvertWindowTest, Converter2BothLayoutsThroughTheWindow) {
  WriteBytes(env.nivaFf1Dir / "recelist.csv", Fixture("linkage/recelist.csv"));
  struct Case {
    const char* input;
    const char* output;
    const char* expected;
    const char* report;
    const char* reportExpected;
    const char* blanked;
    const char* gallery;  // the confirmation window's picture
  };
  for (const Case& c :
       {Case{"linkage/convert2_positional_in.txt", "202605_carte.csv",
             "linkage/convert2_positional_expected.csv", "202605_carte_検証.csv",
             "linkage/convert2_positional_report.csv", "17", "TfrmMsg_convert2_positional"},
        Case{"linkage/convert2_itemcode_in.txt", "202606_carte.csv",
             "linkage/convert2_itemcode_expected.csv", "202606_carte_検証.csv",
             "linkage/convert2_itemcode_report.csv", "11", "TfrmMsg_convert2_itemcode"}}) {
    SCOPED_TRACE(c.input);
    TfrmConvert2 w(ctx);
    dlg.messages.clear();
    dlg.fileAnswers = {QP(FixturePath(c.input))};
    Click(w, "Button3");
    EXPECT_EQ(Edit1(w), QP(FixturePath(c.input)));
    QString message;
    dlg.modalHandlers.push_back([&](QDialog* d) {
      message = Get<QLabel>(*d, "Label1")->text();
      test::SaveGallery(d, c.gallery);
      Click(*d, "Button1");
    });
    Click(w, "Button1");
    EXPECT_EQ(message, Q(c.output) + Q("が作成されました\n検証で") + Q(c.blanked) +
                           Q("件の値を空欄にしました（") + Q(c.report) + Q("）"));
    EXPECT_EQ(dlg.MessageLines(), Lines{"情報: 変換前ファイルを選択します"});
    EXPECT_EQ(ReadBytes(env.downloadsDir / c.output), Fixture(c.expected));
    EXPECT_EQ(ReadBytes(env.downloadsDir / PathFromText(T(c.report))), Fixture(c.reportExpected));
    // Both files were moved; only the settings (the remembered folder) stay.
    EXPECT_EQ(ListFiles(env.programDir), std::vector<std::string>{"user.ini"});
  }
}

TEST_F(ConvertWindowTest, Converter2SelectionAndConversionErrors) {
  TfrmConvert2 w(ctx);
  WriteBytes(root / "good.txt", "H\r\n1\t\t\t202605\r\n");
  WriteBytes(root / "one.txt", "H\r\n");
  // No selection yet.
  Click(w, "Button1");
  // A good file, then one whose line 2 is missing: the box keeps the good file.
  dlg.fileAnswers = {QP(root / "good.txt"), QP(root / "one.txt"), QString()};
  Click(w, "Button3");
  Click(w, "Button3");
  EXPECT_EQ(Edit1(w), QP(root / "good.txt"));
  // Cancel: warning, Edit1 unchanged.
  Click(w, "Button3");
  EXPECT_EQ(Edit1(w), QP(root / "good.txt"));
  EXPECT_EQ(
      dlg.MessageLines(),
      (Lines{"エラー: 変換前ファイルが選択されていません。先に「変換前ファイル選択」でファイルを選"
             "んでください。",
             "情報: 変換前ファイルを選択します", "情報: 変換前ファイルを選択します",
             "エラー: ファイル " + ToUtf8(PathText(root / "one.txt")) +
                 " には2行目がないため、診療年月を読み取れません。",
             "情報: 変換前ファイルを選択します", "警告: 正しいFFファイルではありません。"}));
  // The conversion converts the file in the box.
  QString message;
  ExpectConfirmation(&message);
  Click(w, "Button1");
  EXPECT_EQ(message, Q("202605_carte.csvが作成されました"));
  EXPECT_EQ(ReadBytes(env.programDir / "202605_carte.csv"),
            test::Sjis(ToUtf8(linkage::NumberedHeaderLine()) + "\r\n1,,20260501" +
                       std::string(86, ',') + "\r\n"));

  // A file that has gone by conversion time.
  dlg.messages.clear();
  fs::remove(root / "good.txt");
  Click(w, "Button1");
  EXPECT_EQ(dlg.MessageLines(),
            Lines{"エラー: ファイル " + ToUtf8(PathText(root / "good.txt")) +
                  " を開けません。\nファイルが見つかりません。ファイルが移動または削除されて"
                  "いないか、名前が変わっていないか確かめてください。(コード 2)"});
  EXPECT_EQ(dlg.modalTitles.size(), 1u);
}

// The box may be typed into after a selection: the conversion takes the
// year-month, and with it the layout and the name, from the file it converts.
TEST_F(ConvertWindowTest, Converter2TakesTheYearMonthOfTheFileInTheBox) {
  WriteBytes(env.nivaFf1Dir / "recelist.csv", "456,,,,000123\r\n");
  WriteBytes(root / "item.txt", "PT_0001\tPT_0002\tPT_0003\tIO_0001\r\n000123\t\t\t202606\r\n");
  WriteBytes(root / "pos.txt", "H\r\n000123\t\t\t202605\r\n");
  TfrmConvert2 w(ctx);
  dlg.fileAnswers = {QP(root / "item.txt")};
  Click(w, "Button3");
  Get<QLineEdit>(w, "Edit1")->setText(QP(root / "pos.txt"));
  QString message;
  ExpectConfirmation(&message);
  Click(w, "Button1");
  EXPECT_EQ(message, Q("202605_carte.csvが作成されました"));
  // Positional: the chart number stays as the file has it, no receipt-list lookup.
  EXPECT_EQ(ReadBytes(env.programDir / "202605_carte.csv"),
            test::Sjis(ToUtf8(linkage::NumberedHeaderLine()) + "\r\n000123,,20260501" +
                       std::string(86, ',') + "\r\n"));
  EXPECT_EQ(ListFiles(env.programDir), (std::vector<std::string>{"202605_carte.csv", "user.ini"}));
}

// A refused selection leaves the box as it was; a file typed into it whose
// year-month cannot be read is refused at the conversion with the
// selection's words: no file, no confirmation window.
TEST_F(ConvertWindowTest, Converter2RefusesAFileWithoutYearMonth) {
  const fs::path shortFile = root / "short.txt";
  WriteBytes(shortFile, "H\r\nA\tB\tC\r\n");
  const std::string why = "ファイル " + ToUtf8(PathText(shortFile)) +
                          " の2行目は項目が4つに足りないため、診療年月を読み取れません。";
  TfrmConvert2 w(ctx);
  dlg.fileAnswers = {QP(shortFile)};
  Click(w, "Button3");
  EXPECT_TRUE(Edit1(w).isEmpty());
  Click(w, "Button1");
  Get<QLineEdit>(w, "Edit1")->setText(QP(shortFile));
  Click(w, "Button1");
  EXPECT_EQ(dlg.MessageLines(),
            (Lines{"情報: 変換前ファイルを選択します", "エラー: " + why,
                   "エラー: 変換前ファイルが選択されていません。先に「変換前ファイル選択」でファイル"
                   "を選んでください。",
                   "警告: " + why + "\n外来データファイル（FFファイル）ではありません。"}));
  EXPECT_TRUE(dlg.modalTitles.empty());
  EXPECT_EQ(ListFiles(env.programDir), std::vector<std::string>{"user.ini"});
}

TEST_F(ConvertWindowTest, AnonymizerButton) {
  TfrmConvert2 w(ctx);
  Click(w, "Button5");
  EXPECT_EQ(dlg.MessageLines(), Lines{"警告: ファイルが選択されていません。"});
  const fs::path in = root / "FF_data.txt";
  WriteBytes(in, Fixture("linkage/anonymize_in.txt"));
  Get<QLineEdit>(w, "Edit1")->setText(QP(in));
  QString message;
  ExpectConfirmation(&message);
  Click(w, "Button5");
  EXPECT_EQ(message, Q("FF_dataano.txtが作成されました"));
  EXPECT_EQ(ReadBytes(env.programDir / "FF_dataano.txt"),
            Fixture("linkage/anonymize_expected.txt"));

  // Same name as an input inside the program folder: refused, input kept.
  dlg.messages.clear();
  const fs::path inside = env.programDir / "FF.TSV";
  WriteBytes(inside, "H\tN\r\n1\t2\r\n");
  Get<QLineEdit>(w, "Edit1")->setText(QP(inside));
  Click(w, "Button5");
  ASSERT_EQ(dlg.messages.size(), 1u);
  EXPECT_EQ(dlg.messages[0].kind, "警告");
  EXPECT_EQ(ReadBytes(inside), "H\tN\r\n1\t2\r\n");
  EXPECT_EQ(dlg.modalTitles.size(), 1u);
}

// A receipt file is no outpatient file: the anonymizer would copy it with
// every name in it.
TEST_F(ConvertWindowTest, AnonymizerRefusesAReceiptFile) {
  const fs::path receipt = root / "RECEIPTC.UKE";
  const std::string bytes =
      test::Sjis("IR,2,13,1,1234567,,国保医院,202604,00,03\r\nRE,1,1112,202604,山田　太郎,1\r\n");
  WriteBytes(receipt, bytes);
  TfrmConvert2 w(ctx);
  Get<QLineEdit>(w, "Edit1")->setText(QP(receipt));
  Click(w, "Button5");
  EXPECT_EQ(dlg.MessageLines(),
            Lines{"警告: ファイル " + ToUtf8(PathText(receipt)) +
                  " の2行目はタブ区切りではありません。\n外来データファイル（FFファイル）ではありません。"});
  EXPECT_TRUE(dlg.modalTitles.empty());
  EXPECT_TRUE(ListFiles(env.programDir).empty());
  EXPECT_EQ(ReadBytes(receipt), bytes);
}

}  // namespace
}  // namespace tavo::ui

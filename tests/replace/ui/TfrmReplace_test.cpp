#include "replace/ui/TfrmReplace.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <string>
#include <vector>

#include "gui_support/drop.h"
#include "gui_support/gallery.h"
#include "gui_support/scripted_dialogs.h"
#include "gui_support/widget_find.h"
#include "support/test_util.h"

namespace tavo::ui {
namespace {

namespace fs = std::filesystem;
using test::QP;
using test::ReadBytes;
using test::WriteBytes;
using Lines = std::vector<std::string>;

class TfrmReplaceTest : public ::testing::Test {
 protected:
  test::TempDir root;
  Env env = test::MakeEnv(root.path());
  test::ScriptedDialogs dlg;
  AppContext ctx{env, dlg};
  fs::path in = root / "in";

  void SetUp() override { fs::create_directories(in); }

  fs::path Put(const std::string& name, const std::string& bytes) {
    fs::create_directories((in / name).parent_path());
    WriteBytes(in / name, bytes);
    return in / name;
  }
  template <class W>
  W* Get(QWidget& w, const char* name) {
    return test::Child<W>(&w, name);
  }
  void Click(QWidget& w, const char* name) { Get<QPushButton>(w, name)->click(); }
  QString Text(QWidget& w, const char* name) { return Get<QLineEdit>(w, name)->text(); }
  void SetText(QWidget& w, const char* name, const QString& t) {
    Get<QLineEdit>(w, name)->setText(t);
  }
};

// ------------------------------------------------------------ showing

TEST_F(TfrmReplaceTest, EachModeShowsItsControls) {
  struct Case {
    int mode;
    const char* caption;
    const char* gallery;
  };
  for (const Case& c :
       {Case{1, "リプレース", "TfrmReplace_mode1"}, Case{2, "リプレース２", "TfrmReplace_mode2"}}) {
    SCOPED_TRACE(c.mode);
    TfrmReplace w(ctx);
    SetText(w, "Edit3", QStringLiteral("old"));
    dlg.modalHandlers.push_back([&](QDialog* d) {
      EXPECT_EQ(d->windowTitle(), Q(c.caption));
      EXPECT_EQ(d->size(), QSize(348, 228));
      EXPECT_TRUE(Text(*d, "Edit3").isEmpty());
      const bool m1 = c.mode == 1;
      EXPECT_EQ(Get<QPushButton>(*d, "Button2")->isHidden(), !m1);
      EXPECT_EQ(Get<QPushButton>(*d, "Button4")->isHidden(), m1);
      EXPECT_EQ(Get<QLineEdit>(*d, "Edit1")->isHidden(), !m1);
      EXPECT_EQ(Get<QLabel>(*d, "Label2")->isHidden(), !m1);
      EXPECT_FALSE(Get<QLabel>(*d, "Label1")->isHidden());
      EXPECT_EQ(Get<QPushButton>(*d, "Button1")->text(), Q("変換実行"));
      EXPECT_EQ(Get<QPushButton>(*d, "BitBtn1")->text(), Q("閉じる(&C)"));
      test::SaveGallery(d, QString::fromLatin1(c.gallery));
    });
    EXPECT_TRUE(w.DspSet(c.mode, QStringLiteral("a.UKE"), QStringLiteral("b.UKE")));
    EXPECT_TRUE(dlg.messages.empty());
  }
}

// ------------------------------------------------------------ mode 1

TEST_F(TfrmReplaceTest, Mode1SelectsTheOutpatientFileThenTheDefinition) {
  const fs::path ff = Put("a.txt", "A\t1\r\n");
  const fs::path def = Put("def.csv", "1,2\r\n");
  const fs::path empty = Put("empty.txt", "");
  TfrmReplace w(ctx);
  w.DspSet(1, QString(), QString());

  dlg.fileAnswers = {QP(ff), QP(def)};
  Click(w, "Button2");
  EXPECT_EQ(Text(w, "Edit1"), QP(ff));
  EXPECT_EQ(Text(w, "Edit3"), QP(def));
  EXPECT_EQ(dlg.MessageLines(), (Lines{"情報: 変換前ファイルを選択します",
                                       "情報: 変換定義ファイルファイルを選択します"}));

  // Files without a line are refused; the boxes keep their paths.
  dlg.messages.clear();
  dlg.fileAnswers = {QP(empty), QP(empty)};
  Click(w, "Button2");
  EXPECT_EQ(Text(w, "Edit1"), QP(ff));
  EXPECT_EQ(Text(w, "Edit3"), QP(def));
  EXPECT_EQ(dlg.MessageLines(),
            (Lines{"情報: 変換前ファイルを選択します", "警告: 正しいFFファイルではありません。",
                   "情報: 変換定義ファイルファイルを選択します",
                   "警告: 変換定義ファイルではありません。"}));

  // Cancelled dialogs check what was loaded before: nothing now, so both warn.
  dlg.messages.clear();
  dlg.fileAnswers = {QString(), QString()};
  Click(w, "Button2");
  EXPECT_EQ(dlg.MessageLines(),
            (Lines{"情報: 変換前ファイルを選択します", "警告: 正しいFFファイルではありません。",
                   "情報: 変換定義ファイルファイルを選択します",
                   "警告: 変換定義ファイルではありません。"}));
  EXPECT_EQ(Text(w, "Edit1"), QP(ff));
}

TEST_F(TfrmReplaceTest, Mode1CancelAfterAGoodChoiceKeepsTheBoxes) {
  const fs::path ff = Put("a.txt", "A\t1\r\n");
  const fs::path def = Put("def.csv", "1,2\r\n");
  TfrmReplace w(ctx);
  w.DspSet(1, QString(), QString());
  dlg.fileAnswers = {QP(ff), QP(def), QString(), QString()};
  Click(w, "Button2");
  dlg.messages.clear();
  Click(w, "Button2");
  EXPECT_EQ(dlg.MessageLines(), (Lines{"情報: 変換前ファイルを選択します",
                                       "情報: 変換定義ファイルファイルを選択します"}));
  EXPECT_EQ(Text(w, "Edit1"), QP(ff));
  EXPECT_EQ(Text(w, "Edit3"), QP(def));
}

TEST_F(TfrmReplaceTest, Mode1RunWritesAndOpensTheConfirmationWindow) {
  const fs::path ff = Put("G_FF1_1_all.txt", "A\t0000000123\tx0000000123\r\n");
  const fs::path def = Put("def.csv", "123,456\r\n");
  TfrmReplace w(ctx);
  w.DspSet(1, QString(), QString());
  SetText(w, "Edit1", QP(ff));
  SetText(w, "Edit3", QP(def));
  const std::size_t shown = dlg.modalTitles.size();
  bool writtenWhenShown = false;
  dlg.modalHandlers.push_back(
      [&](QDialog*) { writtenWhenShown = fs::exists(env.programDir / "G_FF1_1_allR.txt"); });
  Click(w, "Button1");
  EXPECT_TRUE(dlg.messages.empty());
  EXPECT_EQ(dlg.modalTitles.size(), shown + 1);
  EXPECT_TRUE(writtenWhenShown);
  EXPECT_EQ(ReadBytes(env.programDir / "G_FF1_1_allR.txt"), "A\t0000000456\tx0000000456\r\n");
  EXPECT_EQ(dlg.busyDepth, 0);
  EXPECT_GT(dlg.busyMax, 0);
}

TEST_F(TfrmReplaceTest, Mode1ConfirmationWindowShowsTheCounts) {
  const fs::path ff = Put("a.txt", "A\t0000000123\r\nB\t0000000007\r\nC\t0000000123\r\n");
  const fs::path def = Put("def.csv", "123,456\r\n");
  TfrmReplace w(ctx);
  w.DspSet(1, QString(), QString());
  SetText(w, "Edit1", QP(ff));
  SetText(w, "Edit3", QP(def));
  QString counts;
  dlg.modalHandlers.push_back([&](QDialog* d) { counts = Get<QLabel>(*d, "Label2")->text(); });
  Click(w, "Button1");
  EXPECT_EQ(counts, Q("3行を読み、患者番号を2件置き換えました\n定義にない番号: 1件（2行目）"));

  // A later click that writes nothing opens no window: the earlier output is not offered again.
  fs::remove(ff);
  const std::size_t shown = dlg.modalTitles.size();
  Click(w, "Button1");
  EXPECT_EQ(dlg.MessageLines(), Lines{"警告: ファイルがありません。"});
  EXPECT_EQ(dlg.modalTitles.size(), shown);
}

TEST_F(TfrmReplaceTest, Mode1FailuresShowOneMessageAndNoConfirmation) {
  const fs::path ff = Put("a.txt", "A\t1\r\n");
  const fs::path def = Put("def.csv", "1,2\r\n");
  const fs::path bad = Put("bad.txt", "A\t1\r\nabc\r\n");
  struct Case {
    QString file;
    QString definition;
    std::string message;
  };
  const std::vector<Case> cases = {
      {QP(ff), QString(), "警告: 変更定義ファイルがファイルがありません。"},
      {QP(ff), QP(in / "none.csv"), "警告: 変更定義ファイルがファイルがありません。"},
      {QP(in / "none.txt"), QP(def), "警告: ファイルがありません。"},
      {QP(bad), QP(def), "エラー: リストのインデックスが範囲を超えています (1)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    TfrmReplace w(ctx);
    w.DspSet(1, QString(), QString());
    SetText(w, "Edit1", c.file);
    SetText(w, "Edit3", c.definition);
    dlg.messages.clear();
    const std::size_t shown = dlg.modalTitles.size();
    Click(w, "Button1");
    EXPECT_EQ(dlg.MessageLines(), Lines{c.message});
    EXPECT_EQ(dlg.modalTitles.size(), shown);
  }
  EXPECT_TRUE(test::ListFiles(env.programDir).empty());
}

TEST_F(TfrmReplaceTest, DroppedFilesGoThroughTheChecksOfTheirBox) {
  const QString ff = QP(Put("a.txt", "A\t1\r\n"));
  const QString def = QP(Put("def.csv", "1,2\r\n"));
  const QString empty = QP(Put("empty.txt", ""));
  TfrmReplace w(ctx);
  w.DspSet(1, QString(), QString());
  auto* edit1 = Get<QLineEdit>(w, "Edit1");
  auto* edit3 = Get<QLineEdit>(w, "Edit3");
  // Each box alone: the input drop asks for no definition file.
  EXPECT_EQ(test::DropFiles(edit1, {ff}), Qt::CopyAction);
  EXPECT_EQ(test::DropFiles(edit3, {def}), Qt::CopyAction);
  EXPECT_EQ(edit1->text(), ff);
  EXPECT_EQ(edit3->text(), def);
  EXPECT_TRUE(dlg.messages.empty());
  test::DropFiles(edit1, {empty});
  test::DropFiles(edit3, {empty});
  test::DropFiles(edit3, {QP(in)});
  EXPECT_EQ(edit1->text(), ff);
  EXPECT_EQ(edit3->text(), def);
  EXPECT_EQ(
      dlg.MessageLines(),
      (Lines{"警告: 正しいFFファイルではありません。", "警告: 変換定義ファイルではありません。",
             "警告: フォルダはドロップできません。ファイルをドロップしてください。"}));
}

TEST_F(TfrmReplaceTest, Mode2DefinitionDropNeedsBothReceiptFiles) {
  const QString def = QP(Put("def.csv", "1,2\r\n"));
  {
    TfrmReplace w(ctx);
    w.DspSet(2, QStringLiteral("s.UKE"), QString());
    test::DropFiles(Get<QLineEdit>(w, "Edit3"), {def});
    EXPECT_TRUE(Text(w, "Edit3").isEmpty());
    EXPECT_EQ(
        dlg.MessageLines(),
        Lines{"警告: 国保のレセ電ファイルの選択がありません。起動時の画面で選択してください"});
  }
  dlg.messages.clear();
  TfrmReplace w(ctx);
  w.DspSet(2, QStringLiteral("s.UKE"), QStringLiteral("k.UKE"));
  test::DropFiles(Get<QLineEdit>(w, "Edit3"), {def});
  EXPECT_EQ(Text(w, "Edit3"), def);
  EXPECT_TRUE(dlg.messages.empty());
}

TEST_F(TfrmReplaceTest, EachBoxRemembersItsOwnFolder) {
  const fs::path ff = Put("ff/a.txt", "A\t1\r\n");
  const fs::path def = Put("def/def.csv", "1,2\r\n");
  {
    TfrmReplace w(ctx);
    w.DspSet(1, QString(), QString());
    dlg.fileAnswers = {QP(ff), QP(def)};
    Click(w, "Button2");
  }
  dlg.fileStarts.clear();
  TfrmReplace w(ctx);
  w.DspSet(1, QString(), QString());
  dlg.fileAnswers = {QString(), QString()};
  Click(w, "Button2");
  EXPECT_EQ(dlg.fileStarts, (std::vector<QString>{QP(in / "ff"), QP(in / "def")}));
}

// ------------------------------------------------------------ mode 2

TEST_F(TfrmReplaceTest, Mode2DefinitionSelectionNeedsBothReceiptFiles) {
  const fs::path def = Put("def.csv", "1,2\r\n");
  struct Case {
    QString file1;
    QString file2;
    std::string warning;
  };
  const std::vector<Case> cases = {
      {QString(), QStringLiteral("  "),
       "警告: 社保および国保のレセ電ファイルの選択がありません。起動時の画面で選択してください"},
      {QStringLiteral(" "), QStringLiteral("k.UKE"),
       "警告: 社保のレセ電ファイルの選択がありません。起動時の画面で選択してください"},
      {QStringLiteral("s.UKE"), QString(),
       "警告: 国保のレセ電ファイルの選択がありません。起動時の画面で選択してください"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.warning);
    TfrmReplace w(ctx);
    w.DspSet(2, c.file1, c.file2);
    dlg.messages.clear();
    Click(w, "Button4");  // no file dialog is scripted: none may open
    EXPECT_EQ(dlg.MessageLines(), Lines{c.warning});
  }

  TfrmReplace w(ctx);
  w.DspSet(2, QStringLiteral("s.UKE"), QStringLiteral("k.UKE"));
  dlg.messages.clear();
  dlg.fileAnswers = {QP(Put("empty.csv", "")), QP(def)};
  Click(w, "Button4");
  EXPECT_TRUE(Text(w, "Edit3").isEmpty());
  Click(w, "Button4");
  EXPECT_EQ(Text(w, "Edit3"), QP(def));
  EXPECT_EQ(dlg.MessageLines(), (Lines{"情報: 変換定義ファイルファイルを選択します",
                                       "警告: 変換定義ファイルではありません。",
                                       "情報: 変換定義ファイルファイルを選択します"}));
}

class TfrmReplaceMode2 : public TfrmReplaceTest {
 protected:
  const std::string kShaho = test::Sjis("IR,1\r\nRE,1,2,3,ﾔﾏﾀﾞ ﾀﾛｳ,5,6,7,8,9,10,11,12,1,1\r\n");
  const std::string kKokuho = "IR,2\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12, 1 \r\n";
  fs::path def = Put("def.csv", "1,999\r\n");
  fs::path shaho = Put("s/RECEIPTC.UKE", kShaho);
  fs::path kokuho = Put("k/RECEIPTC.UKE", kKokuho);

  // Runs Button1 in a mode-2 window; records which outputs existed as each
  // confirmation window opened.
  std::vector<Lines> Run(const QString& file1, const QString& file2) {
    TfrmReplace w(ctx);
    w.DspSet(2, file1, file2);
    SetText(w, "Edit3", QP(def));
    dlg.messages.clear();
    std::vector<Lines> seen;
    for (int i = 0; i < 2; ++i) {
      dlg.modalHandlers.push_back(
          [&](QDialog*) { seen.push_back(test::ListFiles(env.programDir)); });
    }
    Click(w, "Button1");
    dlg.modalHandlers.clear();
    return seen;
  }
};

TEST_F(TfrmReplaceMode2, EachFileHasItsOwnConfirmationWindow) {
  const auto seen = Run(QP(shaho), QP(kokuho));
  EXPECT_TRUE(dlg.messages.empty());
  // The 国保 run starts only after the 社保 window has closed.
  EXPECT_EQ(seen,
            (std::vector<Lines>{{"RECEIPTC_1R.UKE"}, {"RECEIPTC_1R.UKE", "RECEIPTC_2R.UKE"}}));
  EXPECT_EQ(ReadBytes(env.programDir / "RECEIPTC_1R.UKE"),
            test::Sjis("IR,1\r\nRE,1,2,3,ﾔﾏﾀﾞ ﾀﾛｳ,5,6,7,8,9,10,11,12,999,1\r\n"));
  EXPECT_EQ(ReadBytes(env.programDir / "RECEIPTC_2R.UKE"),
            "IR,2\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,999\r\n");
}

TEST_F(TfrmReplaceMode2, ConfirmationWindowsNameAndMoveTheirOwnFile) {
  TfrmReplace w(ctx);
  w.DspSet(2, QP(shaho), QP(kokuho));
  SetText(w, "Edit3", QP(def));
  std::vector<QString> labels;
  std::vector<QString> counts;
  for (int i = 0; i < 2; ++i) {
    dlg.modalHandlers.push_back([&](QDialog* d) {
      labels.push_back(Get<QLabel>(*d, "Label1")->text());
      counts.push_back(Get<QLabel>(*d, "Label2")->text());
      Click(*d, "Button1");
    });
  }
  Click(w, "Button1");
  EXPECT_EQ(labels, (std::vector<QString>{Q("RECEIPTC_1R.UKEが作成されました"),
                                          Q("RECEIPTC_2R.UKEが作成されました")}));
  EXPECT_EQ(counts, (std::vector<QString>{Q("RE 1件を読み、患者番号を1件置き換えました"),
                                          Q("RE 1件を読み、患者番号を1件置き換えました")}));
  EXPECT_EQ(test::ListFiles(env.downloadsDir), (Lines{"RECEIPTC_1R.UKE", "RECEIPTC_2R.UKE"}));
  EXPECT_TRUE(test::ListFiles(env.programDir).empty());
}

TEST_F(TfrmReplaceMode2, SecondFileOfTheSameNameAndKindIsNotWritten) {
  // Both 社保 files are RECEIPTC.UKE: both would be RECEIPTC_1R.UKE. The first
  // output moves on before the second run; the click still never replaces it.
  const fs::path other = Put("t/RECEIPTC.UKE", kShaho);
  TfrmReplace w(ctx);
  w.DspSet(2, QP(shaho), QP(other));
  SetText(w, "Edit3", QP(def));
  dlg.modalHandlers.push_back([&](QDialog* d) { Click(*d, "Button1"); });
  Click(w, "Button1");
  EXPECT_EQ(dlg.MessageLines(),
            Lines{"警告: 「" + ToUtf8(PathText(other)) +
                  "」の変換後のファイル名「RECEIPTC_1R.UKE」が「" + ToUtf8(PathText(shaho)) +
                  "」の変換後のファイルと同じになるため、作成しません。"});
  EXPECT_EQ(std::count(dlg.modalTitles.begin(), dlg.modalTitles.end(), Q("確認")), 1);
  EXPECT_EQ(test::ListFiles(env.downloadsDir), Lines{"RECEIPTC_1R.UKE"});
  EXPECT_TRUE(test::ListFiles(env.programDir).empty());
}

TEST_F(TfrmReplaceMode2, EachClickHandsOverOnlyWhatItWrote) {
  // The first click's outputs stay in the program folder (windows closed by
  // their close box). The next click finds no 社保 file: its one window names
  // the 国保 file, and its button moves only that.
  Run(QP(shaho), QP(kokuho));
  ASSERT_EQ(test::ListFiles(env.programDir), (Lines{"RECEIPTC_1R.UKE", "RECEIPTC_2R.UKE"}));
  fs::remove(shaho);
  TfrmReplace w(ctx);
  w.DspSet(2, QP(shaho), QP(kokuho));
  SetText(w, "Edit3", QP(def));
  dlg.messages.clear();
  const std::size_t shown = dlg.modalTitles.size();
  std::vector<QString> labels;
  dlg.modalHandlers.push_back([&](QDialog* d) {
    labels.push_back(Get<QLabel>(*d, "Label1")->text());
    Click(*d, "Button1");
  });
  Click(w, "Button1");
  dlg.modalHandlers.clear();
  EXPECT_EQ(dlg.MessageLines(), Lines{"警告: ファイルがありません。"});
  EXPECT_EQ(dlg.modalTitles.size(), shown + 1);
  EXPECT_EQ(labels, std::vector<QString>{Q("RECEIPTC_2R.UKEが作成されました")});
  EXPECT_EQ(test::ListFiles(env.downloadsDir), Lines{"RECEIPTC_2R.UKE"});
  EXPECT_EQ(test::ListFiles(env.programDir), Lines{"RECEIPTC_1R.UKE"});
}

TEST_F(TfrmReplaceMode2, ClickThatWritesNothingOpensNoConfirmationWindow) {
  const auto first = Run(QP(shaho), QP(kokuho));  // outputs of an earlier click are left
  ASSERT_EQ(first.size(), 2u);
  const auto confirmations = [&] {
    return std::count(dlg.modalTitles.begin(), dlg.modalTitles.end(), Q("確認"));
  };
  const auto before = confirmations();
  const auto seen = Run(QP(in / "none1.UKE"), QP(in / "none2.UKE"));
  EXPECT_EQ(dlg.MessageLines(),
            (Lines{"警告: ファイルがありません。", "警告: ファイルがありません。"}));
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(confirmations(), before);
}

TEST_F(TfrmReplaceMode2, MissingShahoFileStillRunsKokuho) {
  const auto seen = Run(QString(), QP(kokuho));
  EXPECT_EQ(dlg.MessageLines(), Lines{"警告: ファイルがありません。"});
  EXPECT_EQ(seen, (std::vector<Lines>{{"RECEIPTC_2R.UKE"}}));
}

TEST_F(TfrmReplaceMode2, IndexErrorEndsTheClick) {
  const fs::path broken = Put("b/BROKEN.UKE", "IR,1\r\nRE,1,2\r\n");
  const auto seen = Run(QP(broken), QP(kokuho));
  EXPECT_EQ(dlg.MessageLines(), Lines{"エラー: リストのインデックスが範囲を超えています (13)"});
  EXPECT_TRUE(seen.empty());
  EXPECT_TRUE(test::ListFiles(env.programDir).empty());
}

TEST_F(TfrmReplaceMode2, MissingDefinitionStartsNoRun) {
  def = in / "none.csv";
  const auto seen = Run(QP(shaho), QP(kokuho));
  EXPECT_EQ(dlg.MessageLines(), Lines{"警告: 変更定義ファイルがファイルがありません。"});
  EXPECT_TRUE(seen.empty());
}

}  // namespace
}  // namespace tavo::ui

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include "ui/app_context.h"
#include "checkup/ui/TfrmTokutei.h"
#include "core/errors.h"
#include "gui_support/drop.h"
#include "gui_support/gallery.h"
#include "gui_support/scripted_dialogs.h"
#include "gui_support/widget_find.h"
#include "support/test_util.h"

namespace tavo::ui {
namespace {

using test::Child;
using test::Fixture;
using test::FixturePath;
using test::QP;
using test::ReadBytes;
using test::ScriptedDialogs;
using test::TempDir;
using test::WriteBytes;

using Strings = std::vector<std::string>;

struct TokuteiFixture : ::testing::Test {
  TempDir dir;
  ScriptedDialogs dialogs;
  AppContext ctx{test::MakeEnv(dir.path(), Date{2027, 1, 31}), dialogs};
};

TEST_F(TokuteiFixture, InitialStateFollowsToday) {
  TfrmTokutei w(ctx, nullptr);
  EXPECT_EQ(w.windowTitle(), Q("特定健診取込"));
  auto* year = Child<QComboBox>(&w, "ComboBox1");
  auto* month = Child<QComboBox>(&w, "ComboBox2");
  ASSERT_EQ(year->count(), 3);
  EXPECT_EQ(year->itemText(0), "08");
  EXPECT_EQ(year->itemText(1), "09");
  EXPECT_EQ(year->itemText(2), "10");
  EXPECT_EQ(year->currentText(), "09");
  EXPECT_EQ(month->currentText(), "01");
  EXPECT_EQ(month->count(), 12);
  EXPECT_EQ(Child<QLabel>(&w, "Label3")->text(), Q("対象年月："));
  EXPECT_EQ(Child<QLabel>(&w, "Label5")->text(), Q("年"));
  EXPECT_EQ(Child<QLabel>(&w, "Label6")->text(), Q("月"));
  EXPECT_EQ(Child<QPushButton>(&w, "Button3")->text(), Q("追加レセ電連携ファイル選択"));
  EXPECT_EQ(Child<QPushButton>(&w, "Button2")->text(), Q("特定健診受診年月ファイル選択"));
  EXPECT_EQ(Child<QLabel>(&w, "Label1")->text(), Q("追加レセ電連携ファイル："));
  EXPECT_EQ(Child<QLabel>(&w, "Label2")->text(), Q("特定健診受診年月ファイル："));
  EXPECT_TRUE(Child<QLineEdit>(&w, "Edit1")->text().isEmpty());
  EXPECT_TRUE(Child<QLineEdit>(&w, "Edit2")->text().isEmpty());
  EXPECT_EQ(w.size(), QSize(348, 286));
}

TEST_F(TokuteiFixture, SelectionButtons) {
  TfrmTokutei w(ctx, nullptr);
  dialogs.fileAnswers = {"/a/checkups.csv", QString(), "/a/add.csv", QString()};
  w.Button2Click();
  w.Button2Click();  // cancelled: the path stays
  w.Button3Click();
  w.Button3Click();
  EXPECT_EQ(Child<QLineEdit>(&w, "Edit1")->text(), "/a/checkups.csv");
  EXPECT_EQ(Child<QLineEdit>(&w, "Edit2")->text(), "/a/add.csv");
  const std::string tkk = "情報: 特定健診受診年月ファイルファイルを選択します";
  const std::string add = "情報: 追加のレセ電連携ファイルファイルを選択します";
  EXPECT_EQ(dialogs.MessageLines(), (Strings{tkk, tkk, add, add}));
}

TEST_F(TokuteiFixture, DroppedFilesFillTheirBox) {
  TfrmTokutei w(ctx, nullptr);
  WriteBytes(dir / "checkups.csv", "x\r\n");
  WriteBytes(dir / "add.csv", "x\r\n");
  auto* edit1 = Child<QLineEdit>(&w, "Edit1");
  auto* edit2 = Child<QLineEdit>(&w, "Edit2");
  EXPECT_EQ(test::DropFiles(edit1, {QP(dir / "checkups.csv")}), Qt::CopyAction);
  EXPECT_EQ(test::DropFiles(edit2, {QP(dir / "add.csv")}), Qt::CopyAction);
  EXPECT_EQ(edit1->text(), QP(dir / "checkups.csv"));
  EXPECT_EQ(edit2->text(), QP(dir / "add.csv"));
  EXPECT_TRUE(dialogs.messages.empty());
  test::DropFiles(edit2, {QP(dir / "checkups.csv"), QP(dir / "add.csv")});
  EXPECT_EQ(edit2->text(), QP(dir / "add.csv"));
  EXPECT_EQ(dialogs.MessageLines(), Strings{"警告: ドロップできるファイルは1つだけです。"});
}

TEST_F(TokuteiFixture, RunThroughTheShownWindow) {
  TfrmTokutei w(ctx, nullptr);
  QString confirmed;
  QString counts;
  dialogs.modalHandlers.push_back([&](QDialog* d) {
    dialogs.fileAnswers = {QP(FixturePath("checkup/checkups.csv")),
                           QP(FixturePath("checkup/additional.csv"))};
    Child<QPushButton>(d, "Button2")->click();
    Child<QPushButton>(d, "Button3")->click();
    Child<QComboBox>(d, "ComboBox1")->setEditText("08");
    Child<QComboBox>(d, "ComboBox2")->setEditText("06");
    Child<QPushButton>(d, "Button1")->click();
  });
  dialogs.modalHandlers.push_back([&](QDialog* msg) {
    confirmed = Child<QLabel>(msg, "Label1")->text();
    counts = Child<QLabel>(msg, "Label2")->text();
  });
  EXPECT_TRUE(w.DspSet());
  EXPECT_EQ(dialogs.modalTitles, (std::vector<QString>{Q("特定健診取込"), Q("確認")}));
  EXPECT_EQ(confirmed, Q("202606_carte_特定健診.csvが作成されました"));
  // What the run did, under the message (checkup_ops_test.cpp derives the numbers).
  EXPECT_EQ(counts.split(QLatin1Char('\n')).size(), 3);
  EXPECT_TRUE(
      counts.startsWith(Q("21行を読み、条件に該当した11行から患者10人の行を書き込みました")))
      << counts.toStdString();
  EXPECT_EQ(ReadBytes(ctx.env.programDir / Q("202606_carte_特定健診.csv").toStdU16String()),
            Fixture("checkup/202606_carte_checkup.expected"));
  EXPECT_EQ(dialogs.busyDepth, 0);
}

TEST_F(TokuteiFixture, MessagesWithoutOutput) {
  TfrmTokutei w(ctx, nullptr);
  const auto nobody = dir / "nobody.csv";
  WriteBytes(nobody, "x特定健診受診年月\r\n1,a,1,202701,39,x\r\n");
  struct Case {
    QString file;
    const char* month;
    std::string message;
  };
  const Case cases[] = {
      {QP(dir / "missing.csv"), "01", "警告: 特定健診受診年月ファイルファイルがありません。"},
      {QP(nobody), "5", "警告: 対象年月が正しくありません"},
      {QP(nobody), "01", "情報: 条件に該当する患者がいませんでした。"},
  };
  for (const auto& c : cases) {
    dialogs.messages.clear();
    Child<QLineEdit>(&w, "Edit1")->setText(c.file);
    Child<QComboBox>(&w, "ComboBox2")->setEditText(c.month);
    w.Button1Click();
    EXPECT_EQ(dialogs.MessageLines(), Strings{c.message}) << c.month;
  }
  EXPECT_TRUE(dialogs.modalTitles.empty());
  EXPECT_TRUE(test::ListFiles(ctx.env.programDir).empty());
}

TEST_F(TokuteiFixture, Gallery) {
  TfrmTokutei w(ctx, nullptr);
  Child<QLineEdit>(&w, "Edit1")->setText("C:\\LUMA\\tokutei_202606.csv");
  EXPECT_FALSE(test::SaveGallery(&w, "TfrmTokutei").isEmpty());
}

}  // namespace
}  // namespace tavo::ui

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/run_history.h"
#include "gui_support/drop.h"
#include "gui_support/gallery.h"
#include "gui_support/scripted_dialogs.h"
#include "gui_support/widget_find.h"
#include "postal/ui/TfrmOYubin.h"
#include "support/test_util.h"
#include "ui/app_context.h"

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

QStringList Items(QComboBox* c) {
  QStringList out;
  for (int i = 0; i < c->count(); ++i) out << c->itemText(i);
  return out;
}

struct OYubinFixture : ::testing::Test {
  TempDir dir;
  ScriptedDialogs dialogs;
  AppContext ctx{test::MakeEnv(dir.path(), Date{2026, 6, 15}), dialogs};
};

TEST_F(OYubinFixture, InitialStateFollowsToday) {
  TfrmOYubin w(ctx, nullptr);
  EXPECT_EQ(w.windowTitle(), Q("郵便番号変換"));
  auto* year = Child<QComboBox>(&w, "ComboBox1");
  auto* month = Child<QComboBox>(&w, "ComboBox2");
  EXPECT_EQ(Items(year), (QStringList{"07", "08", "09"}));
  EXPECT_EQ(year->currentText(), "08");
  EXPECT_EQ(month->currentText(), "06");
  EXPECT_EQ(month->count(), 12);
  EXPECT_EQ(month->itemText(0), "01");
  EXPECT_EQ(month->itemText(11), "12");
  EXPECT_TRUE(year->isEditable());
  EXPECT_EQ(Child<QPushButton>(&w, "Button1")->text(), Q("変換実行"));
  EXPECT_EQ(Child<QPushButton>(&w, "Button2")->text(), Q("OUTPUT・中間ファイル選択"));
  EXPECT_EQ(Child<QPushButton>(&w, "Button3")->text(), Q("変換定義ファイル選択"));
  EXPECT_EQ(Child<QPushButton>(&w, "BitBtn1")->text(), Q("閉じる(&C)"));
  EXPECT_EQ(Child<QLabel>(&w, "Label2")->text(), Q("OUTPUT・中間ファイル："));
  EXPECT_EQ(Child<QLabel>(&w, "Label1")->text(), Q("変更定義ファイル："));
  EXPECT_TRUE(Child<QLineEdit>(&w, "Edit3")->isHidden());
  EXPECT_EQ(w.size(), QSize(348, 286));
}

TEST_F(OYubinFixture, EraYearsAcrossTheEraChange) {
  ctx.env.fixedToday = Date{2019, 6, 1};  // a year earlier is still Heisei 30
  TfrmOYubin w(ctx, nullptr);
  auto* year = Child<QComboBox>(&w, "ComboBox1");
  EXPECT_EQ(Items(year), (QStringList{"30", "01", "02"}));
  EXPECT_EQ(year->currentText(), "01");
}

TEST_F(OYubinFixture, SelectionDecidesTheFormAndTheDefinitionControls) {
  TfrmOYubin w(ctx, nullptr);
  auto* edit1 = Child<QLineEdit>(&w, "Edit1");
  auto* edit2 = Child<QLineEdit>(&w, "Edit2");
  auto* edit3 = Child<QLineEdit>(&w, "Edit3");
  auto* button3 = Child<QPushButton>(&w, "Button3");
  auto* label1 = Child<QLabel>(&w, "Label1");
  const QString csv = QP(FixturePath("postal/output.csv"));
  const QString tsv = QP(FixturePath("postal/intermediate.tsv"));

  dialogs.fileAnswers = {csv};
  w.Button2Click();
  EXPECT_EQ(edit3->text(), "CSV");
  EXPECT_EQ(edit1->text(), csv);
  EXPECT_FALSE(button3->isEnabled());
  EXPECT_FALSE(edit2->isEnabled());
  EXPECT_FALSE(label1->isEnabled());

  dialogs.fileAnswers = {tsv};
  w.Button2Click();
  EXPECT_EQ(edit3->text(), "TSV");
  EXPECT_EQ(edit1->text(), tsv);
  EXPECT_TRUE(button3->isEnabled());
  EXPECT_TRUE(edit2->isEnabled());
  EXPECT_TRUE(label1->isEnabled());

  // A cancelled choice and an empty file keep the earlier choice.
  const auto empty = dir / "empty.csv";
  WriteBytes(empty, "");
  dialogs.fileAnswers = {QString(), QP(empty)};
  w.Button2Click();
  w.Button2Click();
  EXPECT_EQ(edit1->text(), tsv);
  EXPECT_EQ(edit3->text(), "TSV");

  const auto plain = dir / "plain.txt";
  WriteBytes(plain, "no separators\r\n");
  dialogs.fileAnswers = {QP(plain)};
  w.Button2Click();
  EXPECT_EQ(edit3->text(), "");
  EXPECT_EQ(edit1->text(), QP(plain));

  const std::string info = "情報: OUTPUTまたは外来様式１中間ファイルを選択します";
  const std::string notOutput = "警告: OUTPUTファイルではありません。";
  EXPECT_EQ(dialogs.MessageLines(), (Strings{info, info, info, notOutput, info, notOutput, info}));

  // With no form the run button does nothing.
  dialogs.messages.clear();
  w.Button1Click();
  EXPECT_TRUE(dialogs.messages.empty());
  // Only the settings file, which remembers the folder of the selection.
  EXPECT_EQ(test::ListFiles(ctx.env.programDir), Strings{"user.ini"});

  dialogs.fileAnswers = {QString()};
  w.Button3Click();
  EXPECT_EQ(edit2->text(), "");
  dialogs.fileAnswers = {"/some/definition.csv"};
  w.Button3Click();
  EXPECT_EQ(edit2->text(), "/some/definition.csv");
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(OYubinFixture, DroppedFilesGoThroughTheChecksOfTheirBox) {
  TfrmOYubin w(ctx, nullptr);
  auto* edit1 = Child<QLineEdit>(&w, "Edit1");
  auto* edit2 = Child<QLineEdit>(&w, "Edit2");
  auto* edit3 = Child<QLineEdit>(&w, "Edit3");
  const QString csv = QP(FixturePath("postal/output.csv"));
  const QString tsv = QP(FixturePath("postal/intermediate.tsv"));
  const auto empty = dir / "empty.csv";
  WriteBytes(empty, "");

  EXPECT_EQ(test::DropFiles(edit1, {tsv}), Qt::CopyAction);
  EXPECT_EQ(edit1->text(), QDir::toNativeSeparators(tsv));  // dropped paths are native
  EXPECT_EQ(edit3->text(), "TSV");
  EXPECT_EQ(test::DropFiles(edit2, {QP(empty)}), Qt::CopyAction);  // no check, as its button
  EXPECT_EQ(edit2->text(), QDir::toNativeSeparators(QP(empty)));
  EXPECT_TRUE(dialogs.messages.empty());

  test::DropFiles(edit1, {QP(empty)});
  EXPECT_EQ(edit1->text(), QDir::toNativeSeparators(tsv));  // dropped paths are native
  EXPECT_EQ(dialogs.MessageLines(), Strings{"警告: OUTPUTファイルではありません。"});

  // An OUTPUT file needs no definition: its box is disabled and takes no drop.
  test::DropFiles(edit1, {csv});
  EXPECT_EQ(edit3->text(), "CSV");
  EXPECT_EQ(test::DropFiles(edit2, {tsv}), Qt::IgnoreAction);
  EXPECT_EQ(edit2->text(), QDir::toNativeSeparators(QP(empty)));
}

TEST_F(OYubinFixture, CsvRunThroughTheShownWindow) {
  TfrmOYubin w(ctx, nullptr);
  QString confirmed;
  dialogs.modalHandlers.push_back([&](QDialog* d) {
    dialogs.fileAnswers = {QP(FixturePath("postal/output.csv"))};
    Child<QPushButton>(d, "Button2")->click();
    EXPECT_FALSE(Child<QPushButton>(d, "Button3")->isEnabled());
    Child<QPushButton>(d, "Button1")->click();
    // A run re-enables the definition controls.
    EXPECT_TRUE(Child<QPushButton>(d, "Button3")->isEnabled());
  });
  dialogs.modalHandlers.push_back(
      [&](QDialog* msg) { confirmed = Child<QLabel>(msg, "Label1")->text(); });
  EXPECT_TRUE(w.DspSet());
  EXPECT_EQ(dialogs.modalTitles, (std::vector<QString>{Q("郵便番号変換"), Q("確認")}));
  EXPECT_EQ(confirmed, Q("202606_postcode.csvが作成されました"));
  EXPECT_EQ(ReadBytes(ctx.env.programDir / "202606_postcode.csv"),
            Fixture("postal/output_202606_postcode.expected"));
  EXPECT_EQ(dialogs.busyDepth, 0);
  EXPECT_GE(dialogs.busyMax, 1);
}

TEST_F(OYubinFixture, TsvRunNeedsTheDefinition) {
  TfrmOYubin w(ctx, nullptr);
  dialogs.fileAnswers = {QP(FixturePath("postal/intermediate.tsv"))};
  w.Button2Click();
  dialogs.messages.clear();
  Child<QLineEdit>(&w, "Edit2")->setText("  ");
  w.Button1Click();
  EXPECT_EQ(dialogs.MessageLines(), Strings{"警告: 変更定義ファイルを選択してください"});
  EXPECT_TRUE(dialogs.modalTitles.empty());

  dialogs.messages.clear();
  Child<QLineEdit>(&w, "Edit2")->setText(QP(FixturePath("postal/definition.csv")));
  w.Button1Click();
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(dialogs.modalTitles, std::vector<QString>{Q("確認")});
  EXPECT_EQ(ReadBytes(ctx.env.programDir / "202606_postcode.csv"),
            Fixture("postal/intermediate_202606_postcode.expected"));
}

TEST_F(OYubinFixture, RunMessagesFromTheBoxes) {
  TfrmOYubin w(ctx, nullptr);
  dialogs.fileAnswers = {QP(FixturePath("postal/output.csv"))};
  w.Button2Click();
  auto* year = Child<QComboBox>(&w, "ComboBox1");
  auto* month = Child<QComboBox>(&w, "ComboBox2");
  struct Case {
    const char* year;
    const char* month;
    std::string message;
  };
  const Case cases[] = {
      {"08", "5", "警告: 対象年月が正しくありません"},
      {"08", "13", "警告: 対象年月が正しくありません"},
      {"ab", "06", "エラー: 'ab' は整数ではありません"},
  };
  for (const auto& c : cases) {
    dialogs.messages.clear();
    year->setEditText(c.year);
    month->setEditText(c.month);
    w.Button1Click();
    EXPECT_EQ(dialogs.MessageLines(), Strings{c.message}) << c.year << "/" << c.month;
  }
  // A path typed after the selection is taken with the selected form.
  dialogs.messages.clear();
  year->setEditText("08");
  month->setEditText("06");
  Child<QLineEdit>(&w, "Edit1")->setText(QP(dir / "missing.csv"));
  w.Button1Click();
  EXPECT_EQ(dialogs.MessageLines(), Strings{"警告: OUTPUTファイルがありません。"});
  EXPECT_TRUE(dialogs.modalTitles.empty());
  EXPECT_EQ(test::ListFiles(ctx.env.programDir), Strings{"user.ini"});  // no output
}

// Each click accounts for itself: a click that writes shows its file and its
// counts; a later click that writes nothing opens no confirmation window.
// Both leave their line in the run history.
TEST_F(OYubinFixture, EachClickAccountsForItself) {
  TfrmOYubin w(ctx, nullptr);
  dialogs.fileAnswers = {QP(FixturePath("postal/output.csv"))};
  w.Button2Click();
  dialogs.messages.clear();
  QString confirmed;
  QString counts;
  dialogs.modalHandlers.push_back([&](QDialog* msg) {
    confirmed = Child<QLabel>(msg, "Label1")->text();
    counts = Child<QLabel>(msg, "Label2")->text();
  });
  w.Button1Click();
  EXPECT_EQ(confirmed, Q("202606_postcode.csvが作成されました"));
  EXPECT_EQ(counts, Q("7行を読み、5行を書き込みました\n"
                      "読み飛ばした行: 2行（患者番号が数字でない）\n"
                      "カンマを全角に置換した値: 1件"));

  Child<QLineEdit>(&w, "Edit1")->setText(QP(dir / "missing.csv"));
  w.Button1Click();
  EXPECT_EQ(dialogs.MessageLines(), Strings{"警告: OUTPUTファイルがありません。"});
  EXPECT_EQ(dialogs.modalTitles, std::vector<QString>{Q("確認")});
  const std::string history = ReadBytes(ctx.env.programDir / PathFromText(kRunHistoryName));
  std::size_t lines = 0;
  for (std::size_t at = history.find("\r\n"); at != std::string::npos;
       at = history.find("\r\n", at + 2))
    ++lines;
  EXPECT_EQ(lines, 3u);  // the title line and one line per click
}

TEST_F(OYubinFixture, Gallery) {
  TfrmOYubin w(ctx, nullptr);
  dialogs.fileAnswers = {QP(FixturePath("postal/intermediate.tsv"))};
  w.Button2Click();
  Child<QLineEdit>(&w, "Edit2")->setText(QP(FixturePath("postal/definition.csv")));
  EXPECT_FALSE(test::SaveGallery(&w, "TfrmOYubin").isEmpty());
}

}  // namespace
}  // namespace tavo::ui

// The main window: remembered mode, position boxes, NIVA check, receipt runs
// and their confirmation window, receipt file selection, and the buttons that
// open the other windows.
#include <QApplication>
#include <memory>

#include "app/TfrmMain.h"
#include "app_fixture.h"
#include "gui_support/drop.h"

namespace tavo::test {
namespace {

const std::string kShaho = Sjis(
    "IR,1,13,1,1234567,,ＮＩＶＡ医院,50612,00,0312345678\r\n"
    "RE,1,1112,50612,患者一,1,3010101,,,,,,,123-4\r\n");
const std::string kKokuho = Sjis(
    "IR,2,13,1,1234567,,ＮＩＶＡ医院,50612,00,0312345678\r\n"
    "RE,1,1112,50612,患者二,1,3010101,,,,,,,567/8\r\n");

class MainWindowTest : public AppTest {
 protected:
  std::unique_ptr<ui::TfrmMain> Open() { return std::make_unique<ui::TfrmMain>(ctx); }
  std::string File(const std::string& name, const std::string& bytes) {
    WriteBytes(tmp / name, bytes);
    return (tmp / name).string();
  }
  static bool Shown(QWidget* w, const char* name) { return !Find<QWidget>(w, name)->isHidden(); }
  static bool PositionsShown(QWidget* w) {
    const bool all =
        Shown(w, "Edit4") && Shown(w, "Edit5") && Shown(w, "Label4") && Shown(w, "Label5");
    const bool none =
        !Shown(w, "Edit4") && !Shown(w, "Edit5") && !Shown(w, "Label4") && !Shown(w, "Label5");
    EXPECT_TRUE(all || none);
    return all;
  }
  // Records what the confirmation window showed and closes it by its close box.
  void ExpectConfirmation(QString* label, QString* caption) {
    dialogs.modalHandlers.push_back([=](QDialog* d) {
      *label = Find<QLabel>(d, "Label1")->text();
      *caption = Find<QPushButton>(d, "Button1")->text();
    });
  }
};

TEST_F(MainWindowTest, ControlsAndCaptions) {
  auto w = Open();
  EXPECT_EQ(w->windowTitle(), U("NIVAサポートツール"));
  EXPECT_EQ(w->size(), QSize(348, 412));
  const std::pair<const char*, const char*> captions[] = {{"Button5", "マニュアル"},
                                                          {"BitBtn1", "閉じる(&C)"},
                                                          {"Button3", "ファイル選択"},
                                                          {"Button1", "レセ電データ匿名化"},
                                                          {"Button2", "レセ電データ枝番除去"},
                                                          {"Button4", "詳細設定"},
                                                          {"Button6", "オプション"}};
  for (const auto& [name, caption] : captions)
    EXPECT_EQ(Find<QPushButton>(w.get(), name)->text(), U(caption)) << name;
  EXPECT_EQ(Find<QLabel>(w.get(), "Label2")->text(), U("社保レセ電データ："));
  EXPECT_EQ(Find<QLabel>(w.get(), "Label3")->text(), U("国保レセ電データ："));
  EXPECT_EQ(Find<QLabel>(w.get(), "Label4")->text(), U("番目から"));
  EXPECT_EQ(Find<QLabel>(w.get(), "Label5")->text(), U("番目"));
  EXPECT_EQ(Find<QLabel>(w.get(), "Label8")->text(), U("Ver.1.1.0.13"));
  auto* combo = Find<QComboBox>(w.get(), "ComboBox1");
  ASSERT_EQ(combo->count(), 2);
  EXPECT_EQ(combo->itemText(0), U("記号「-」「*」「/」より後を除去する"));
  EXPECT_EQ(combo->itemText(1), U("指定の位置の文字以外を除去する"));
  // Top to bottom in this order.
  const char* order[] = {"Button3", "Edit1",     "Edit2", "Button1",
                         "Button2", "ComboBox1", "Edit4", "Button4"};
  for (std::size_t i = 1; i < std::size(order); ++i)
    EXPECT_LT(Find<QWidget>(w.get(), order[i - 1])->y(), Find<QWidget>(w.get(), order[i])->y())
        << order[i];
  EXPECT_LT(Find<QWidget>(w.get(), "Edit4")->x(), Find<QWidget>(w.get(), "Label4")->x());
  EXPECT_LT(Find<QWidget>(w.get(), "Label4")->x(), Find<QWidget>(w.get(), "Edit5")->x());
  EXPECT_LT(Find<QWidget>(w.get(), "Edit5")->x(), Find<QWidget>(w.get(), "Label5")->x());
}

TEST_F(MainWindowTest, ModeComesFromCB1AndIsStoredOnClose) {
  struct Case {
    const char* stored;  // nullptr: no settings file
    int index;
    bool positions;
    const char* storedOnClose;
  };
  const Case cases[] = {
      {nullptr, 0, false, "0"}, {"0", 0, false, "0"},   {"1", 1, true, "1"},
      {"abc", 0, false, "0"},   {"5", -1, false, "-1"}, {"-1", -1, false, "-1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored ? c.stored : "absent");
    fs::remove(env.programDir / "user.ini");
    if (c.stored) SetIni("CB1", c.stored);
    auto w = Open();
    EXPECT_EQ(Find<QComboBox>(w.get(), "ComboBox1")->currentIndex(), c.index);
    EXPECT_EQ(PositionsShown(w.get()), c.positions);
    for (const char* e : {"Edit1", "Edit2", "Edit4", "Edit5"})
      EXPECT_TRUE(Find<QLineEdit>(w.get(), e)->text().isEmpty());
    w->show();
    Click(w.get(), "BitBtn1");
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(Ini("CB1"), c.storedOnClose);
  }
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MainWindowTest, EveryWayOfClosingStoresTheMode) {
  SetIni("CB1", "1");
  {
    auto w = Open();
    w->show();
    Find<QComboBox>(w.get(), "ComboBox1")->setCurrentIndex(0);
    w->close();  // close box
  }
  EXPECT_EQ(Ini("CB1"), "0");
  {
    auto w = Open();
    w->show();
    Find<QComboBox>(w.get(), "ComboBox1")->setCurrentIndex(1);
    w->reject();  // a rejected dialog (Esc no longer closes the main window)
  }
  EXPECT_EQ(Ini("CB1"), "1");
}

TEST_F(MainWindowTest, SwitchingModesKeepsTypedPositions) {
  SetIni("CB1", "1");
  auto w = Open();
  auto* combo = Find<QComboBox>(w.get(), "ComboBox1");
  Find<QLineEdit>(w.get(), "Edit4")->setText("2");
  Find<QLineEdit>(w.get(), "Edit5")->setText("5");
  combo->setCurrentIndex(0);
  EXPECT_FALSE(PositionsShown(w.get()));
  combo->setCurrentIndex(1);
  EXPECT_TRUE(PositionsShown(w.get()));
  EXPECT_EQ(Find<QLineEdit>(w.get(), "Edit4")->text(), "2");
  EXPECT_EQ(Find<QLineEdit>(w.get(), "Edit5")->text(), "5");
}

TEST_F(MainWindowTest, MissingNivaFolderWarnsAndCloses) {
  fs::remove_all(env.nivaDir);
  auto w = Open();
  w->show();
  QApplication::processEvents();
  EXPECT_EQ(dialogs.MessageLines(),
            std::vector<std::string>{
                "警告: NIVAがインストールされていないので、サポートツールを終了します"});
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(Ini("CB1"), "0");
}

TEST_F(MainWindowTest, NivaFolderPresentShowsNothing) {
  auto w = Open();
  w->show();
  QApplication::processEvents();
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(w->isVisible());
  w->close();
}

TEST_F(MainWindowTest, BranchRemovalWithEmptyBoxesReportsTwiceAndConfirmsNothing) {
  auto w = Open();
  Click(w.get(), "Button2");
  EXPECT_EQ(dialogs.MessageLines(), (std::vector<std::string>{"警告: ファイルがありません。",
                                                              "警告: ファイルがありません。"}));
  EXPECT_TRUE(dialogs.modalTitles.empty());
}

TEST_F(MainWindowTest, BranchRemovalHandsBothOutputsToTheConfirmationWindow) {
  auto w = Open();
  Find<QLineEdit>(w.get(), "Edit1")->setText(U(File("shaho.UKE", kShaho)));
  Find<QLineEdit>(w.get(), "Edit2")->setText(U(File("kokuho.UKE", kKokuho)));
  QString label;
  dialogs.modalHandlers.push_back([&](QDialog* d) {
    label = Find<QLabel>(d, "Label1")->text();
    Click(d, "Button1");
  });
  Click(w.get(), "Button2");
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(label, U("社保と国保の枝番除去ファイルが作成されました"));
  EXPECT_EQ(
      ListFiles(env.downloadsDir),
      (std::vector<std::string>{"(50612提出_国保)RECEIPTC.uke", "(50612提出_社保)RECEIPTC.uke"}));
  EXPECT_EQ(ListFiles(env.programDir), std::vector<std::string>{});
  EXPECT_EQ(dialogs.busyDepth, 0);

  // The hand-over is the click's own: failing runs confirm nothing.
  Find<QLineEdit>(w.get(), "Edit1")->clear();
  Find<QLineEdit>(w.get(), "Edit2")->clear();
  dialogs.modalTitles.clear();
  Click(w.get(), "Button1");
  EXPECT_TRUE(dialogs.modalTitles.empty());
}

TEST_F(MainWindowTest, RunThatStopsEndsTheWholeClick) {
  auto w = Open();
  // An RE record without field 14: the index error ends the click.
  Find<QLineEdit>(w.get(), "Edit1")
      ->setText(U(File("short.UKE", Sjis("IR,1,13,1,1234567,,医院,50612\r\nRE,1,1112\r\n"))));
  Find<QLineEdit>(w.get(), "Edit2")->setText(U(File("kokuho.UKE", kKokuho)));
  Click(w.get(), "Button2");
  EXPECT_EQ(dialogs.MessageLines(),
            std::vector<std::string>{"エラー: リストのインデックスが範囲を超えています (13)"});
  EXPECT_TRUE(dialogs.modalTitles.empty());
  EXPECT_TRUE(ListFiles(env.programDir).empty());
}

TEST_F(MainWindowTest, ModeOneTakesThePositionBoxes) {
  SetIni("CB1", "1");
  auto w = Open();
  Find<QLineEdit>(w.get(), "Edit1")->setText(U(File("shaho.UKE", kShaho)));
  Find<QLineEdit>(w.get(), "Edit4")->setText("x");
  Find<QLineEdit>(w.get(), "Edit5")->setText("3");
  dialogs.modalHandlers.push_back(nullptr);
  Click(w.get(), "Button2");
  ASSERT_FALSE(dialogs.messages.empty());
  EXPECT_EQ(dialogs.MessageLines()[0], "警告: 正しい数字を入力して下さい");
}

// ------------------------------------------------------------ file selection

struct SelectionCase {
  const char* name;
  std::string edit1, edit2;    // before the click ("@shaho"/"@kokuho": that file's path)
  std::vector<bool> confirms;  // answers to "新しいレセ電ファイルを選択しますか？"
  std::vector<std::string> files;  // answers of the file dialogs ("" cancels)
  std::vector<std::string> messages;
  std::string after1, after2;
};

class SelectionTest : public MainWindowTest {
 protected:
  SelectionTest() {
    paths["@shaho"] = File("shaho.UKE", kShaho);
    paths["@kokuho"] = File("kokuho.UKE", kKokuho);
    paths["@bom"] = File("bom.UKE", "\xEF\xBB\xBFIR,1,13\r\n");
    paths["@short"] = File("short.UKE", "IR,\r\n1\r\n");
    paths["@empty"] = File("empty.UKE", "");
    paths["@crfirst"] = File("cr.UKE", "IR,1\rIR,2\r");
  }
  QString Path(const std::string& key) {
    auto it = paths.find(key);
    return U(it == paths.end() ? key : it->second);
  }
  std::map<std::string, std::string> paths;
};

TEST_F(SelectionTest, Dialogue) {
  const std::string kAsk = "確認: 新しいレセ電ファイルを選択しますか？";
  const std::string kShahoInfo = "情報: 社保のレセ電データファイルを選択します";
  const std::string kKokuhoInfo = "情報: 国保のレセ電データファイルを選択します";
  const std::string kNotShaho = "警告: 社保のレセ電データではありません。";
  const std::string kNotKokuho = "警告: 国保のレセ電データではありません。";
  const SelectionCase cases[] = {
      {"both chosen",
       "",
       "",
       {},
       {"@shaho", "@kokuho"},
       {kShahoInfo, kKokuhoInfo},
       "@shaho",
       "@kokuho"},
      {"both filled, No", "a", "b", {false}, {}, {kAsk}, "a", "b"},
      {"both filled, Yes, then cancelled",
       "a",
       "b",
       {true},
       {"", ""},
       {kAsk, kShahoInfo, kKokuhoInfo},
       "",
       ""},
      {"both filled, Yes, then chosen",
       "a",
       "b",
       {true},
       {"@shaho", "@kokuho"},
       {kAsk, kShahoInfo, kKokuhoInfo},
       "@shaho",
       "@kokuho"},
      {"only 国保 missing", "a", "", {}, {"@kokuho"}, {kKokuhoInfo}, "a", "@kokuho"},
      {"blank counts as empty",
       " ",
       "",
       {},
       {"@shaho", ""},
       {kShahoInfo, kKokuhoInfo},
       "@shaho",
       ""},
      {"国保 file at the 社保 prompt",
       "",
       "",
       {},
       {"@kokuho", "@kokuho"},
       {kShahoInfo, kNotShaho, kKokuhoInfo},
       "",
       "@kokuho"},
      {"社保 file at the 国保 prompt",
       "",
       "",
       {},
       {"@shaho", "@shaho"},
       {kShahoInfo, kKokuhoInfo, kNotKokuho},
       "@shaho",
       ""},
      {"cancelled 国保 dialog",
       "",
       "",
       {},
       {"@shaho", ""},
       {kShahoInfo, kKokuhoInfo},
       "@shaho",
       ""},
      {"cancelled 社保 dialog",
       "",
       "",
       {},
       {"", "@kokuho"},
       {kShahoInfo, kKokuhoInfo},
       "",
       "@kokuho"},
      {"UTF-8 byte-order mark", "", "x", {}, {"@bom"}, {kShahoInfo}, "@bom", "x"},
      {"short first line", "", "x", {}, {"@short"}, {kShahoInfo, kNotShaho}, "", "x"},
      {"empty file", "", "x", {}, {"@empty"}, {kShahoInfo, kNotShaho}, "", "x"},
      {"first line ends at CR",
       "",
       "",
       {},
       {"@crfirst", "@crfirst"},
       {kShahoInfo, kKokuhoInfo, kNotKokuho},
       "@crfirst",
       ""},
  };
  for (const SelectionCase& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs = ScriptedDialogs();
    auto w = Open();
    auto* edit1 = Find<QLineEdit>(w.get(), "Edit1");
    auto* edit2 = Find<QLineEdit>(w.get(), "Edit2");
    edit1->setText(Path(c.edit1));
    edit2->setText(Path(c.edit2));
    for (bool a : c.confirms) dialogs.confirmAnswers.push_back(a);
    for (const auto& f : c.files) dialogs.fileAnswers.push_back(Path(f));
    Click(w.get(), "Button3");
    EXPECT_EQ(dialogs.MessageLines(), c.messages);
    EXPECT_TRUE(dialogs.fileAnswers.empty());
    EXPECT_EQ(edit1->text(), Path(c.after1));
    EXPECT_EQ(edit2->text(), Path(c.after2));
  }
}

TEST_F(SelectionTest, UnreadableFileIsAnErrorAndTakesNothing) {
  auto w = Open();
  dialogs.fileAnswers = {U((tmp / "gone.UKE").string())};
  Click(w.get(), "Button3");
  ASSERT_EQ(dialogs.messages.size(), 2u);
  EXPECT_EQ(dialogs.messages[1].kind, "エラー");
  EXPECT_TRUE(Find<QLineEdit>(w.get(), "Edit1")->text().isEmpty());
}

TEST_F(SelectionTest, DroppedReceiptFilesFillTheBoxOfTheirKind) {
  paths["@folder"] = Folder("folder");
  struct DropCase {
    const char* name;
    const char* target;  // the control the files are dropped on
    std::vector<std::string> files;
    std::vector<std::string> messages;
    std::string after1, after2;  // the boxes hold "a" and "b" before
  };
  const std::string neither =
      "警告: " + Path("@short").toStdString() + "\n社保・国保のレセ電データではありません。";
  const DropCase cases[] = {
      {"社保 on the 国保 box", "Edit2", {"@shaho"}, {}, "@shaho", "b"},
      {"国保 on a button", "Button1", {"@kokuho"}, {}, "a", "@kokuho"},
      {"both on a label", "Label2", {"@kokuho", "@bom"}, {}, "@bom", "@kokuho"},
      {"one of neither kind", "Edit1", {"@shaho", "@short"}, {neither}, "a", "b"},
      {"two 社保",
       "Edit1",
       {"@shaho", "@bom"},
       {"警告: "
        "社保のレセ電データが2つドロップされました。社保と国保を1つずつドロップしてください。"},
       "a",
       "b"},
      {"three files",
       "Edit2",
       {"@shaho", "@kokuho", "@shaho"},
       {"警告: ドロップできるファイルは2つまでです。"},
       "a",
       "b"},
      {"a folder",
       "ComboBox1",
       {"@kokuho", "@folder"},
       {"警告: フォルダはドロップできません。ファイルをドロップしてください。"},
       "a",
       "b"},
  };
  for (const DropCase& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs = ScriptedDialogs();
    auto w = Open();
    Find<QLineEdit>(w.get(), "Edit1")->setText("a");
    Find<QLineEdit>(w.get(), "Edit2")->setText("b");
    QStringList files;
    for (const auto& f : c.files) files.push_back(Path(f));
    EXPECT_EQ(DropFiles(Find<QWidget>(w.get(), c.target), files), Qt::CopyAction);
    EXPECT_EQ(dialogs.MessageLines(), c.messages);
    EXPECT_EQ(Find<QLineEdit>(w.get(), "Edit1")->text(), Path(c.after1));
    EXPECT_EQ(Find<QLineEdit>(w.get(), "Edit2")->text(), Path(c.after2));
    EXPECT_TRUE(dialogs.fileAnswers.empty());  // no dialog opened
  }
}

TEST_F(SelectionTest, FileDialogsOpenWhereTheLastChoiceWasAfterARestart) {
  SetIni("CB1", "1");
  const QString shaho = U(File("s.UKE", kShaho));
  fs::create_directories(tmp / "k");
  const QString kokuho = U(File("k/k.UKE", kKokuho));
  {
    auto w = Open();
    dialogs.fileAnswers = {shaho, kokuho};
    Click(w.get(), "Button3");
  }
  EXPECT_EQ(dialogs.fileStarts, (std::vector<QString>{QString(), QString()}));
  dialogs = ScriptedDialogs();
  {
    auto w = Open();  // a new window reads user.ini afresh
    dialogs.fileAnswers = {QString(), QString()};
    Click(w.get(), "Button3");
  }
  EXPECT_EQ(dialogs.fileStarts,
            (std::vector<QString>{U(tmp.path().string()), U((tmp / "k").string())}));
  EXPECT_EQ(Ini("CB1"), "1");
  EXPECT_EQ(ToUtf8(IFReadIniStr(env.programDir, u"FOLDERS", u"TfrmMain.Edit2", u"")),
            (tmp / "k").string());
  // A folder that has gone since is not offered.
  fs::remove_all(tmp / "k");
  dialogs = ScriptedDialogs();
  auto w = Open();
  dialogs.fileAnswers = {QString(), QString()};
  Click(w.get(), "Button3");
  EXPECT_EQ(dialogs.fileStarts, (std::vector<QString>{U(tmp.path().string()), QString()}));
}

// ------------------------------------------------------------ other buttons

TEST_F(MainWindowTest, ManualOpensItsAddress) {
  auto w = Open();
  Click(w.get(), "Button5");
  ASSERT_EQ(dialogs.openedUrls.size(), 1u);
  EXPECT_TRUE(dialogs.openedUrls[0].startsWith("https://"));
  EXPECT_TRUE(dialogs.openedUrls[0].endsWith(".pdf"));
  EXPECT_TRUE(dialogs.messages.empty());
  dialogs.openUrlFails = true;
  Click(w.get(), "Button5");
  EXPECT_EQ(dialogs.MessageLines(), std::vector<std::string>{"警告: ファイルを選択します"});
}

TEST_F(MainWindowTest, DetailedSettingsLeadToTheSaveFolderWindow) {
  auto w = Open();
  dialogs.modalHandlers.push_back([](QDialog* d) { Click(d, "Button4"); });
  Click(w.get(), "Button4");
  EXPECT_EQ(dialogs.modalTitles, (std::vector<QString>{U("詳細設定"), U("保存先選択")}));
}

TEST_F(MainWindowTest, LauncherOpensOnTopAndStartsReplaceMode2) {
  auto w = Open();
  QString caption;
  dialogs.modalHandlers.push_back([&](QDialog* d) {
    caption = d->windowTitle();
    Click(d, "Button5");
  });
  dialogs.modalHandlers.push_back([](QDialog* d) {
    EXPECT_STREQ(d->metaObject()->className(), "tavo::ui::TfrmReplace");
    EXPECT_EQ(d->windowTitle(), U("リプレース２"));
  });
  Click(w.get(), "Button6");
  EXPECT_EQ(caption, U("オプション"));
  EXPECT_EQ(dialogs.modalTitles.size(), 2u);
}

}  // namespace
}  // namespace tavo::test

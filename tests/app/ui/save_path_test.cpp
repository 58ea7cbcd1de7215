// The save-folder and detailed-settings windows.
#include <QRadioButton>

#include "app/TfrmSavePath.h"
#include "app/TfrmSyosai.h"
#include "app_fixture.h"
#include "core/files.h"
#include "core/run_history.h"

namespace tavo::test {
namespace {

class SavePathTest : public AppTest {
 protected:
  // Shows the window and runs `steps` on it while it is open.
  void Show(const std::function<void(ui::TfrmSavePath*)>& steps) {
    dialogs.modalHandlers.push_back([&](QDialog* d) { steps(static_cast<ui::TfrmSavePath*>(d)); });
    ui::TfrmSavePath frm(ctx);
    EXPECT_TRUE(frm.DspSet());
  }
  static bool Shown(QWidget* w, const char* name) { return !Find<QWidget>(w, name)->isHidden(); }
  static void Pick(QWidget* w, int item) {
    Find<QRadioButton>(w, item == 0 ? "RadioGroup1Item0" : "RadioGroup1Item1")->click();
  }
};

TEST_F(SavePathTest, Layout) {
  ui::TfrmSavePath frm(ctx);
  EXPECT_EQ(frm.windowTitle(), U("保存先選択"));
  EXPECT_EQ(frm.size(), QSize(317, 159));
  EXPECT_EQ(Find<QRadioButton>(&frm, "RadioGroup1Item0")->text(), U("ダウンロードフォルダ"));
  EXPECT_EQ(Find<QRadioButton>(&frm, "RadioGroup1Item1")->text(), U("保存先指定"));
  EXPECT_EQ(Find<QPushButton>(&frm, "Button1")->text(), U("保存先選択"));
  EXPECT_EQ(Find<QPushButton>(&frm, "BitBtn1")->text(), U("閉じる(&C)"));
}

TEST_F(SavePathTest, OpensOnTheStoredSetting) {
  Show([](ui::TfrmSavePath* w) {
    EXPECT_EQ(w->ItemIndex(), 0);
    EXPECT_FALSE(Shown(w, "Button1"));
    EXPECT_FALSE(Shown(w, "Edit1"));
  });
  const std::string save = Folder("save");
  SetIni("SAVEFDR", save);
  Show([&](ui::TfrmSavePath* w) {
    EXPECT_EQ(w->ItemIndex(), 1);
    EXPECT_TRUE(Shown(w, "Button1"));
    EXPECT_EQ(Find<QLineEdit>(w, "Edit1")->text(), U(save));
  });
  EXPECT_EQ(Ini("SAVEFDR"), save);  // showing writes nothing
}

TEST_F(SavePathTest, ChoosingDownloadsClearsTheSettingAtOnce) {
  SetIni("SAVEFDR", Folder("save"));
  Show([&](ui::TfrmSavePath* w) {
    Pick(w, 0);
    EXPECT_EQ(Ini("SAVEFDR"), "");
    EXPECT_FALSE(Shown(w, "Edit1"));
    // Back to "保存先指定" without a folder choice: the setting stays empty,
    // and so does the box, which never shows a folder that is not in use.
    Pick(w, 1);
    EXPECT_TRUE(Shown(w, "Edit1"));
    EXPECT_TRUE(Find<QLineEdit>(w, "Edit1")->text().isEmpty());
  });
  EXPECT_EQ(Ini("SAVEFDR"), "");
  Show([](ui::TfrmSavePath* w) { EXPECT_EQ(w->ItemIndex(), 0); });
}

TEST_F(SavePathTest, FolderDialogStoresTheChoice) {
  const std::string before = Folder("before");
  const std::string after = Folder("after");
  SetIni("SAVEFDR", before);
  dialogs.folderAnswers = {"", U(after)};
  Show([&](ui::TfrmSavePath* w) {
    Click(w, "Button1");  // cancelled
    EXPECT_EQ(Ini("SAVEFDR"), before);
    EXPECT_EQ(Find<QLineEdit>(w, "Edit1")->text(), U(before));
    Click(w, "Button1");
    EXPECT_EQ(Find<QLineEdit>(w, "Edit1")->text(), U(after));
  });
  EXPECT_EQ(Ini("SAVEFDR"), after);
  EXPECT_EQ(dialogs.folderPrompts,
            std::vector<QString>(2, U("保存先フォルダを指定してＯＫをクリックしてください")));
  EXPECT_EQ(dialogs.folderStarts, (std::vector<QString>{U(before), U(before)}));
}

TEST_F(SavePathTest, WithoutASaveFolderTheDialogStartsAtTheFolderChosenLast) {
  const std::string chosen = Folder("chosen");
  dialogs.folderAnswers = {U(chosen), ""};
  Show([&](ui::TfrmSavePath* w) {
    Pick(w, 1);
    Click(w, "Button1");
    Pick(w, 0);  // back to the Downloads folder: the setting is empty again
  });
  EXPECT_EQ(Ini("SAVEFDR"), "");
  Show([&](ui::TfrmSavePath* w) {
    Pick(w, 1);
    Click(w, "Button1");
  });
  EXPECT_EQ(dialogs.folderStarts, (std::vector<QString>{QString(), U(chosen)}));
  EXPECT_EQ(Ini("SAVEFDR"), "");
}

TEST_F(SavePathTest, SelectingTheOwnFolderItemAloneWritesNothing) {
  Show([](ui::TfrmSavePath* w) { Pick(w, 1); });
  EXPECT_EQ(Ini("SAVEFDR"), "<absent>");
}

TEST_F(SavePathTest, DetailedSettingsWindow) {
  ui::TfrmSyosai frm(ctx);
  EXPECT_EQ(frm.windowTitle(), U("詳細設定"));
  EXPECT_EQ(frm.size(), QSize(355, 173));
  EXPECT_EQ(Find<QPushButton>(&frm, "Button4")->text(), U("保存先設定"));
  EXPECT_EQ(Find<QPushButton>(&frm, "BitBtn1")->text(), U("閉じる(&C)"));
  EXPECT_EQ(Find<QPushButton>(&frm, "Button5")->text(), U("実行履歴を開く"));
}

TEST_F(SavePathTest, TheRunHistoryOpensInTheSystemsProgram) {
  ui::TfrmSyosai frm(ctx);
  Click(&frm, "Button5");
  EXPECT_EQ(dialogs.MessageLines(), std::vector<std::string>{"情報: 実行履歴はまだありません。"});
  EXPECT_TRUE(dialogs.openedUrls.empty());
  const fs::path history = env.programDir / PathFromText(kRunHistoryName);
  WriteBytes(history, "x\r\n");
  Click(&frm, "Button5");
  EXPECT_EQ(dialogs.openedUrls, std::vector<QString>{ui::Q(PathText(history))});
  dialogs.openUrlFails = true;
  Click(&frm, "Button5");
  EXPECT_EQ(dialogs.MessageLines().back(),
            "警告: " + ToUtf8(PathText(history)) + " を開けません。");
}

}  // namespace
}  // namespace tavo::test

// The save-folder and detailed-settings windows.
#include <QRadioButton>

#include "app/TfrmSavePath.h"
#include "app/TfrmSyosai.h"
#include "app_fixture.h"

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
    // the box keeps its text.
    Pick(w, 1);
    EXPECT_TRUE(Shown(w, "Edit1"));
    EXPECT_FALSE(Find<QLineEdit>(w, "Edit1")->text().isEmpty());
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
}

}  // namespace
}  // namespace tavo::test

// The confirmation window and the move of the outputs into the output folder.
#include "ui/TfrmMsg.h"

#include "app_fixture.h"
#include "core/files.h"
#include "gui_support/gallery.h"

namespace tavo::test {
namespace {

const std::string kFirst = Sjis("IR,1,13,1,1234567,,ＮＩＶＡ医院,50612\r\n");
const std::string kSecond = Sjis("IR,2,13,1,1234567,,ＮＩＶＡ医院,50612\r\n");

class MsgTest : public AppTest {
 protected:
  MsgTest() {
    WriteBytes(env.programDir / "a.uke", kFirst);
    WriteBytes(env.programDir / "b.uke", kSecond);
  }
  // Shows a fresh confirmation window for a.uke and b.uke and presses its button;
  // returns whether the window closed.
  bool Press(const char* second = "b.uke") {
    bool closed = false;
    dialogs.modalHandlers.push_back([&](QDialog* d) {
      Click(d, "Button1");
      closed = d->result() == QDialog::Accepted;
    });
    ui::TfrmMsg frm(ctx);
    frm.DspSet(U("作成されました"), "a.uke", U(second));
    return closed;
  }
};

TEST_F(MsgTest, CaptionFollowsTheSaveFolderSetting) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "ダウンロード"}, {"   ", "ダウンロード"}, {"C:\\保存", "保存"}};
  for (const auto& [saveFdr, caption] : cases) {
    SetIni("SAVEFDR", saveFdr);
    ui::TfrmMsg frm(ctx);
    EXPECT_EQ(frm.windowTitle(), U("確認"));
    EXPECT_EQ(frm.size(), QSize(329, 96));
    EXPECT_EQ(Find<QPushButton>(&frm, "Button1")->text(), U(caption)) << saveFdr;
  }
}

TEST_F(MsgTest, LabelShowsTheMessage) {
  QString label;
  dialogs.modalHandlers.push_back([&](QDialog* d) { label = Find<QLabel>(d, "Label1")->text(); });
  ui::TfrmMsg frm(ctx);
  EXPECT_TRUE(frm.DspSet(U("社保と国保の枝番除去ファイルが作成されました"), "a.uke", ""));
  EXPECT_EQ(label, U("社保と国保の枝番除去ファイルが作成されました"));
}

TEST_F(MsgTest, LongNamesCanBeReadWhole) {
  struct Case {
    const char* gallery;
    const char* message;
  };
  const Case cases[] = {
      {"TfrmMsg_long_name",
       "RECEIPTC_2026_10_NIVA_CLINIC_SHAHO_FINAL_CHECKED_ANONYMIZED_1R.UKEが作成されました"},
      {"TfrmMsg_long_japanese_name",
       "外来データ提出用_令和８年１０月分_ＮＩＶＡクリニック_最終確認済み_修正版_carte."
       "csvが作成されました"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.gallery);
    dialogs.modalHandlers.push_back([&](QDialog* d) {
      auto* label = Find<QLabel>(d, "Label1");
      auto* button = Find<QPushButton>(d, "Button1");
      SaveGallery(d, U(c.gallery));
      EXPECT_EQ(label->text(), U(c.message));
      EXPECT_TRUE(ShowsWholeText(label));
      EXPECT_TRUE(d->rect().contains(button->geometry()));
      EXPECT_GE(button->y(), label->geometry().bottom());
      EXPECT_EQ(button->text(), U("ダウンロード"));
      EXPECT_EQ(d->windowTitle(), U("確認"));
    });
    ui::TfrmMsg frm(ctx);
    frm.DspSet(U(c.message), "a.uke", "");
  }
}

TEST_F(MsgTest, DownloadMovesBothIntoTheDownloadsFolder) {
  EXPECT_TRUE(Press());
  EXPECT_EQ(ReadBytes(env.downloadsDir / "a.uke"), kFirst);
  EXPECT_EQ(ReadBytes(env.downloadsDir / "b.uke"), kSecond);
  EXPECT_TRUE(ListFiles(env.programDir).empty());
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MsgTest, SaveMovesIntoTheSaveFolderReplacingOlderFiles) {
  const std::string save = Folder("save");
  WriteBytes(tmp / "save" / "a.uke", "older");
  SetIni("SAVEFDR", save);
  EXPECT_TRUE(Press());
  EXPECT_EQ(ReadBytes(tmp / "save" / "a.uke"), kFirst);
  EXPECT_EQ(ReadBytes(tmp / "save" / "b.uke"), kSecond);
  EXPECT_TRUE(ListFiles(env.downloadsDir).empty());
}

TEST_F(MsgTest, ClinicSubfolderWithSvchg) {
  const std::string save = Folder("save");
  SetIni("SAVEFDR", save);
  SetIni("SVCHG", "1");
  EXPECT_TRUE(Press());
  const fs::path clinic = tmp / "save" / PathFromText(T("1234567_ＮＩＶＡ医院"));
  EXPECT_EQ(ListFiles(clinic), (std::vector<std::string>{"a.uke", "b.uke"}));
}

TEST_F(MsgTest, SvchgWithoutSaveFolderMakesNoSubfolder) {
  SetIni("SVCHG", "1");
  EXPECT_TRUE(Press());
  EXPECT_EQ(ListFiles(env.downloadsDir), (std::vector<std::string>{"a.uke", "b.uke"}));
}

TEST_F(MsgTest, SaveFolderIsReadWhenTheWindowIsCreated) {
  const std::string save = Folder("save");
  dialogs.modalHandlers.push_back([&](QDialog* d) {
    SetIni("SAVEFDR", save);  // too late for this window
    Click(d, "Button1");
  });
  ui::TfrmMsg frm(ctx);
  frm.DspSet("", "a.uke", "b.uke");
  EXPECT_EQ(ListFiles(env.downloadsDir).size(), 2u);
}

TEST_F(MsgTest, EmptySecondNameMovesOnlyTheFirst) {
  EXPECT_TRUE(Press(""));
  EXPECT_EQ(ListFiles(env.downloadsDir), std::vector<std::string>{"a.uke"});
  EXPECT_EQ(ListFiles(env.programDir), std::vector<std::string>{"b.uke"});
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MsgTest, FailedMoveWarnsAndKeepsTheFiles) {
  SetIni("SAVEFDR", (tmp / "removed" / "save").string());
  EXPECT_TRUE(Press());
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].kind, "警告");
  const QString text = dialogs.messages[0].text;
  EXPECT_TRUE(text.contains(U((tmp / "removed" / "save").string())));
  EXPECT_TRUE(text.contains(U((env.programDir / "a.uke").string())));
  EXPECT_TRUE(text.contains(U((env.programDir / "b.uke").string())));
  EXPECT_EQ(ReadBytes(env.programDir / "a.uke"), kFirst);
  EXPECT_EQ(ReadBytes(env.programDir / "b.uke"), kSecond);
}

TEST_F(MsgTest, UnreadableClinicNameKeepsTheWindowOpen) {
  SetIni("SAVEFDR", Folder("save"));
  SetIni("SVCHG", "1");
  WriteBytes(env.programDir / "a.uke", "IR,1,13\r\n");
  EXPECT_FALSE(Press());
  EXPECT_EQ(dialogs.MessageLines(),
            std::vector<std::string>{"エラー: リストのインデックスが範囲を超えています (6)"});
  EXPECT_EQ(ListFiles(env.programDir), (std::vector<std::string>{"a.uke", "b.uke", "user.ini"}));
  EXPECT_TRUE(ListFiles(tmp / "save").empty());
}

TEST_F(MsgTest, ClosingByTheCloseBoxMovesNothing) {
  dialogs.modalHandlers.push_back([](QDialog* d) { d->close(); });
  ui::TfrmMsg frm(ctx);
  EXPECT_TRUE(frm.DspSet("", "a.uke", "b.uke"));
  EXPECT_EQ(ListFiles(env.programDir), (std::vector<std::string>{"a.uke", "b.uke"}));
  EXPECT_TRUE(ListFiles(env.downloadsDir).empty());
}

}  // namespace
}  // namespace tavo::test

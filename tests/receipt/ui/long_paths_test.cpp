// Japanese folder names longer than the classic 260-character limit of
// Windows, through the main window's boxes, the run and the move of the
// outputs into the clinic subfolder of the save folder. Wine knows no such
// limit; on Windows tavo.exe's manifest declares itself long-path aware, which
// takes effect where the system allows long paths.
#include <memory>

#include "app/TfrmMain.h"
#include "app/ui/app_fixture.h"
#include "core/files.h"

namespace tavo::test {
namespace {

const std::string kShaho = Sjis(
    "IR,1,13,1,7654321,,ＮＩＶＡ医院,202604,00,0399998888\r\n"
    "RE,,1112,202604,社保　花子,1,19800101,,,,,,,900/2\r\n");

class LongPaths : public AppTest {
 protected:
  // Six folders of 40 kanji: beyond 260 UTF-16 units on Windows, and each
  // name within the 255 bytes a Linux folder name may have.
  fs::path Deep() {
    std::string name;
    for (int i = 0; i < 8; ++i) name += "レセプト電算";
    fs::path dir = tmp.path();
    for (int i = 0; i < 6; ++i) dir /= fs::path(std::u8string(name.begin(), name.end()) + u8"の" +
                                            std::u8string(1, char8_t('0' + i)));
    fs::create_directories(dir);
    return dir;
  }
};

TEST_F(LongPaths, BranchRemovalMovesIntoTheClinicSubfolder) {
  const fs::path deep = Deep();
  ASSERT_GT(PathText(deep).size(), 260u);
  const fs::path input = deep / fs::path(u8"社保のレセプト.UKE");
  WriteBytes(input, kShaho);
  const fs::path save = deep / fs::path(u8"保存先");
  fs::create_directories(save);
  SetIni("SAVEFDR", ToUtf8(PathText(save)));
  SetIni("SVCHG", "1");

  ui::TfrmMain w(ctx);
  Find<QLineEdit>(&w, "Edit1")->setText(ui::Q(PathText(input)));
  dialogs.modalHandlers.push_back([](QDialog* d) {
    EXPECT_EQ(Find<QPushButton>(d, "Button1")->text(), U("保存"));
    Click(d, "Button1");
  });
  Click(&w, "Button2");

  // Only the empty second box is reported.
  EXPECT_EQ(dialogs.MessageLines(), std::vector<std::string>{"警告: ファイルがありません。"});
  EXPECT_EQ(ReadBytes(save / fs::path(u8"7654321_ＮＩＶＡ医院") /
                      fs::path(u8"(202604提出_社保)RECEIPTC.uke")),
            Sjis("IR,1,13,1,7654321,,ＮＩＶＡ医院,202604,00,0399998888\r\n"
                 "RE,,1112,202604,社保　花子,1,19800101,,,,,,,900\r\n"));
  EXPECT_EQ(ReadBytes(input), kShaho);
  EXPECT_EQ(ListFiles(env.programDir), std::vector<std::string>{"user.ini"});
}

}  // namespace
}  // namespace tavo::test

// The tool launcher.
#include "app/TfrmOption.h"

#include "app_fixture.h"

namespace tavo::test {
namespace {

using OptionTest = AppTest;

struct Tool {
  const char* button;
  const char* caption;
  const char* window;  // class of the window it opens
};
const Tool kTools[] = {
    {"Button1", "NIVAコンバーター", "tavo::ui::TfrmConvert"},
    {"Button3", "NIVAコンバーター２", "tavo::ui::TfrmConvert2"},
    {"Button4", "FF1連携", "tavo::ui::TfrmFF1MergeVCL2"},
    {"Button2", "リプレース", "tavo::ui::TfrmReplace"},
    {"Button5", "リプレース２", "tavo::ui::TfrmReplace"},
    {"Button6", "郵便番号変換", "tavo::ui::TfrmOYubin"},
    {"Button7", "特定健診取込", "tavo::ui::TfrmTokutei"},
};

TEST_F(OptionTest, SevenButtonsInOneColumn) {
  ui::TfrmOption frm(ctx);
  EXPECT_EQ(frm.windowTitle(), U("オプション"));
  EXPECT_EQ(frm.size(), QSize(348, 380));
  EXPECT_EQ(Find<QPushButton>(&frm, "BitBtn1")->text(), U("閉じる(&C)"));
  int lastY = -1;
  for (const Tool& t : kTools) {
    auto* b = Find<QPushButton>(&frm, t.button);
    EXPECT_EQ(b->text(), U(t.caption));
    EXPECT_EQ(b->size(), QSize(153, 41)) << t.button;
    EXPECT_TRUE(b->isEnabled()) << t.button;
    EXPECT_GT(b->y(), lastY) << t.button;
    EXPECT_EQ(b->x(), Find<QPushButton>(&frm, "Button1")->x());
    lastY = b->y();
  }
}

TEST_F(OptionTest, EachButtonOpensAFreshWindowOfItsTool) {
  for (const Tool& t : kTools) {
    SCOPED_TRACE(t.button);
    std::vector<std::string> opened;
    std::vector<bool> fresh;
    auto record = [&](QDialog* d) {
      opened.push_back(d->metaObject()->className());
      fresh.push_back(!d->property("seen").toBool());
      d->setProperty("seen", true);
    };
    dialogs.modalHandlers.push_back([&](QDialog* d) {
      dialogs.modalHandlers.push_back(record);
      Click(d, t.button);
      dialogs.modalHandlers.push_back(record);
      Click(d, t.button);  // the same button again
    });
    ui::TfrmOption frm(ctx);
    EXPECT_TRUE(frm.DspSet("", ""));
    EXPECT_EQ(opened, std::vector<std::string>(2, t.window));
    EXPECT_EQ(fresh, std::vector<bool>(2, true));
  }
}

TEST_F(OptionTest, ReplaceButtonsChooseTheMode) {
  std::vector<QString> captions;
  dialogs.modalHandlers.push_back([&](QDialog* d) {
    for (const char* b : {"Button2", "Button5"}) {
      dialogs.modalHandlers.push_back([&](QDialog* r) { captions.push_back(r->windowTitle()); });
      Click(d, b);
    }
  });
  ui::TfrmOption frm(ctx);
  frm.DspSet("a.UKE", "b.UKE");
  EXPECT_EQ(captions, (std::vector<QString>{U("リプレース"), U("リプレース２")}));
}

}  // namespace
}  // namespace tavo::test

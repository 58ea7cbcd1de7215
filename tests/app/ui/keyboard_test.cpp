// What every window does on the keyboard and where it opens: Tab order, the first focus,
// Enter on buttons and in boxes, Esc, and the position on the screen.
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <functional>
#include <memory>

#include "app/TfrmMain.h"
#include "app/TfrmOption.h"
#include "app/TfrmSavePath.h"
#include "app/TfrmSyosai.h"
#include "app_fixture.h"
#include "checkup/ui/TfrmTokutei.h"
#include "ff1/ui/TfrmFF1MergeVCL2.h"
#include "linkage/ui/TfrmConvert.h"
#include "linkage/ui/TfrmConvert2.h"
#include "postal/ui/TfrmOYubin.h"
#include "replace/ui/TfrmReplace.h"
#include "ui/TfrmMsg.h"

namespace tavo::test {
namespace {

using Names = std::vector<std::string>;

class KeyboardTest : public AppTest {
 protected:
  // The names of the controls that Tab visits from the first focus, once round the window.
  static Names TabStops(QWidget* w) {
    Names names;
    QWidget* start = w->focusWidget();
    if (!start) return names;
    QWidget* at = start;
    do {
      names.push_back(at->objectName().toStdString());
      QTest::keyClick(at, Qt::Key_Tab);
      at = w->focusWidget();
    } while (at && at != start && names.size() < 40);
    return names;
  }
  static std::string Focused(QWidget* w) {
    return w->focusWidget() ? w->focusWidget()->objectName().toStdString() : "<none>";
  }
};

struct WindowCase {
  const char* name;
  std::function<std::unique_ptr<QDialog>(ui::AppContext&)> make;
  Names tabStops;  // from the first focus on, in Tab order
};

template <class W>
std::function<std::unique_ptr<QDialog>(ui::AppContext&)> Make() {
  return [](ui::AppContext& ctx) -> std::unique_ptr<QDialog> { return std::make_unique<W>(ctx); };
}

TEST_F(KeyboardTest, TabGoesTopToBottomAndLeftToRightFromTheFirstWorkingControl) {
  SetIni("CB1", "1");  // the main window with its position boxes shown
  SetIni("SAVEFDR", Folder("save"));
  const WindowCase cases[] = {
      {"TfrmMain",
       Make<ui::TfrmMain>(),
       {"Button3", "Edit1", "Edit2", "Button1", "Button2", "ComboBox1", "Edit4", "Edit5", "Button4",
        "Button6", "Button5", "BitBtn1"}},
      {"TfrmOption",
       Make<ui::TfrmOption>(),
       {"Button1", "Button3", "Button4", "Button2", "Button5", "Button6", "Button7", "BitBtn1"}},
      {"TfrmSyosai", Make<ui::TfrmSyosai>(), {"Button4", "Button5", "BitBtn1"}},
      {"TfrmSavePath",
       Make<ui::TfrmSavePath>(),
       {"RadioGroup1Item1", "Button1", "Edit1", "BitBtn1"}},
      {"TfrmMsg", Make<ui::TfrmMsg>(), {"Button1"}},
      {"TfrmConvert", Make<ui::TfrmConvert>(), {"Button3", "Edit1", "Button1", "BitBtn1"}},
      {"TfrmConvert2",
       Make<ui::TfrmConvert2>(),
       {"Button3", "Edit1", "Button1", "Button5", "BitBtn1"}},
      {"TfrmReplace", Make<ui::TfrmReplace>(), {"Button2", "Edit1", "Edit3", "Button1", "BitBtn1"}},
      {"TfrmFF1MergeVCL2",
       Make<ui::TfrmFF1MergeVCL2>(),
       {"Edit3", "Button3", "Edit4", "Button2", "BitBtn1"}},
      {"TfrmOYubin",
       Make<ui::TfrmOYubin>(),
       {"ComboBox1", "ComboBox2", "Button2", "Edit1", "Button3", "Edit2", "Button1", "BitBtn1"}},
      {"TfrmTokutei",
       Make<ui::TfrmTokutei>(),
       {"ComboBox1", "ComboBox2", "Button3", "Edit2", "Button2", "Edit1", "Button1", "BitBtn1"}},
  };
  for (const WindowCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto w = c.make(ctx);
    w->show();
    EXPECT_EQ(Focused(w.get()), c.tabStops.front());
    EXPECT_EQ(TabStops(w.get()), c.tabStops);
    w->hide();
  }
}

TEST_F(KeyboardTest, ReceiptReplacementStartsOnItsDefinitionButton) {
  std::string focused;
  dialogs.modalHandlers.push_back([&](QDialog* d) {
    d->show();
    focused = Focused(d);
    d->hide();
  });
  ui::TfrmReplace w(ctx);
  w.DspSet(2, U("a.UKE"), U("b.UKE"));
  EXPECT_EQ(focused, "Button4");
}

TEST_F(KeyboardTest, EnterClicksTheFocusedButtonOnly) {
  ui::TfrmMain w(ctx);
  w.show();
  // Enter (main keyboard and keypad) in a box or the combo box starts nothing.
  for (const char* box : {"Edit1", "Edit2", "ComboBox1"}) {
    QWidget* b = Find<QWidget>(&w, box);
    b->setFocus();
    QTest::keyClick(b, Qt::Key_Return);
    QTest::keyClick(b, Qt::Key_Enter, Qt::KeypadModifier);
  }
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(dialogs.modalTitles.empty());
  EXPECT_TRUE(dialogs.openedUrls.empty());
  EXPECT_TRUE(w.isVisible());

  auto* manual = Find<QPushButton>(&w, "Button5");
  manual->setFocus();
  QTest::keyClick(manual, Qt::Key_Return);
  QTest::keyClick(manual, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(dialogs.openedUrls.size(), 2u);

  dialogs.modalHandlers.push_back(nullptr);
  auto* settings = Find<QPushButton>(&w, "Button4");
  settings->setFocus();
  QTest::keyClick(settings, Qt::Key_Return);
  EXPECT_EQ(dialogs.modalTitles, std::vector<QString>{U("詳細設定")});

  // Space still clicks, as before.
  QTest::keyClick(manual, Qt::Key_Space);
  EXPECT_EQ(dialogs.openedUrls.size(), 3u);
}

TEST_F(KeyboardTest, EscLeavesTheMainWindowOpen) {
  ui::TfrmMain w(ctx);
  w.show();
  for (const char* at : {"Edit1", "Button3", "ComboBox1"}) {
    QWidget* c = Find<QWidget>(&w, at);
    c->setFocus();
    QTest::keyClick(c, Qt::Key_Escape);
  }
  QTest::keyClick(&w, Qt::Key_Escape);
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(Ini("CB1"), "<absent>");  // nothing closed, so nothing stored
  Click(&w, "BitBtn1");
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(Ini("CB1"), "0");
}

TEST_F(KeyboardTest, EscClosesToolAndSettingsWindowsAsTheCloseButtonDoes) {
  const WindowCase cases[] = {
      {"TfrmOption", Make<ui::TfrmOption>(), {"Button1"}},
      {"TfrmSyosai", Make<ui::TfrmSyosai>(), {"Button4"}},
      {"TfrmSavePath", Make<ui::TfrmSavePath>(), {"RadioGroup1Item0"}},
      {"TfrmConvert", Make<ui::TfrmConvert>(), {"Edit1"}},
      {"TfrmConvert2", Make<ui::TfrmConvert2>(), {"Edit1"}},
      {"TfrmReplace", Make<ui::TfrmReplace>(), {"Edit3"}},
      {"TfrmFF1MergeVCL2", Make<ui::TfrmFF1MergeVCL2>(), {"Edit3"}},
      {"TfrmOYubin", Make<ui::TfrmOYubin>(), {"ComboBox2"}},
      {"TfrmTokutei", Make<ui::TfrmTokutei>(), {"Edit1"}},
  };
  for (const WindowCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto w = c.make(ctx);
    w->show();
    QWidget* at = Find<QWidget>(w.get(), c.tabStops.front().c_str());
    at->setFocus();
    QTest::keyClick(at, Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->result(), QDialog::Rejected);
  }
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(KeyboardTest, WindowsOpenCentredOnTheScreenNotOnTheirParent) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  ui::TfrmMain main(ctx);
  main.show();
  EXPECT_LE((main.frameGeometry().center() - screen.center()).manhattanLength(), 2);
  main.move(screen.topLeft());
  ui::TfrmOption option(ctx, &main);
  option.show();
  EXPECT_LE((option.frameGeometry().center() - screen.center()).manhattanLength(), 2);
  ui::TfrmConvert convert(ctx, &option);
  convert.show();
  EXPECT_LE((convert.frameGeometry().center() - screen.center()).manhattanLength(), 2);
}

}  // namespace
}  // namespace tavo::test

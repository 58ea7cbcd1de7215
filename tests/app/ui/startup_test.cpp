// Start-up: one copy only (a second start brings the first copy's window to
// the front), the main window, the program's icon on every window, windows
// of a fixed size, the NIVA check ending the program, the program folder that
// cannot be written, and Qt's own Japanese texts.
#include <QApplication>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QSysInfo>
#include <QTimer>
#include <QTranslator>
#include <memory>

#include "app/TfrmMain.h"
#include "app/TfrmOption.h"
#include "app/TfrmSavePath.h"
#include "app/TfrmSyosai.h"
#include "app/single_instance.h"
#include "app/startup.h"
#include "app_fixture.h"
#include "core/files.h"
#include "ui/TfrmMsg.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tavo::test {
namespace {

class StartupTest : public AppTest {
 protected:
  QString LockDir() { return U(Folder("locks")); }
  // RunTavo on the test's application; the application name is put back
  // because the lock file records it.
  int Run() {
    const QString name = QCoreApplication::applicationName();
    const int rc = ui::RunTavo(*qobject_cast<QApplication*>(QCoreApplication::instance()), env,
                               dialogs, LockDir());
    QCoreApplication::setApplicationName(name);
    return rc;
  }
  static ui::TfrmMain* MainWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* m = qobject_cast<ui::TfrmMain*>(w); m && m->isVisible()) return m;
    return nullptr;
  }
};

TEST_F(StartupTest, SecondGuardFailsWhileTheFirstHolds) {
  const QString dir = LockDir();
  {
    ui::SingleInstanceGuard first(ui::kMutexName, dir);
    ASSERT_TRUE(first.acquired());
    ui::SingleInstanceGuard second(ui::kMutexName, dir);
    EXPECT_FALSE(second.acquired());
    EXPECT_TRUE(first.acquired());
  }
  ui::SingleInstanceGuard again(ui::kMutexName, dir);
  EXPECT_TRUE(again.acquired());
}

#ifndef _WIN32
TEST_F(StartupTest, LockOfACrashedCopyIsTakenOver) {
  const QString dir = LockDir();
  // What a copy that ended without unlocking leaves: a process id that no longer runs.
  WriteBytes(tmp / "locks" / "TavoMutex.lock",
             "2147483600\ntavo\n" + QSysInfo::machineHostName().toStdString() + "\n");
  ui::SingleInstanceGuard guard(ui::kMutexName, dir);
  EXPECT_TRUE(guard.acquired());
}
#endif

TEST_F(StartupTest, SecondStartEndsSilently) {
  ui::SingleInstanceGuard first(ui::kMutexName, LockDir());
  ASSERT_TRUE(first.acquired());
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(dialogs.modalTitles.empty());
  EXPECT_EQ(MainWindow(), nullptr);
  EXPECT_TRUE(first.acquired());
  EXPECT_FALSE(fs::exists(env.programDir / "user.ini"));
}

TEST_F(StartupTest, MainWindowRunsUntilItCloses) {
  SetIni("CB1", "1");
  bool seen = false;
  QTimer::singleShot(0, [&] {
    ui::TfrmMain* m = MainWindow();
    ASSERT_NE(m, nullptr);
    seen = true;
    EXPECT_EQ(m->windowTitle(), U("NIVAサポートツール"));
    // While it runs, a second start ends at once.
    ui::SingleInstanceGuard second(ui::kMutexName, LockDir());
    EXPECT_FALSE(second.acquired());
    Find<QComboBox>(m, "ComboBox1")->setCurrentIndex(0);
    m->close();
  });
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(seen);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(Ini("CB1"), "0");
  ui::SingleInstanceGuard after(ui::kMutexName, LockDir());
  EXPECT_TRUE(after.acquired());
}

#ifdef _WIN32
TEST_F(StartupTest, SecondStartBringsTheFirstCopysWindowBackAndEnds) {
  // A plain window stands for the first copy's main window, minimized.
  const HWND first = CreateWindowExW(0, L"STATIC", L"NIVAサポートツール", WS_OVERLAPPEDWINDOW,
                                     0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  // Wine without a display makes no window (the GUI tests run on Qt's offscreen
  // platform); under Xvfb it does.
  if (!first) GTEST_SKIP() << "no window can be made here (no display)";
  ShowWindow(first, SW_SHOWMINIMIZED);
  ASSERT_TRUE(IsIconic(first));
  ui::SingleInstanceGuard guard(ui::kMutexName, LockDir());
  ASSERT_TRUE(guard.acquired());
  guard.PublishWindow(reinterpret_cast<WId>(first));
  EXPECT_EQ(Run(), 0);
  EXPECT_FALSE(IsIconic(first));
  EXPECT_TRUE(IsWindowVisible(first));
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(MainWindow(), nullptr);
  DestroyWindow(first);
  // With the window gone, a second start ends as before.
  EXPECT_EQ(Run(), 0);
}
#endif

// Every window of the program shows its icon, and none can be resized.
TEST_F(StartupTest, EveryWindowHasTheProgramsIconAndAFixedSize) {
  const bool hasIcon = !ui::ProgramIcon().isNull();
  QTimer::singleShot(0, [&] {
    ui::TfrmMain* m = MainWindow();
    ASSERT_NE(m, nullptr);
    std::vector<std::unique_ptr<QWidget>> others;
    others.emplace_back(new ui::TfrmMsg(ctx, m));
    others.emplace_back(new ui::TfrmOption(ctx, m));
    others.emplace_back(new ui::TfrmSyosai(ctx, m));
    others.emplace_back(new ui::TfrmSavePath(ctx, m));
    std::vector<QWidget*> windows{m};
    for (const auto& w : others) windows.push_back(w.get());
    for (QWidget* w : windows) {
      SCOPED_TRACE(w->windowTitle().toStdString());
      // The icon of the executable, where it has one (Windows).
      if (hasIcon) {
        EXPECT_FALSE(w->windowIcon().isNull());
        EXPECT_EQ(w->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
      }
      EXPECT_TRUE(w->windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint));
      EXPECT_EQ(w->minimumSize(), w->maximumSize());
    }
    m->close();
  });
  EXPECT_EQ(Run(), 0);
#ifdef _WIN32
  EXPECT_TRUE(hasIcon);
  EXPECT_TRUE(ui::ProgramIcon().availableSizes().contains(QSize(16, 16)));
  EXPECT_TRUE(ui::ProgramIcon().availableSizes().contains(QSize(32, 32)));
#endif
}

TEST_F(StartupTest, MissingNivaFolderEndsTheProgramAfterTheWarning) {
  fs::remove_all(env.nivaDir);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(dialogs.MessageLines(),
            std::vector<std::string>{
                "警告: NIVAがインストールされていないので、サポートツールを終了します"});
  EXPECT_EQ(MainWindow(), nullptr);
}

TEST_F(StartupTest, ProgramFolderThatCannotBeWrittenIsNamedBeforeTheMainWindow) {
  // A file where the folder should be refuses every new file, even to root
  // and under Wine, where folder permissions do not hold.
  env.programDir = tmp / "Program Files" / "Tavo";
  fs::create_directories(env.programDir.parent_path());
  WriteBytes(env.programDir, "");
  std::vector<std::string> shownFirst;
  QTimer::singleShot(0, [&] {
    shownFirst = dialogs.MessageLines();
    if (ui::TfrmMain* m = MainWindow()) m->close();
  });
  EXPECT_EQ(Run(), 0);
  const std::string expected =
      "警告: プログラムのフォルダーに書き込めません：\n" +
      ToUtf8(PathText(env.programDir)) +
      "\n\n出力ファイルと設定（user.ini）はこのフォルダーに書き込まれるため、"
      "このままでは処理ができません。\n"
      "プログラムのフォルダーごと、書き込みのできる場所（Program Files の下ではない、"
      "ドキュメントやデスクトップなど）へ移してから起動し直してください。";
  EXPECT_EQ(shownFirst, std::vector<std::string>{expected});
  EXPECT_EQ(dialogs.MessageLines(), std::vector<std::string>{expected});
}

TEST_F(StartupTest, WritableProgramFolderStartsWithoutWarning) {
  QTimer::singleShot(0, [&] {
    if (ui::TfrmMain* m = MainWindow()) m->close();
  });
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(dialogs.messages.empty());
}

class QtJapaneseTest : public AppTest {
 protected:
  ~QtJapaneseTest() override {
    if (translator) QCoreApplication::removeTranslator(translator);
    delete translator;
  }
  QTranslator* translator = nullptr;
};

TEST_F(QtJapaneseTest, LoadedFromTheProgramFolder) {
  ASSERT_TRUE(fs::copy_file(fs::path(TAVO_QTBASE_JA_QM), env.programDir / "qtbase_ja.qm"));
  translator = ui::InstallQtJapanese(*QCoreApplication::instance(), ui::Q(PathText(env.programDir)));
  ASSERT_NE(translator, nullptr);
  // The edit boxes' context menu.
  EXPECT_NE(QCoreApplication::translate("QLineEdit", "&Undo"), U("&Undo"));
  EXPECT_NE(QCoreApplication::translate("QLineEdit", "Select All"), U("Select All"));
}

TEST_F(QtJapaneseTest, QtsOwnFolderWhenTheProgramFolderHasNone) {
  translator = ui::InstallQtJapanese(*QCoreApplication::instance(), ui::Q(PathText(env.programDir)));
#ifdef _WIN32
  // The Windows Qt the tests run against carries no translations: on Windows
  // the file ships beside the program only.
  EXPECT_EQ(translator, nullptr);
#else
  ASSERT_NE(translator, nullptr);
  EXPECT_EQ(translator->filePath(),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath) + U("/qtbase_ja.qm"));
#endif
}

}  // namespace
}  // namespace tavo::test

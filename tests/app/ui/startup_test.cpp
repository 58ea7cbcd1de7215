// Start-up: one copy only, the main window, and the NIVA check ending the program.
#include <QApplication>
#include <QSysInfo>
#include <QTimer>

#include "app/TfrmMain.h"
#include "app/single_instance.h"
#include "app/startup.h"
#include "app_fixture.h"

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

TEST_F(StartupTest, MissingNivaFolderEndsTheProgramAfterTheWarning) {
  fs::remove_all(env.nivaDir);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(dialogs.MessageLines(),
            std::vector<std::string>{
                "警告: NIVAがインストールされていないので、サポートツールを終了します"});
  EXPECT_EQ(MainWindow(), nullptr);
}

}  // namespace
}  // namespace tavo::test

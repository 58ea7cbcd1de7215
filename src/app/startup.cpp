#include "app/startup.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QLibraryInfo>
#include <QPixmap>
#include <QTranslator>

#ifdef _WIN32
#include <windows.h>
#endif

#include "app/TfrmMain.h"
#include "app/single_instance.h"
#include "core/files.h"

namespace tavo::ui {

int RunTavo(QApplication& app, const Env& env, IDialogs& dialogs, const QString& lockDir) {
  SingleInstanceGuard guard(QString::fromLatin1(kMutexName), lockDir);
  if (!guard.acquired()) {
    // Staff who minimized the window would think the program did not start.
    guard.BringFirstToFront();
    return 0;
  }

  app.setApplicationName(QStringLiteral("Tavo"));
  // Once for the application: every window shows it, the tool windows and messages too.
  if (const QIcon icon = ProgramIcon(); !icon.isNull()) app.setWindowIcon(icon);
  // Every output and user.ini are written beside the program: say so once now
  // rather than let every run fail on its own later.
  if (!FolderWritable(env.programDir)) dialogs.Warning(nullptr, ProgramFolderNotWritableText(env));
  AppContext ctx{env, dialogs};
  TfrmMain frmMain(ctx);
  QObject::connect(&frmMain, &QDialog::finished, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  frmMain.show();
  guard.PublishWindow(frmMain.winId());
  return app.exec();
}

QIcon ProgramIcon() {
  QIcon icon;
#ifdef _WIN32
  // The icon of the executable (its resource IDI_ICON1), in the sizes it holds.
  for (int size : {16, 24, 32, 48, 64, 256}) {
    const HICON h = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), L"IDI_ICON1", IMAGE_ICON, size, size, 0));
    if (!h) continue;
    icon.addPixmap(QPixmap::fromImage(QImage::fromHICON(h)));
    DestroyIcon(h);
  }
#endif
  return icon;
}

QTranslator* InstallQtJapanese(QCoreApplication& app, const QString& programDir) {
  auto* translator = new QTranslator(&app);
  const QString name = QStringLiteral("qtbase_ja");
  if (translator->load(name, programDir) ||
      translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    app.installTranslator(translator);
    return translator;
  }
  delete translator;
  return nullptr;
}

QString ProgramFolderNotWritableText(const Env& env) {
  return Q(T("プログラムのフォルダーに書き込めません：\n") + PathText(env.programDir) +
           T("\n\n出力ファイルと設定（user.ini）はこのフォルダーに書き込まれるため、"
             "このままでは処理ができません。\n"
             "プログラムのフォルダーごと、書き込みのできる場所（Program Files の下ではない、"
             "ドキュメントやデスクトップなど）へ移してから起動し直してください。"));
}

}  // namespace tavo::ui

#include "app/startup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/TfrmMain.h"
#include "app/single_instance.h"
#include "core/files.h"

namespace tavo::ui {

int RunTavo(QApplication& app, const Env& env, IDialogs& dialogs, const QString& lockDir) {
  SingleInstanceGuard guard(QString::fromLatin1(kMutexName), lockDir);
  if (!guard.acquired()) return 0;

  app.setApplicationName(QStringLiteral("Tavo"));
  // Every output and user.ini are written beside the program: say so once now
  // rather than let every run fail on its own later.
  if (!FolderWritable(env.programDir)) dialogs.Warning(nullptr, ProgramFolderNotWritableText(env));
  AppContext ctx{env, dialogs};
  TfrmMain frmMain(ctx);
  QObject::connect(&frmMain, &QDialog::finished, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  frmMain.show();
  return app.exec();
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

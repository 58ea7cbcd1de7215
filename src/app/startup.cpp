#include "app/startup.h"

#include <QApplication>

#include "app/TfrmMain.h"
#include "app/single_instance.h"

namespace tavo::ui {

int RunTavo(QApplication& app, const Env& env, IDialogs& dialogs, const QString& lockDir) {
  SingleInstanceGuard guard(QString::fromLatin1(kMutexName), lockDir);
  if (!guard.acquired()) return 0;

  app.setApplicationName(QStringLiteral("Tavo"));
  AppContext ctx{env, dialogs};
  TfrmMain frmMain(ctx);
  QObject::connect(&frmMain, &QDialog::finished, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  frmMain.show();
  return app.exec();
}

}  // namespace tavo::ui

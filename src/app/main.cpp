// The windowed program.
#include <QApplication>

#include "ui/app_context.h"
#include "ui/qt_dialogs.h"
#include "app/startup.h"
#include "core/env.h"
#include "core/files.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const tavo::Env env = tavo::DetectEnv();
  tavo::ui::InstallQtJapanese(app, tavo::ui::Q(tavo::PathText(env.programDir)));
  tavo::ui::QtDialogs dialogs;
  return tavo::ui::RunTavo(app, env, dialogs);
}

// The windowed program.
#include <QApplication>

#include "ui/qt_dialogs.h"
#include "app/startup.h"
#include "core/env.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  tavo::ui::QtDialogs dialogs;
  return tavo::ui::RunTavo(app, tavo::DetectEnv(), dialogs);
}

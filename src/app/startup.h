// Start-up of the windowed program.
#pragma once

#include <QIcon>
#include <QString>

#include "ui/dialogs.h"
#include "core/env.h"

class QApplication;
class QCoreApplication;
class QTranslator;

namespace tavo::ui {

// One copy only (a second start brings the first copy's window to the front
// and ends without a word), application title "Tavo", the program's icon for
// every window, a warning when the program folder cannot be written, the main
// window, and the event loop until the main window closes.
// `lockDir` is where the single-instance lock lies on systems without named
// mutexes (the temporary folder when empty). Returns the exit code.
int RunTavo(QApplication& app, const Env& env, IDialogs& dialogs,
            const QString& lockDir = QString());

// Installs Qt's own Japanese texts (qtbase_ja.qm: edit boxes' context menu,
// standard dialogs), from the program folder, else from Qt's translations
// folder. Returns the installed translator (owned by `app`), null when none was found.
QTranslator* InstallQtJapanese(QCoreApplication& app, const QString& programDir);

// The program's icon: the executable's own (Windows); none elsewhere.
QIcon ProgramIcon();

// The warning shown when the program folder cannot be written.
QString ProgramFolderNotWritableText(const Env& env);

}  // namespace tavo::ui

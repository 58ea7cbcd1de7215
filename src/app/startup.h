// Start-up of the windowed program.
#pragma once

#include <QString>

#include "ui/dialogs.h"
#include "core/env.h"

class QApplication;

namespace tavo::ui {

// One copy only (silent end when another runs), application title "Tavo",
// the main window, and the event loop until the main window closes.
// `lockDir` is where the single-instance lock lies on systems without named
// mutexes (the temporary folder when empty). Returns the exit code.
int RunTavo(QApplication& app, const Env& env, IDialogs& dialogs,
            const QString& lockDir = QString());

}  // namespace tavo::ui

// What every window receives: the environment and the dialog interface.
#pragma once

#include <QString>

#include "ui/dialogs.h"
#include "core/env.h"
#include "core/result.h"
#include "core/text.h"

namespace tavo::ui {

struct AppContext {
  Env env;
  IDialogs& dialogs;
};

inline QString Q(TextView t) {
  return QString::fromUtf16(t.data(), static_cast<qsizetype>(t.size()));
}
inline QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
inline Text FromQ(const QString& s) { return s.toStdU16String(); }

// Shows the run's messages in order through the dialog interface.
void ShowMessages(IDialogs& dialogs, QWidget* parent, const RunResult& result);

// The font of every window: "Segoe UI" where the platform has it, else a Japanese UI font.
void ApplyWindowFont(QWidget* window);

// Fixes the client size of a window (windows of this program are not resizable).
void SetClientSize(QWidget* window, int width, int height);

}  // namespace tavo::ui

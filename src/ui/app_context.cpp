#include "ui/app_context.h"

#include <QFontDatabase>
#include <QWidget>

namespace tavo::ui {

void ShowMessages(IDialogs& dialogs, QWidget* parent, const RunResult& result) {
  for (const auto& m : result.messages) {
    switch (m.kind) {
      case MsgKind::Warning:
        dialogs.Warning(parent, Q(m.text));
        break;
      case MsgKind::Info:
        dialogs.Info(parent, Q(m.text));
        break;
      case MsgKind::Error:
        dialogs.Error(parent, Q(m.text));
        break;
    }
  }
}

void ApplyWindowFont(QWidget* window) {
  static const QString family = [] {
    const QStringList families = QFontDatabase::families();
    for (const char* name : {"Segoe UI", "Yu Gothic UI", "Meiryo UI", "Noto Sans CJK JP",
                             "Noto Sans JP", "IPAGothic", "VL Gothic"}) {
      if (families.contains(QString::fromLatin1(name))) return QString::fromLatin1(name);
    }
    return QString();
  }();
  if (family.isEmpty()) return;
  QFont f = window->font();
  f.setFamily(family);
  window->setFont(f);
}

void SetClientSize(QWidget* window, int width, int height) { window->setFixedSize(width, height); }

}  // namespace tavo::ui

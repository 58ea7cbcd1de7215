// Dropping files on a control as the file manager does, for GUI tests.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace tavo::test {

// Drags `paths` (local files or folders) over `target`, drops them and lets the window handle
// the drop. Returns the action the target took: Qt::IgnoreAction when it refused the drag.
Qt::DropAction DropFiles(QWidget* target, const QStringList& paths);

}  // namespace tavo::test

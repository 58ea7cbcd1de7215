// Renders a window to <build>/gallery/<name>.png so it can be looked at without a display.
#pragma once

#include <QString>

class QWidget;

namespace tavo::test {

// Shows the window (offscreen), renders it and saves the picture; returns its path.
QString SaveGallery(QWidget* window, const QString& name);

}  // namespace tavo::test

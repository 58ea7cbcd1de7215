// Renders a window to <build>/gallery/<name>.png so it can be looked at without a display.
#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace tavo::test {

// Shows the window (offscreen), renders it and saves the picture; returns its path.
QString SaveGallery(QWidget* window, const QString& name);

// True when the label's text, wrapped as the label wraps it, fits inside the label and the
// label inside its window: nothing of the text is cut off.
bool ShowsWholeText(const QLabel* label);

}  // namespace tavo::test

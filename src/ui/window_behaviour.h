// What every window does the way Windows users expect: Tab order, first focus, Enter and Esc,
// the position on the screen, and files dropped from the file manager.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "ui/app_context.h"

class QDialog;
class QLineEdit;
class QWidget;

namespace tavo::ui {

// What Esc does on a window.
enum class EscKey {
  Closes,   // closes the window as its close button does (tool and settings windows)
  Ignored,  // nothing: the main window ends the program only through its close button or box
};

// Keyboard, focus and position of a window whose controls are all made: Tab goes through the
// controls top to bottom and left to right as they stand in the window; the focus starts on
// `first` (or, while that is hidden, on the next control after it); Enter clicks the focused
// push button and starts nothing elsewhere; Esc acts as `esc` says; the window opens centred
// on the screen.
void FinishWindow(QDialog* window, QWidget* first, EscKey esc = EscKey::Closes);

// Lets `target` take files dropped from the file manager. Once the drop has ended, `take` gets
// their paths; a folder among them, or more than `maxFiles` files, is refused with a warning
// and `take` is not called. The edit boxes inside `target` hand file drops on to it as well,
// so that a whole window can be the target.
void TakeDroppedFiles(AppContext& ctx, QWidget* target, int maxFiles,
                      std::function<void(const QStringList&)> take);
// One file dropped on a path box.
void TakeDroppedFile(AppContext& ctx, QWidget* box, std::function<void(const QString&)> take);
// A dropped file goes into the box as it is, as its selection button would put it there.
void TakeDroppedFileInto(AppContext& ctx, QLineEdit* box);

}  // namespace tavo::ui

// Small builders for the controls of the tool windows, so that every window
// sets object names, captions, geometry and focus behaviour the same way.
#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <utility>

#include "ui/app_context.h"
#include "core/dates.h"

class QComboBox;
class QDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tavo::ui {

// Caption, title bar with close button only (plus `kind`'s own flags), window font and
// fixed client size.
void InitToolWindow(QDialog* window, const char* caption, int width, int height,
                    Qt::WindowFlags kind = Qt::Dialog);

// A push button that never becomes the default: Enter in an edit box must not start a run
// (Enter on the focused button itself clicks it, see FinishWindow in ui/window_behaviour.h).
QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, const QRect& rect);
QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, const QRect& rect);
QLineEdit* MakeEdit(QWidget* parent, const char* name, const QRect& rect);
// Editable combo box for digits: the input method stays closed.
QComboBox* MakeDigitCombo(QWidget* parent, const char* name, const QRect& rect);

QString TwoDigits(int n);

// The panel "Panel1" of era year and month combo boxes of the postal and checkup windows:
// ComboBox1 "年" ComboBox2 "月", months 01 to 12.
void MakeYearMonthPanel(QWidget* parent, QFrame*& panel, QComboBox*& year, QLabel*& yearLabel,
                        QComboBox*& month, QLabel*& monthLabel);
// Last, this and next era year to choose from; this year and month shown.
void ResetYearMonth(QComboBox* year, QComboBox* month, const Date& today);

// Runs `run` under the busy cursor and returns its result; the cursor is back before any
// message box shows.
template <class F>
auto RunBusy(IDialogs& dialogs, F&& run) {
  BusyCursor busy(dialogs);
  return std::forward<F>(run)();
}

// The run's counts as the confirmation window shows them.
QStringList CountLines(const RunResult& result);

// The run's line in the run history, its messages, then the confirmation window
// when it wrote its outputs.
void ReportRun(AppContext& ctx, QWidget* parent, const RunResult& result);

// The file dialog of the path box `box`: it opens in the folder last used for that box and
// remembers the folder of the chosen file (user.ini, section "FOLDERS", one key per box).
QString OpenFileFor(AppContext& ctx, QWidget* parent, const QWidget* box);
// The folder dialog of `box`: starts at `startDir`, or when that is blank at the folder last
// chosen for the box, and remembers the chosen folder.
QString SelectFolderFor(AppContext& ctx, QWidget* parent, const QWidget* box, const QString& prompt,
                        const QString& startDir);

// Optional prompt, file dialog, and the chosen path into `edit` unless cancelled.
QString ChooseFileInto(AppContext& ctx, QWidget* parent, QLineEdit* edit,
                       const char* prompt = nullptr);

}  // namespace tavo::ui

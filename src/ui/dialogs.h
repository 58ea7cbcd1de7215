// Every message box, file dialog, folder dialog, modal show, busy cursor and
// shell launch of the windows goes through this one interface, so that each
// handler runs in tests with scripted answers.
#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace tavo::ui {

class IDialogs {
 public:
  virtual ~IDialogs() = default;

  // Message boxes with the single button "OK": titles "警告", "情報", "エラー".
  virtual void Warning(QWidget* parent, const QString& text) = 0;
  virtual void Info(QWidget* parent, const QString& text) = 0;
  virtual void Error(QWidget* parent, const QString& text) = 0;
  // "確認" with "はい(&Y)" / "いいえ(&N)"; true for Yes.
  virtual bool Confirm(QWidget* parent, const QString& text) = 0;

  // File-open dialog without filter, opening in `startDir` (where the platform likes when
  // empty); the path with the platform's separators, empty when cancelled.
  virtual QString OpenFile(QWidget* parent, const QString& startDir = QString()) = 0;
  // Folder-selection dialog with a prompt and a start folder; empty when cancelled.
  virtual QString SelectFolder(QWidget* parent, const QString& prompt, const QString& startDir) = 0;

  // Shows the window modally and returns when it has closed.
  virtual int ShowModal(QDialog* dialog) = 0;

  // Busy cursor on/off (nested calls balance).
  virtual void SetBusy(bool busy) = 0;

  // Hands a document name or web address to the platform shell; false on failure.
  virtual bool OpenUrl(const QString& url) = 0;
};

// RAII busy cursor.
class BusyCursor {
 public:
  explicit BusyCursor(IDialogs& d) : d_(d) { d_.SetBusy(true); }
  ~BusyCursor() { d_.SetBusy(false); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  IDialogs& d_;
};

}  // namespace tavo::ui

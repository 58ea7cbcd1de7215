// The real dialogs of the windowed program.
#pragma once

#include "ui/dialogs.h"

namespace tavo::ui {

class QtDialogs : public IDialogs {
 public:
  void Warning(QWidget* parent, const QString& text) override;
  void Info(QWidget* parent, const QString& text) override;
  void Error(QWidget* parent, const QString& text) override;
  bool Confirm(QWidget* parent, const QString& text) override;
  QString OpenFile(QWidget* parent, const QString& startDir) override;
  QString SelectFolder(QWidget* parent, const QString& prompt, const QString& startDir) override;
  int ShowModal(QDialog* dialog) override;
  void SetBusy(bool busy) override;
  bool OpenUrl(const QString& url) override;
};

}  // namespace tavo::ui

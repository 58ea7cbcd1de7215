// The real dialogs of the windowed program.
#pragma once

#include <QMessageBox>
#include <memory>

#include "ui/dialogs.h"

namespace tavo::ui {

// `text` with a line break allowed after every path separator, so that a message box can show
// a long path whole, over several lines, instead of cutting it.
QString PathsMayWrap(const QString& text);

// The box that Warning, Info and Error show ("OK" only), not yet shown.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, QMessageBox::Icon icon,
                                            const QString& title, const QString& text);

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

// The confirmation window: shows what a conversion wrote and moves the
// outputs from the program folder into the output folder.
#pragma once

#include <QDialog>
#include <QStringList>

#include "ui/app_context.h"

class QLabel;
class QPushButton;

namespace tavo::ui {

class TfrmMsg : public QDialog {
  Q_OBJECT

 public:
  TfrmMsg(AppContext& ctx, QWidget* parent = nullptr);
  void InitSet();
  bool DspSet(const QString& pstMsg, const QString& pstFile1, const QString& pstFile2);
  // The same, with the run's counts shown under the message (Label2).
  bool DspSet(const QString& pstMsg, const QString& pstFile1, const QString& pstFile2,
              const QStringList& counts);

 public slots:
  void Button1Click();

 private:
  // Sizes the label and the window so that the whole message can be read.
  void FitToMessage();

  AppContext& ctx_;
  QString gstMsg;
  QString gstFile1;
  QString gstFile2;
  QString gstPath;  // "SAVEFDR" as it was when the window was created

  QLabel* Label1;
  QLabel* Label2;  // the counts, one per line; hidden when there are none
  QPushButton* Button1;
};

}  // namespace tavo::ui

// The replacement window: rewrites patient numbers in an outpatient file
// (mode 1) or in the two receipt files of the main window (mode 2) after a
// change-definition file.
#pragma once

#include <QDialog>
#include <vector>

#include "ui/app_context.h"
#include "replace/replace_ops.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tavo::ui {

class TfrmReplace : public QDialog {
  Q_OBJECT

 public:
  TfrmReplace(AppContext& ctx, QWidget* parent = nullptr);
  void InitSet();
  bool DspSet(int pinKbn, const QString& pstFile, const QString& pstFile2);

 public slots:
  void Button1Click();
  void Button2Click();
  void Button4Click();

 private:
  // One run's line in the run history, its messages, then its confirmation
  // window when it wrote its file.
  void Report(const RunResult& result);
  // File dialog and acceptance check of a change-definition file.
  void SelectDefinition();
  // The acceptance checks after the file dialogs (empty when cancelled); also for dropped files.
  void AcceptDefinition(const QString& chosen);
  void AcceptInput(const QString& chosen);
  // Mode 2: true when both receipt files of the main window are there; else warns which is missing.
  bool ReceiptFilesChosen();

  AppContext& ctx_;
  int minKbn = 1;
  QString mstFile1;
  QString mstFile2;
  std::vector<Text> FList;
  replace::NumberMap map_;  // mlsList / mlsList2, reloaded at every run
  // Lines of the change-definition file chosen last (acceptance check).
  std::vector<Text> mlsDefLines;

  QPushButton* BitBtn1;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button4;
  QLabel* Label1;
  QLabel* Label2;
  QLineEdit* Edit1;
  QLineEdit* Edit3;
};

}  // namespace tavo::ui

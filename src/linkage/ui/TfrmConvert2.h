// Converter 2, "NIVAコンバーター２": the EHR linkage CSV from an outpatient file
// in the layout of its consultation month, and the anonymizer of that file.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "ui/app_context.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tavo::ui {

class TfrmConvert2 : public QDialog {
  Q_OBJECT

 public:
  TfrmConvert2(AppContext& ctx, QWidget* parent = nullptr);
  void InitSet();
  bool DspSet();

 public slots:
  void Button1Click();
  void Button3Click();
  void Button5Click();

 private:
  // What follows the file dialog (empty when cancelled), and what a dropped file goes through.
  void SelectInput(const QString& chosen);
  // Messages, then the confirmation window when the run wrote its file.
  void Report(const RunResult& result);

  AppContext& ctx_;
  // Lines of the last selection. The year-month is read again from the file at each
  // conversion: the path in the box may have been typed since.
  std::vector<Text> FList;

  QPushButton* BitBtn1;
  QPushButton* Button3;
  QLabel* Label2;
  QLineEdit* Edit1;
  QPushButton* Button1;
  QPushButton* Button5;
};

}  // namespace tavo::ui

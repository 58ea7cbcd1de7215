// The postal-code conversion window: picks an OUTPUT file or an outpatient
// form-1 intermediate file (with its definition file) and a target month, and
// writes the postal-code file.
#pragma once

#include <QDialog>
#include <vector>

#include "ui/app_context.h"
#include "postal/postal_ops.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tavo::ui {

class TfrmOYubin : public QDialog {
  Q_OBJECT

 public:
  TfrmOYubin(AppContext& ctx, QWidget* parent = nullptr);
  void InitSet();
  bool DspSet();
  static postal::TTextFileFormat GetTextFileFormat(const QString& ALine);

 public slots:
  void Button1Click();
  void Button2Click();
  void Button3Click();

 private:
  void SetDefinitionEnabled(bool enabled);
  // What follows the file dialog of the input (empty when cancelled), and what a dropped
  // input goes through.
  void SelectInput(const QString& chosen);
  // The run's history line and messages, then the confirmation window with its
  // counts when it wrote the file.
  void Report(const RunResult& result);

  AppContext& ctx_;
  std::vector<Text> mlsList;  // first line of the chosen input, for the form check
  Text mstNgt;
  Text gstMsg;
  Text gstFile1;
  Text gstFile2;

  QPushButton* BitBtn1;
  QFrame* Panel1;
  QComboBox* ComboBox1;
  QComboBox* ComboBox2;
  QLabel* Label5;
  QLabel* Label6;
  QPushButton* Button2;
  QLabel* Label2;
  QLineEdit* Edit1;
  QPushButton* Button3;
  QLabel* Label1;
  QLineEdit* Edit2;
  QPushButton* Button1;
  QLineEdit* Edit3;
};

}  // namespace tavo::ui

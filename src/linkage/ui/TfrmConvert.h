// Converter 1, "NIVAコンバーター": a positional outpatient file becomes the EHR
// linkage CSV with the short header.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "ui/app_context.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tavo::ui {

class TfrmConvert : public QDialog {
  Q_OBJECT

 public:
  TfrmConvert(AppContext& ctx, QWidget* parent = nullptr);
  void InitSet();
  bool DspSet();

 public slots:
  void Button1Click();
  void Button3Click();

 private:
  // What follows the file dialog (empty when cancelled), and what a dropped file goes through.
  void SelectInput(const QString& chosen);

  AppContext& ctx_;
  std::vector<Text> FList;  // first line of the last selection, if any
  QString mstDialogFile;    // the file the dialog kept from its last pick

  QPushButton* BitBtn1;
  QPushButton* Button3;
  QLabel* Label2;
  QLineEdit* Edit1;
  QPushButton* Button1;
};

}  // namespace tavo::ui

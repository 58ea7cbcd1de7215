// The tool launcher: one button per further tool; hands the two receipt
// files of the main window on to the receipt mode of the replacement tool.
#pragma once

#include <QDialog>

#include "ui/app_context.h"

class QPushButton;

namespace tavo::ui {

class TfrmOption : public QDialog {
  Q_OBJECT

 public:
  TfrmOption(AppContext& ctx, QWidget* parent = nullptr);
  void InitSet();
  bool DspSet(const QString& pstFile, const QString& pstFile2);

 public slots:
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();
  void Button6Click();
  void Button7Click();

 private:
  AppContext& ctx_;
  QString mstFile1;
  QString mstFile2;
  QPushButton* BitBtn1;
  QPushButton* Button1;
  QPushButton* Button3;
  QPushButton* Button4;
  QPushButton* Button2;
  QPushButton* Button5;
  QPushButton* Button6;
  QPushButton* Button7;
};

}  // namespace tavo::ui

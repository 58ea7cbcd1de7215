// "FF1連携": merges the FF1 folder and builds the EHR linkage CSV in one click.
#pragma once

#include <QDialog>

#include "ui/app_context.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tavo::ui {

class TfrmFF1MergeVCL2 : public QDialog {
  Q_OBJECT

 public:
  TfrmFF1MergeVCL2(AppContext& ctx, QWidget* parent = nullptr);
  void InitSet();
  bool DspSet();
  // Makes sure the setting "SAVEFF1" has a value.
  void FormShow();

 public slots:
  void Button3Click();
  void Button2Click();

 private:
  AppContext& ctx_;
  QPushButton* BitBtn1 = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QPushButton* Button3 = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* Edit4 = nullptr;
  QPushButton* Button2 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QLineEdit* edtInDir = nullptr;
};

}  // namespace tavo::ui

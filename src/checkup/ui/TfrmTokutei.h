// The health-checkup import window: a target month, the checkup list of LUMA
// and optionally an additional receipt linkage file become one EHR linkage CSV.
#pragma once

#include <QDialog>

#include "ui/app_context.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tavo::ui {

class TfrmTokutei : public QDialog {
  Q_OBJECT

 public:
  TfrmTokutei(AppContext& ctx, QWidget* parent = nullptr);
  void InitSet();
  bool DspSet();

 public slots:
  void Button1Click();
  void Button2Click();
  void Button3Click();

 private:
  AppContext& ctx_;

  QPushButton* BitBtn1;
  QLabel* Label3;
  QFrame* Panel1;
  QComboBox* ComboBox1;
  QComboBox* ComboBox2;
  QLabel* Label5;
  QLabel* Label6;
  QPushButton* Button3;
  QLabel* Label1;
  QLineEdit* Edit2;
  QPushButton* Button2;
  QLabel* Label2;
  QLineEdit* Edit1;
  QPushButton* Button1;
};

}  // namespace tavo::ui

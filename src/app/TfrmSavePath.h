// The save-folder window: the Downloads folder or a folder of the user's own
// ("SAVEFDR").
#pragma once

#include <QDialog>

#include "ui/app_context.h"

class QButtonGroup;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tavo::ui {

class TfrmSavePath : public QDialog {
  Q_OBJECT

 public:
  TfrmSavePath(AppContext& ctx, QWidget* parent = nullptr);
  void InitSet();
  bool DspSet();
  // The selected item of RadioGroup1: 0 "ダウンロードフォルダ", 1 "保存先指定", -1 none.
  int ItemIndex() const;

 public slots:
  void RadioGroup1Click();
  void Button1Click();

 private:
  AppContext& ctx_;
  QPushButton* BitBtn1;
  QGroupBox* RadioGroup1;
  QButtonGroup* items_;
  QLineEdit* Edit1;
  QPushButton* Button1;
};

}  // namespace tavo::ui

// The detailed-settings window, which leads to the save-folder window and
// opens the run history.
#pragma once

#include <QDialog>

#include "ui/app_context.h"

class QPushButton;

namespace tavo::ui {

class TfrmSyosai : public QDialog {
  Q_OBJECT

 public:
  TfrmSyosai(AppContext& ctx, QWidget* parent = nullptr);
  void InitSet();
  bool DspSet();

 public slots:
  void Button4Click();
  void Button5Click();  // 実行履歴を開く

 private:
  AppContext& ctx_;
  QPushButton* BitBtn1;
  QPushButton* Button4;
  QPushButton* Button5;
};

}  // namespace tavo::ui

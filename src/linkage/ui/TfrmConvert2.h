#pragma once

#include <QDialog>

#include "app/app_context.h"

namespace tavo::ui {

class TfrmConvert2 : public QDialog {
  Q_OBJECT

 public:
  TfrmConvert2(AppContext& ctx, QWidget* parent = nullptr);
  void InitSet();
  bool DspSet();

 private:
  AppContext& ctx_;
};

}  // namespace tavo::ui

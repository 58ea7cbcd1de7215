#pragma once

#include <QDialog>

#include "app/app_context.h"

namespace tavo::ui {

class TfrmReplace : public QDialog {
  Q_OBJECT

 public:
  TfrmReplace(AppContext& ctx, QWidget* parent = nullptr);
  void InitSet();
  bool DspSet(int pinKbn, const QString& pstFile, const QString& pstFile2);

 private:
  AppContext& ctx_;
};

}  // namespace tavo::ui

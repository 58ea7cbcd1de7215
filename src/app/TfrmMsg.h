#pragma once

#include <QDialog>

#include "app/app_context.h"

namespace tavo::ui {

class TfrmMsg : public QDialog {
  Q_OBJECT

 public:
  TfrmMsg(AppContext& ctx, QWidget* parent = nullptr);
  void InitSet();
  bool DspSet(const QString& pstMsg, const QString& pstFile1, const QString& pstFile2);

 private:
  AppContext& ctx_;
};

}  // namespace tavo::ui

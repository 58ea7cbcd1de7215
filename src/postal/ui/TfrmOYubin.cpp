// Placeholder window; the tool's own window replaces it.
#include "postal/ui/TfrmOYubin.h"

namespace tavo::ui {

TfrmOYubin::TfrmOYubin(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setWindowTitle(QString::fromUtf8("郵便番号変換"));
  InitSet();
}

void TfrmOYubin::InitSet() {}

bool TfrmOYubin::DspSet() {
  ctx_.dialogs.ShowModal(this);
  return true;
}

}  // namespace tavo::ui

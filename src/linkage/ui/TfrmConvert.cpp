// Placeholder window; the tool's own window replaces it.
#include "linkage/ui/TfrmConvert.h"

namespace tavo::ui {

TfrmConvert::TfrmConvert(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setWindowTitle(QString::fromUtf8("NIVAコンバーター"));
  InitSet();
}

void TfrmConvert::InitSet() {}

bool TfrmConvert::DspSet() {
  ctx_.dialogs.ShowModal(this);
  return true;
}

}  // namespace tavo::ui

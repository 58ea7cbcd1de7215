// Placeholder window; the tool's own window replaces it.
#include "ff1/ui/TfrmFF1MergeVCL2.h"

namespace tavo::ui {

TfrmFF1MergeVCL2::TfrmFF1MergeVCL2(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setWindowTitle(QString::fromUtf8("FF1連携"));
  InitSet();
}

void TfrmFF1MergeVCL2::InitSet() {}

bool TfrmFF1MergeVCL2::DspSet() {
  ctx_.dialogs.ShowModal(this);
  return true;
}

}  // namespace tavo::ui

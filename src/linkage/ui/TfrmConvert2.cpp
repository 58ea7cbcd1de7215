// Placeholder window; the tool's own window replaces it.
#include "linkage/ui/TfrmConvert2.h"

namespace tavo::ui {

TfrmConvert2::TfrmConvert2(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setWindowTitle(QString::fromUtf8("NIVAコンバーター２"));
  InitSet();
}

void TfrmConvert2::InitSet() {}

bool TfrmConvert2::DspSet() {
  ctx_.dialogs.ShowModal(this);
  return true;
}

}  // namespace tavo::ui

// Placeholder window; the tool's own window replaces it.
#include "checkup/ui/TfrmTokutei.h"

namespace tavo::ui {

TfrmTokutei::TfrmTokutei(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setWindowTitle(QString::fromUtf8("特定健診取込"));
  InitSet();
}

void TfrmTokutei::InitSet() {}

bool TfrmTokutei::DspSet() {
  ctx_.dialogs.ShowModal(this);
  return true;
}

}  // namespace tavo::ui

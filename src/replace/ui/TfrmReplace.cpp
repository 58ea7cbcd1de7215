// Placeholder window; the tool's own window replaces it.
#include "replace/ui/TfrmReplace.h"

namespace tavo::ui {

TfrmReplace::TfrmReplace(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setWindowTitle(QString::fromUtf8("リプレース"));
  InitSet();
}

void TfrmReplace::InitSet() {}

bool TfrmReplace::DspSet(int, const QString&, const QString&) {
  ctx_.dialogs.ShowModal(this);
  return true;
}

}  // namespace tavo::ui

// Placeholder window; the tool's own window replaces it.
#include "app/TfrmMsg.h"

namespace tavo::ui {

TfrmMsg::TfrmMsg(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setWindowTitle(QString::fromUtf8("確認"));
  InitSet();
}

void TfrmMsg::InitSet() {}

bool TfrmMsg::DspSet(const QString&, const QString&, const QString&) {
  ctx_.dialogs.ShowModal(this);
  return true;
}

}  // namespace tavo::ui

#include "app/TfrmSyosai.h"

#include <QPushButton>

#include "app/TfrmSavePath.h"
#include "ui/widgets.h"
#include "ui/window_behaviour.h"

namespace tavo::ui {

TfrmSyosai::TfrmSyosai(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  InitToolWindow(this, "詳細設定", 355, 173);

  BitBtn1 = MakeButton(this, "BitBtn1", "閉じる(&C)", QRect(243, 8, 100, 30));
  Button4 = MakeButton(this, "Button4", "保存先設定", QRect(100, 70, 155, 41));

  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button4, &QPushButton::clicked, this, &TfrmSyosai::Button4Click);
  FinishWindow(this, Button4);
  InitSet();
}

void TfrmSyosai::InitSet() {}

bool TfrmSyosai::DspSet() {
  ctx_.dialogs.ShowModal(this);
  return true;
}

void TfrmSyosai::Button4Click() {
  TfrmSavePath frmSavePath(ctx_, this);
  frmSavePath.DspSet();
}

}  // namespace tavo::ui

#include "app/TfrmSyosai.h"

#include <QPushButton>

#include "app/TfrmSavePath.h"
#include "core/files.h"
#include "core/run_history.h"
#include "ui/widgets.h"
#include "ui/window_behaviour.h"

namespace tavo::ui {

TfrmSyosai::TfrmSyosai(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  InitToolWindow(this, "詳細設定", 355, 173);

  BitBtn1 = MakeButton(this, "BitBtn1", "閉じる(&C)", QRect(243, 8, 100, 30));
  Button4 = MakeButton(this, "Button4", "保存先設定", QRect(100, 70, 155, 41));
  Button5 = MakeButton(this, "Button5", "実行履歴を開く", QRect(100, 121, 155, 30));

  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button4, &QPushButton::clicked, this, &TfrmSyosai::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TfrmSyosai::Button5Click);
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

void TfrmSyosai::Button5Click() {
  const std::filesystem::path history = ctx_.env.ProgramFile(PathFromText(kRunHistoryName));
  if (!FileExists(history)) {
    ctx_.dialogs.Info(this, Q("実行履歴はまだありません。"));
    return;
  }
  // The same shell launch as the manual: the system's program for .csv files.
  if (!ctx_.dialogs.OpenUrl(Q(PathText(history))))
    ctx_.dialogs.Warning(this, Q(PathText(history)) + Q(" を開けません。"));
}

}  // namespace tavo::ui

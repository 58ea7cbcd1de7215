#include "linkage/ui/TfrmConvert.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/widgets.h"
#include "ui/window_behaviour.h"
#include "core/errors.h"
#include "core/files.h"
#include "linkage/convert1.h"

namespace tavo::ui {

TfrmConvert::TfrmConvert(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  InitToolWindow(this, "NIVAコンバーター", 348, 199, Qt::Dialog | Qt::WindowSystemMenuHint);

  BitBtn1 = MakeButton(this, "BitBtn1", "閉じる(&C)", QRect(248, 10, 90, 28));
  Button3 = MakeButton(this, "Button3", "変換前ファイル選択", QRect(16, 46, 170, 28));
  Label2 = MakeLabel(this, "Label2", "変換前ファイル：", QRect(16, 84, 316, 18));
  Edit1 = MakeEdit(this, "Edit1", QRect(16, 102, 316, 24));
  Button1 = MakeButton(this, "Button1", "電カル連携ファイル作成", QRect(16, 150, 200, 30));

  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button3, &QPushButton::clicked, this, &TfrmConvert::Button3Click);
  connect(Button1, &QPushButton::clicked, this, &TfrmConvert::Button1Click);
  TakeDroppedFile(ctx_, Edit1, [this](const QString& path) { SelectInput(path); });
  FinishWindow(this, Button3);
  InitSet();
}

void TfrmConvert::InitSet() {
  Edit1->clear();
  FList.clear();
}

bool TfrmConvert::DspSet() {
  InitSet();
  ctx_.dialogs.ShowModal(this);
  return true;
}

void TfrmConvert::Button3Click() {
  ctx_.dialogs.Info(this, Q(linkage::SelectPromptText()));
  SelectInput(OpenFileFor(ctx_, this, Edit1));
}

void TfrmConvert::SelectInput(const QString& chosen) {
  if (!chosen.isEmpty()) {
    mstDialogFile = chosen;
    try {
      FList = LoadLeadingLines(PathFromText(FromQ(chosen)), 1);  // the check needs one line
    } catch (const OpError& e) {
      ctx_.dialogs.Error(this, Q(e.text()));
      return;
    }
  }
  if (FList.empty()) {
    ctx_.dialogs.Warning(this, Q(linkage::NotFfFileText()));
    return;
  }
  Edit1->setText(mstDialogFile);
}

void TfrmConvert::Button1Click() {
  const RunResult result =
      RunBusy(ctx_.dialogs, [&] { return linkage::Cnv(ctx_.env, FromQ(Edit1->text())); });
  ReportRun(ctx_, this, result);
}

}  // namespace tavo::ui

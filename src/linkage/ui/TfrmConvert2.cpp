#include "linkage/ui/TfrmConvert2.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/widgets.h"
#include "ui/window_behaviour.h"
#include "linkage/convert1.h"
#include "linkage/convert2.h"

namespace tavo::ui {

TfrmConvert2::TfrmConvert2(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  InitToolWindow(this, "NIVAコンバーター２", 348, 239, Qt::Dialog | Qt::WindowSystemMenuHint);

  BitBtn1 = MakeButton(this, "BitBtn1", "閉じる(&C)", QRect(248, 10, 90, 28));
  Button3 = MakeButton(this, "Button3", "変換前ファイル選択", QRect(16, 46, 170, 28));
  Label2 = MakeLabel(this, "Label2", "変換前ファイル：", QRect(16, 84, 316, 18));
  Edit1 = MakeEdit(this, "Edit1", QRect(16, 102, 316, 24));
  Button1 = MakeButton(this, "Button1", "電カル連携ファイル作成", QRect(16, 146, 200, 30));
  Button5 = MakeButton(this, "Button5", "変換前ファイル匿名化", QRect(16, 190, 200, 30));

  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button3, &QPushButton::clicked, this, &TfrmConvert2::Button3Click);
  connect(Button1, &QPushButton::clicked, this, &TfrmConvert2::Button1Click);
  connect(Button5, &QPushButton::clicked, this, &TfrmConvert2::Button5Click);
  TakeDroppedFile(ctx_, Edit1, [this](const QString& path) { SelectInput(path); });
  FinishWindow(this, Button3);
  InitSet();
}

void TfrmConvert2::InitSet() {
  Edit1->clear();
  FList.clear();
}

bool TfrmConvert2::DspSet() {
  InitSet();
  ctx_.dialogs.ShowModal(this);
  return true;
}

void TfrmConvert2::Button3Click() {
  FList.clear();
  ctx_.dialogs.Info(this, Q(linkage::SelectPromptText()));
  SelectInput(OpenFileFor(ctx_, this, Edit1));
}

void TfrmConvert2::SelectInput(const QString& chosen) {
  linkage::Selection s = linkage::SelectFile2(FromQ(chosen));
  FList = std::move(s.lines);
  // A file whose year-month cannot be read is refused: the box keeps the file it had.
  if (s.hasNgt) Edit1->setText(chosen);
  ShowMessages(ctx_.dialogs, this, s.messages);
}

void TfrmConvert2::Report(const RunResult& result) { ReportRun(ctx_, this, result); }

void TfrmConvert2::Button1Click() {
  const RunResult result =
      RunBusy(ctx_.dialogs, [&] { return linkage::Conv2(ctx_.env, FromQ(Edit1->text())); });
  Report(result);
}

void TfrmConvert2::Button5Click() {
  const RunResult result =
      RunBusy(ctx_.dialogs, [&] { return linkage::Anonymize(ctx_.env, FromQ(Edit1->text())); });
  Report(result);
}

}  // namespace tavo::ui

#include "checkup/ui/TfrmTokutei.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/widgets.h"
#include "ui/window_behaviour.h"
#include "checkup/checkup_ops.h"
#include "core/dates.h"

namespace tavo::ui {

TfrmTokutei::TfrmTokutei(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  InitToolWindow(this, "特定健診取込", 348, 286);

  BitBtn1 = MakeButton(this, "BitBtn1", "閉じる(&C)", QRect(248, 10, 90, 28));
  Label3 = MakeLabel(this, "Label3", "対象年月：", QRect(16, 16, 120, 18));
  MakeYearMonthPanel(this, Panel1, ComboBox1, Label5, ComboBox2, Label6);

  Button3 = MakeButton(this, "Button3", "追加レセ電連携ファイル選択", QRect(16, 90, 220, 28));
  Label1 = MakeLabel(this, "Label1", "追加レセ電連携ファイル：", QRect(16, 124, 316, 18));
  Edit2 = MakeEdit(this, "Edit2", QRect(16, 142, 316, 24));
  Button2 = MakeButton(this, "Button2", "特定健診受診年月ファイル選択", QRect(16, 174, 220, 28));
  Label2 = MakeLabel(this, "Label2", "特定健診受診年月ファイル：", QRect(16, 208, 316, 18));
  Edit1 = MakeEdit(this, "Edit1", QRect(16, 226, 316, 24));
  Button1 = MakeButton(this, "Button1", "変換実行", QRect(248, 254, 90, 28));

  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button1, &QPushButton::clicked, this, &TfrmTokutei::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TfrmTokutei::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TfrmTokutei::Button3Click);
  TakeDroppedFileInto(ctx_, Edit1);
  TakeDroppedFileInto(ctx_, Edit2);
  FinishWindow(this, ComboBox1);

  InitSet();
}

void TfrmTokutei::InitSet() {
  Edit1->clear();
  Edit2->clear();
  ResetYearMonth(ComboBox1, ComboBox2, ctx_.env.Today());
}

bool TfrmTokutei::DspSet() {
  InitSet();
  ctx_.dialogs.ShowModal(this);
  return true;
}

void TfrmTokutei::Button3Click() {
  ChooseFileInto(ctx_, this, Edit2, "追加のレセ電連携ファイルファイルを選択します");
}

void TfrmTokutei::Button2Click() {
  ChooseFileInto(ctx_, this, Edit1, "特定健診受診年月ファイルファイルを選択します");
}

void TfrmTokutei::Button1Click() {
  ReportRun(ctx_, this, RunBusy(ctx_.dialogs, [&] {
              return checkup::Cnv(ctx_.env, FromQ(ComboBox1->currentText()),
                                  FromQ(ComboBox2->currentText()), FromQ(Edit1->text()),
                                  FromQ(Edit2->text()));
            }));
}

}  // namespace tavo::ui

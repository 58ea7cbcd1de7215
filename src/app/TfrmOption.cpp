#include "app/TfrmOption.h"

#include <QPushButton>

#include "ui/widgets.h"
#include "ui/window_behaviour.h"
#include "checkup/ui/TfrmTokutei.h"
#include "ff1/ui/TfrmFF1MergeVCL2.h"
#include "linkage/ui/TfrmConvert.h"
#include "linkage/ui/TfrmConvert2.h"
#include "postal/ui/TfrmOYubin.h"
#include "replace/ui/TfrmReplace.h"

namespace tavo::ui {

TfrmOption::TfrmOption(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  InitToolWindow(this, "オプション", 348, 380);

  BitBtn1 = MakeButton(this, "BitBtn1", "閉じる(&C)", QRect(236, 10, 100, 30));
  // One column, top to bottom in this order.
  const int x = (348 - 153) / 2;
  int y = 44;
  auto next = [&](const char* name, const char* caption) {
    QPushButton* b = MakeButton(this, name, caption, QRect(x, y, 153, 41));
    y += 47;
    return b;
  };
  Button1 = next("Button1", "NIVAコンバーター");
  Button3 = next("Button3", "NIVAコンバーター２");
  Button4 = next("Button4", "FF1連携");
  Button2 = next("Button2", "リプレース");
  Button5 = next("Button5", "リプレース２");
  Button6 = next("Button6", "郵便番号変換");
  Button7 = next("Button7", "特定健診取込");

  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button1, &QPushButton::clicked, this, &TfrmOption::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TfrmOption::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TfrmOption::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TfrmOption::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TfrmOption::Button5Click);
  connect(Button6, &QPushButton::clicked, this, &TfrmOption::Button6Click);
  connect(Button7, &QPushButton::clicked, this, &TfrmOption::Button7Click);
  FinishWindow(this, Button1);
  InitSet();
}

void TfrmOption::InitSet() {}

bool TfrmOption::DspSet(const QString& pstFile, const QString& pstFile2) {
  mstFile1 = pstFile;
  mstFile2 = pstFile2;
  ctx_.dialogs.ShowModal(this);
  return true;
}

void TfrmOption::Button1Click() {
  TfrmConvert frm(ctx_, this);
  frm.DspSet();
}

void TfrmOption::Button3Click() {
  TfrmConvert2 frm(ctx_, this);
  frm.DspSet();
}

void TfrmOption::Button4Click() {
  TfrmFF1MergeVCL2 frm(ctx_, this);
  frm.DspSet();
}

void TfrmOption::Button2Click() {
  TfrmReplace frm(ctx_, this);
  frm.DspSet(1, QString(), QString());
}

void TfrmOption::Button5Click() {
  TfrmReplace frm(ctx_, this);
  frm.DspSet(2, mstFile1, mstFile2);
}

void TfrmOption::Button6Click() {
  TfrmOYubin frm(ctx_, this);
  frm.DspSet();
}

void TfrmOption::Button7Click() {
  TfrmTokutei frm(ctx_, this);
  frm.DspSet();
}

}  // namespace tavo::ui

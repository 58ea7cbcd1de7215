#include "app/TfrmSyosai.h"

#include <QPushButton>

#include "app/TfrmSavePath.h"

namespace tavo::ui {

TfrmSyosai::TfrmSyosai(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setWindowTitle(Q("詳細設定"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  ApplyWindowFont(this);
  SetClientSize(this, 355, 173);

  BitBtn1 = new QPushButton(Q("閉じる(&C)"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setAutoDefault(false);
  BitBtn1->setGeometry(243, 8, 100, 30);
  Button4 = new QPushButton(Q("保存先設定"), this);
  Button4->setObjectName(QStringLiteral("Button4"));
  Button4->setAutoDefault(false);
  Button4->setGeometry(100, 70, 155, 41);

  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button4, &QPushButton::clicked, this, &TfrmSyosai::Button4Click);
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

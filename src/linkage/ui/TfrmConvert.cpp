#include "linkage/ui/TfrmConvert.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/TfrmMsg.h"
#include "core/errors.h"
#include "core/files.h"
#include "linkage/convert1.h"

namespace tavo::ui {

TfrmConvert::TfrmConvert(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setWindowTitle(Q("NIVAコンバーター"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  ApplyWindowFont(this);
  SetClientSize(this, 348, 199);

  BitBtn1 = new QPushButton(Q("閉じる(&C)"), this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setGeometry(248, 10, 90, 28);
  Button3 = new QPushButton(Q("変換前ファイル選択"), this);
  Button3->setObjectName("Button3");
  Button3->setGeometry(16, 46, 170, 28);
  Label2 = new QLabel(Q("変換前ファイル："), this);
  Label2->setObjectName("Label2");
  Label2->setGeometry(16, 84, 316, 18);
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  Edit1->setGeometry(16, 102, 316, 24);
  Button1 = new QPushButton(Q("電カル連携ファイル作成"), this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(16, 150, 200, 30);
  for (QPushButton* b : {BitBtn1, Button3, Button1}) b->setAutoDefault(false);

  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button3, &QPushButton::clicked, this, &TfrmConvert::Button3Click);
  connect(Button1, &QPushButton::clicked, this, &TfrmConvert::Button1Click);
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
  const QString chosen = ctx_.dialogs.OpenFile(this);
  if (!chosen.isEmpty()) {
    mstDialogFile = chosen;
    try {
      FList = LoadWholeFile(PathFromText(FromQ(chosen)));
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
  RunResult result;
  {
    BusyCursor busy(ctx_.dialogs);
    result = linkage::Cnv(ctx_.env, FromQ(Edit1->text()));
  }
  ShowMessages(ctx_.dialogs, this, result);
  if (!result.wrote()) return;
  TfrmMsg(ctx_, this).DspSet(Q(result.gstMsg), Q(result.gstFile1), Q(result.gstFile2));
}

}  // namespace tavo::ui

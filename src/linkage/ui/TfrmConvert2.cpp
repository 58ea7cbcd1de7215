#include "linkage/ui/TfrmConvert2.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/TfrmMsg.h"
#include "linkage/convert1.h"
#include "linkage/convert2.h"

namespace tavo::ui {

TfrmConvert2::TfrmConvert2(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setWindowTitle(Q("NIVAコンバーター２"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  ApplyWindowFont(this);
  SetClientSize(this, 348, 239);

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
  Button1->setGeometry(16, 146, 200, 30);
  Button5 = new QPushButton(Q("変換前ファイル匿名化"), this);
  Button5->setObjectName("Button5");
  Button5->setGeometry(16, 190, 200, 30);
  for (QPushButton* b : {BitBtn1, Button3, Button1, Button5}) b->setAutoDefault(false);

  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button3, &QPushButton::clicked, this, &TfrmConvert2::Button3Click);
  connect(Button1, &QPushButton::clicked, this, &TfrmConvert2::Button1Click);
  connect(Button5, &QPushButton::clicked, this, &TfrmConvert2::Button5Click);
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
  const QString chosen = ctx_.dialogs.OpenFile(this);
  linkage::Selection s = linkage::SelectFile2(FromQ(chosen));
  FList = std::move(s.lines);
  if (s.accepted) Edit1->setText(chosen);
  if (s.hasNgt) mstNgt = s.ngt;
  ShowMessages(ctx_.dialogs, this, s.messages);
}

void TfrmConvert2::Report(const RunResult& result) {
  ShowMessages(ctx_.dialogs, this, result);
  if (!result.wrote()) return;
  TfrmMsg(ctx_, this).DspSet(Q(result.gstMsg), Q(result.gstFile1), Q(result.gstFile2));
}

void TfrmConvert2::Button1Click() {
  RunResult result;
  {
    BusyCursor busy(ctx_.dialogs);
    result = linkage::Conv2(ctx_.env, FromQ(Edit1->text()), mstNgt);
  }
  Report(result);
}

void TfrmConvert2::Button5Click() {
  RunResult result;
  {
    BusyCursor busy(ctx_.dialogs);
    result = linkage::Anonymize(ctx_.env, FromQ(Edit1->text()));
  }
  Report(result);
}

}  // namespace tavo::ui

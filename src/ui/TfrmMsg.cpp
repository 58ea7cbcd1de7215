#include "ui/TfrmMsg.h"

#include <QLabel>
#include <QPushButton>

#include "ui/widgets.h"
#include "core/ini.h"
#include "core/output_folder.h"

namespace tavo::ui {

TfrmMsg::TfrmMsg(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  InitToolWindow(this, "確認", 329, 96);

  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(12, 10, 305, 40);
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setWordWrap(true);
  Button1 = new QPushButton(Q("ダウンロード"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(102, 56, 125, 30);
  connect(Button1, &QPushButton::clicked, this, &TfrmMsg::Button1Click);

  InitSet();
}

void TfrmMsg::InitSet() {
  gstPath = Q(IFReadIniStr(ctx_.env.programDir, u"PARAM", u"SAVEFDR", u""));
  Button1->setText(IsBlank(FromQ(gstPath)) ? Q("ダウンロード") : Q("保存"));
}

bool TfrmMsg::DspSet(const QString& pstMsg, const QString& pstFile1, const QString& pstFile2) {
  gstMsg = pstMsg;
  gstFile1 = pstFile1;
  gstFile2 = pstFile2;
  Label1->setText(gstMsg);
  ctx_.dialogs.ShowModal(this);
  return true;
}

void TfrmMsg::Button1Click() {
  const Text svChg = IFReadIniStr(ctx_.env.programDir, u"PARAM", u"SVCHG", u"");
  OutputMoveResult moved;
  {
    BusyCursor busy(ctx_.dialogs);
    moved = MoveOutputs(ctx_.env, FromQ(gstFile1), FromQ(gstFile2), FromQ(gstPath), svChg);
  }
  for (const Message& m : moved.messages) {
    if (m.kind == MsgKind::Error)
      ctx_.dialogs.Error(this, Q(m.text));
    else
      ctx_.dialogs.Warning(this, Q(m.text));
  }
  // The clinic subfolder could not be named: nothing moved, the window stays.
  if (moved.stopped) return;
  accept();
}

}  // namespace tavo::ui

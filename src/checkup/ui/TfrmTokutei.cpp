#include "checkup/ui/TfrmTokutei.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/TfrmMsg.h"
#include "checkup/checkup_ops.h"
#include "core/dates.h"

namespace tavo::ui {

namespace {

QString TwoDigits(int n) { return QString::asprintf("%02d", n); }

// Editable combo box for digits: the input method stays closed.
QComboBox* DigitCombo(QWidget* parent, const char* name, int x, int y) {
  auto* c = new QComboBox(parent);
  c->setObjectName(QString::fromLatin1(name));
  c->setEditable(true);
  c->setInsertPolicy(QComboBox::NoInsert);
  c->setAttribute(Qt::WA_InputMethodEnabled, false);
  c->lineEdit()->setAttribute(Qt::WA_InputMethodEnabled, false);
  c->setGeometry(x, y, 56, 24);
  return c;
}

}  // namespace

TfrmTokutei::TfrmTokutei(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setWindowTitle(Q("特定健診取込"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  ApplyWindowFont(this);
  SetClientSize(this, 348, 286);

  auto button = [this](const char* name, const char* caption, int x, int y, int w) {
    auto* b = new QPushButton(Q(caption), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    b->setGeometry(x, y, w, 28);
    return b;
  };
  auto label = [](QWidget* parent, const char* name, const char* caption, int x, int y, int w) {
    auto* l = new QLabel(Q(caption), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(x, y, w, 18);
    return l;
  };
  auto edit = [this](const char* name, int x, int y) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(x, y, 316, 24);
    return e;
  };

  BitBtn1 = button("BitBtn1", "閉じる(&C)", 248, 10, 90);
  Label3 = label(this, "Label3", "対象年月：", 16, 16, 120);
  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameShape(QFrame::StyledPanel);
  Panel1->setGeometry(16, 40, 200, 40);
  ComboBox1 = DigitCombo(Panel1, "ComboBox1", 8, 8);
  Label5 = label(Panel1, "Label5", "年", 68, 11, 24);
  ComboBox2 = DigitCombo(Panel1, "ComboBox2", 100, 8);
  Label6 = label(Panel1, "Label6", "月", 160, 11, 24);
  for (int m = 1; m <= 12; ++m) ComboBox2->addItem(TwoDigits(m));

  Button3 = button("Button3", "追加レセ電連携ファイル選択", 16, 90, 220);
  Label1 = label(this, "Label1", "追加レセ電連携ファイル：", 16, 124, 316);
  Edit2 = edit("Edit2", 16, 142);
  Button2 = button("Button2", "特定健診受診年月ファイル選択", 16, 174, 220);
  Label2 = label(this, "Label2", "特定健診受診年月ファイル：", 16, 208, 316);
  Edit1 = edit("Edit1", 16, 226);
  Button1 = button("Button1", "変換実行", 248, 254, 90);

  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button1, &QPushButton::clicked, this, &TfrmTokutei::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TfrmTokutei::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TfrmTokutei::Button3Click);

  InitSet();
}

void TfrmTokutei::InitSet() {
  Edit1->clear();
  Edit2->clear();
  const Date today = ctx_.env.Today();
  ComboBox1->clear();
  for (int shift : {-12, 0, 12}) ComboBox1->addItem(Q(EraYear2(AddMonths(today, shift))));
  ComboBox1->setEditText(Q(EraYear2(today)));
  ComboBox2->setEditText(TwoDigits(today.month));
}

bool TfrmTokutei::DspSet() {
  InitSet();
  ctx_.dialogs.ShowModal(this);
  return true;
}

void TfrmTokutei::Button3Click() {
  ctx_.dialogs.Info(this, Q("追加のレセ電連携ファイルファイルを選択します"));
  const QString chosen = ctx_.dialogs.OpenFile(this);
  if (!chosen.isEmpty()) Edit2->setText(chosen);
}

void TfrmTokutei::Button2Click() {
  ctx_.dialogs.Info(this, Q("特定健診受診年月ファイルファイルを選択します"));
  const QString chosen = ctx_.dialogs.OpenFile(this);
  if (!chosen.isEmpty()) Edit1->setText(chosen);
}

void TfrmTokutei::Button1Click() {
  RunResult result;
  {
    BusyCursor busy(ctx_.dialogs);
    result =
        checkup::Cnv(ctx_.env, FromQ(ComboBox1->currentText()), FromQ(ComboBox2->currentText()),
                     FromQ(Edit1->text()), FromQ(Edit2->text()));
  }
  ShowMessages(ctx_.dialogs, this, result);
  if (!result.wrote()) return;
  TfrmMsg(ctx_, this).DspSet(Q(result.gstMsg), Q(result.gstFile1), Q(result.gstFile2));
}

}  // namespace tavo::ui

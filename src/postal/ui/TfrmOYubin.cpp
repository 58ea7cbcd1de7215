#include "postal/ui/TfrmOYubin.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/TfrmMsg.h"
#include "core/dates.h"
#include "core/errors.h"
#include "core/files.h"

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

TfrmOYubin::TfrmOYubin(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setWindowTitle(Q("郵便番号変換"));
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

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameShape(QFrame::StyledPanel);
  Panel1->setGeometry(16, 40, 200, 40);
  ComboBox1 = DigitCombo(Panel1, "ComboBox1", 8, 8);
  Label5 = label(Panel1, "Label5", "年", 68, 11, 24);
  ComboBox2 = DigitCombo(Panel1, "ComboBox2", 100, 8);
  Label6 = label(Panel1, "Label6", "月", 160, 11, 24);
  for (int m = 1; m <= 12; ++m) ComboBox2->addItem(TwoDigits(m));

  Button2 = button("Button2", "OUTPUT・中間ファイル選択", 16, 88, 200);
  Label2 = label(this, "Label2", "OUTPUT・中間ファイル：", 16, 120, 316);
  Edit1 = edit("Edit1", 16, 138);
  Button3 = button("Button3", "変換定義ファイル選択", 16, 170, 200);
  Label1 = label(this, "Label1", "変更定義ファイル：", 16, 202, 316);
  Edit2 = edit("Edit2", 16, 220);
  Button1 = button("Button1", "変換実行", 248, 252, 90);
  Edit3 = new QLineEdit(this);
  Edit3->setObjectName(QStringLiteral("Edit3"));
  Edit3->hide();

  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button1, &QPushButton::clicked, this, &TfrmOYubin::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TfrmOYubin::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TfrmOYubin::Button3Click);

  InitSet();
}

void TfrmOYubin::InitSet() {
  Edit1->clear();
  Edit2->clear();
  Edit3->clear();
  const Date today = ctx_.env.Today();
  ComboBox1->clear();
  for (int shift : {-12, 0, 12}) ComboBox1->addItem(Q(EraYear2(AddMonths(today, shift))));
  ComboBox1->setEditText(Q(EraYear2(today)));
  ComboBox2->setEditText(TwoDigits(today.month));
  mlsList.clear();
}

bool TfrmOYubin::DspSet() {
  InitSet();
  ctx_.dialogs.ShowModal(this);
  return true;
}

postal::TTextFileFormat TfrmOYubin::GetTextFileFormat(const QString& ALine) {
  return postal::GetTextFileFormat(FromQ(ALine));
}

void TfrmOYubin::SetDefinitionEnabled(bool enabled) {
  Button3->setEnabled(enabled);
  Edit2->setEnabled(enabled);
  Label1->setEnabled(enabled);
}

void TfrmOYubin::Button2Click() {
  mlsList.clear();
  ctx_.dialogs.Info(this, Q("OUTPUTまたは外来様式１中間ファイルを選択します"));
  const QString chosen = ctx_.dialogs.OpenFile(this);
  if (!chosen.isEmpty()) {
    try {
      mlsList = LoadWholeFile(PathFromText(FromQ(chosen)));
    } catch (const OpError& e) {
      ctx_.dialogs.Error(this, Q(e.text()));
      return;
    }
  }
  if (mlsList.empty()) {
    ctx_.dialogs.Warning(this, Q("OUTPUTファイルではありません。"));
    return;
  }
  const auto form = postal::GetTextFileFormat(mlsList[0]);
  Edit3->setText(Q(postal::FormatName(form)));
  if (form == postal::TTextFileFormat::tfCSV) SetDefinitionEnabled(false);
  if (form == postal::TTextFileFormat::tfTSV) SetDefinitionEnabled(true);
  Edit1->setText(chosen);
}

void TfrmOYubin::Button3Click() {
  const QString chosen = ctx_.dialogs.OpenFile(this);
  if (!chosen.isEmpty()) Edit2->setText(chosen);
}

void TfrmOYubin::Report(const RunResult& result) {
  ShowMessages(ctx_.dialogs, this, result);
  if (!result.wrote()) return;
  gstMsg = result.gstMsg;
  gstFile1 = result.gstFile1;
  gstFile2 = result.gstFile2;
  mstNgt = gstFile1.substr(0, gstFile1.size() - postal::OutputName(u"").size());
  TfrmMsg(ctx_, this).DspSet(Q(gstMsg), Q(gstFile1), Q(gstFile2));
}

void TfrmOYubin::Button1Click() {
  const Text form = Trim(FromQ(Edit3->text()));
  const Text year = FromQ(ComboBox1->currentText());
  const Text month = FromQ(ComboBox2->currentText());
  if (form == u"CSV") {
    RunResult result;
    {
      BusyCursor busy(ctx_.dialogs);
      result = postal::Cnv(ctx_.env, year, month, FromQ(Edit1->text()));
    }
    Report(result);
    SetDefinitionEnabled(true);
  } else if (form == u"TSV") {
    if (IsBlank(FromQ(Edit2->text()))) {
      ctx_.dialogs.Warning(this, Q("変更定義ファイルを選択してください"));
      return;
    }
    RunResult result;
    {
      BusyCursor busy(ctx_.dialogs);
      result = postal::Cnv2(ctx_.env, year, month, FromQ(Edit1->text()), FromQ(Edit2->text()));
    }
    Report(result);
  }
}

}  // namespace tavo::ui

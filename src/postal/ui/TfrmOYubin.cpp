#include "postal/ui/TfrmOYubin.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/widgets.h"
#include "ui/window_behaviour.h"
#include "core/dates.h"
#include "core/errors.h"
#include "core/files.h"

namespace tavo::ui {

TfrmOYubin::TfrmOYubin(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  InitToolWindow(this, "郵便番号変換", 348, 286);

  BitBtn1 = MakeButton(this, "BitBtn1", "閉じる(&C)", QRect(248, 10, 90, 28));

  MakeYearMonthPanel(this, Panel1, ComboBox1, Label5, ComboBox2, Label6);

  Button2 = MakeButton(this, "Button2", "OUTPUT・中間ファイル選択", QRect(16, 88, 200, 28));
  Label2 = MakeLabel(this, "Label2", "OUTPUT・中間ファイル：", QRect(16, 120, 316, 18));
  Edit1 = MakeEdit(this, "Edit1", QRect(16, 138, 316, 24));
  Button3 = MakeButton(this, "Button3", "変換定義ファイル選択", QRect(16, 170, 200, 28));
  Label1 = MakeLabel(this, "Label1", "変更定義ファイル：", QRect(16, 202, 316, 18));
  Edit2 = MakeEdit(this, "Edit2", QRect(16, 220, 316, 24));
  Button1 = MakeButton(this, "Button1", "変換実行", QRect(248, 252, 90, 28));
  Edit3 = new QLineEdit(this);
  Edit3->setObjectName(QStringLiteral("Edit3"));
  Edit3->hide();

  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button1, &QPushButton::clicked, this, &TfrmOYubin::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TfrmOYubin::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TfrmOYubin::Button3Click);
  TakeDroppedFile(ctx_, Edit1, [this](const QString& path) { SelectInput(path); });
  TakeDroppedFileInto(ctx_, Edit2);
  FinishWindow(this, ComboBox1);

  InitSet();
}

void TfrmOYubin::InitSet() {
  Edit1->clear();
  Edit2->clear();
  Edit3->clear();
  ResetYearMonth(ComboBox1, ComboBox2, ctx_.env.Today());
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
  ctx_.dialogs.Info(this, Q("OUTPUTまたは外来様式１中間ファイルを選択します"));
  SelectInput(OpenFileFor(ctx_, this, Edit1));
}

void TfrmOYubin::SelectInput(const QString& chosen) {
  mlsList.clear();
  if (!chosen.isEmpty()) {
    try {
      mlsList = LoadLeadingLines(PathFromText(FromQ(chosen)), 1);  // the form is the first line's
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

void TfrmOYubin::Button3Click() { ChooseFileInto(ctx_, this, Edit2); }

void TfrmOYubin::Report(const RunResult& result) {
  if (result.wrote()) {
    gstMsg = result.gstMsg;
    gstFile1 = result.gstFile1;
    gstFile2 = result.gstFile2;
    mstNgt = gstFile1.substr(0, gstFile1.size() - postal::OutputName(u"").size());
  }
  ReportRun(ctx_, this, result);
}

void TfrmOYubin::Button1Click() {
  // One click, one account: nothing an earlier click made is handed on.
  gstMsg.clear();
  gstFile1.clear();
  gstFile2.clear();
  mstNgt.clear();
  const Text form = Trim(FromQ(Edit3->text()));
  const Text year = FromQ(ComboBox1->currentText());
  const Text month = FromQ(ComboBox2->currentText());
  if (form == u"CSV") {
    Report(RunBusy(ctx_.dialogs,
                   [&] { return postal::Cnv(ctx_.env, year, month, FromQ(Edit1->text())); }));
    SetDefinitionEnabled(true);
  } else if (form == u"TSV") {
    if (IsBlank(FromQ(Edit2->text()))) {
      ctx_.dialogs.Warning(this, Q("変更定義ファイルを選択してください"));
      return;
    }
    Report(RunBusy(ctx_.dialogs, [&] {
      return postal::Cnv2(ctx_.env, year, month, FromQ(Edit1->text()), FromQ(Edit2->text()));
    }));
  }
}

}  // namespace tavo::ui

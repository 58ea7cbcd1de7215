#include "replace/ui/TfrmReplace.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/widgets.h"
#include "ui/window_behaviour.h"
#include "core/errors.h"
#include "core/files.h"

namespace tavo::ui {

TfrmReplace::TfrmReplace(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  InitToolWindow(this, "リプレース", 348, 228);

  BitBtn1 = MakeButton(this, "BitBtn1", "閉じる(&C)", QRect(248, 10, 90, 28));
  Button2 = MakeButton(this, "Button2", "変換前ファイル選択", QRect(16, 46, 170, 28));
  Button4 = MakeButton(this, "Button4", "変換定義ファイル選択", QRect(16, 46, 170, 28));
  Label2 = MakeLabel(this, "Label2", "変換前ファイル：", QRect(16, 84, 316, 18));
  Edit1 = MakeEdit(this, "Edit1", QRect(16, 102, 316, 24));
  Label1 = MakeLabel(this, "Label1", "変更定義ファイル：", QRect(16, 134, 316, 18));
  Edit3 = MakeEdit(this, "Edit3", QRect(16, 152, 316, 24));
  Button1 = MakeButton(this, "Button1", "変換実行", QRect(16, 190, 120, 28));

  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button1, &QPushButton::clicked, this, &TfrmReplace::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TfrmReplace::Button2Click);
  connect(Button4, &QPushButton::clicked, this, &TfrmReplace::Button4Click);
  TakeDroppedFile(ctx_, Edit1, [this](const QString& path) { AcceptInput(path); });
  // Mode 2 asks for both receipt files first, as Button4 does.
  TakeDroppedFile(ctx_, Edit3, [this](const QString& path) {
    if (minKbn != 2 || ReceiptFilesChosen()) AcceptDefinition(path);
  });
  // Mode 2 hides Button2: the focus then starts on Button4, which stands in its place.
  FinishWindow(this, Button2);

  InitSet();
}

void TfrmReplace::InitSet() {
  Edit1->clear();
  Edit3->clear();
  Button4->hide();
  Button2->show();
  Edit1->show();
  Label2->show();
  setWindowTitle(Q("リプレース"));
  if (minKbn == 2) {
    setWindowTitle(Q("リプレース２"));
    Button2->hide();
    Button4->show();
    Edit1->hide();
    Label2->hide();
  }
  FList.clear();
  map_.Clear();
  mlsDefLines.clear();
}

bool TfrmReplace::DspSet(int pinKbn, const QString& pstFile, const QString& pstFile2) {
  minKbn = pinKbn;
  mstFile1 = pstFile;
  mstFile2 = pstFile2;
  InitSet();
  ctx_.dialogs.ShowModal(this);
  return true;
}

void TfrmReplace::SelectDefinition() {
  ctx_.dialogs.Info(this, Q("変換定義ファイルファイルを選択します"));
  AcceptDefinition(OpenFileFor(ctx_, this, Edit3));
}

void TfrmReplace::AcceptDefinition(const QString& chosen) {
  if (!chosen.isEmpty()) {
    try {
      mlsDefLines = replace::LoadDefinitionLines(FromQ(chosen));
    } catch (const OpError& e) {
      ctx_.dialogs.Error(this, Q(e.text()));
      return;
    }
  }
  if (mlsDefLines.empty()) {
    ctx_.dialogs.Warning(this, Q(replace::NotDefinitionText()));
  } else if (!chosen.isEmpty()) {
    Edit3->setText(chosen);
  }
}

void TfrmReplace::Button2Click() {
  ctx_.dialogs.Info(this, Q("変換前ファイルを選択します"));
  AcceptInput(OpenFileFor(ctx_, this, Edit1));
  SelectDefinition();
}

void TfrmReplace::AcceptInput(const QString& chosen) {
  bool readable = true;
  if (!chosen.isEmpty()) {
    try {
      FList = LoadLeadingLines(PathFromText(FromQ(chosen)), 1);  // the check needs one line
    } catch (const OpError& e) {
      ctx_.dialogs.Error(this, Q(e.text()));
      readable = false;
    }
  }
  if (readable) {
    if (FList.empty()) {
      ctx_.dialogs.Warning(this, Q("正しいFFファイルではありません。"));
    } else if (!chosen.isEmpty()) {
      Edit1->setText(chosen);
    }
  }
}

void TfrmReplace::Button4Click() {
  if (ReceiptFilesChosen()) SelectDefinition();
}

bool TfrmReplace::ReceiptFilesChosen() {
  const bool blank1 = IsBlank(FromQ(mstFile1));
  const bool blank2 = IsBlank(FromQ(mstFile2));
  if (!blank1 && !blank2) return true;
  if (blank1 && blank2) {
    ctx_.dialogs.Warning(
        this,
        Q("社保および国保のレセ電ファイルの選択がありません。起動時の画面で選択してください"));
  } else if (blank1) {
    ctx_.dialogs.Warning(
        this, Q("社保のレセ電ファイルの選択がありません。起動時の画面で選択してください"));
  } else {
    ctx_.dialogs.Warning(
        this, Q("国保のレセ電ファイルの選択がありません。起動時の画面で選択してください"));
  }
  return false;
}

void TfrmReplace::Report(const RunResult& result) { ReportRun(ctx_, this, result); }

// Each run of the click reports on its own: its messages, and its own
// confirmation window only when it wrote its file.
void TfrmReplace::Button1Click() {
  const Text definition = FromQ(Edit3->text());
  if (minKbn == 2) {
    const std::vector<Text> files = {FromQ(mstFile1), FromQ(mstFile2)};
    RunResult load;
    if (!RunBusy(ctx_.dialogs,
                 [&] { return replace::LoadForRun(2, definition, files, map_, load); })) {
      Report(load);
      return;
    }
    // The 国保 run starts after the 社保 window is closed, unless the 社保 run
    // ended the click.
    ClickOutputs click;
    for (const Text& file : files) {
      const RunResult result =
          RunBusy(ctx_.dialogs, [&] { return replace::Cnv2(ctx_.env, file, map_, &click); });
      Report(result);
      if (result.stopped) return;
    }
    return;
  }
  const Text file = FromQ(Edit1->text());
  RunResult load;
  if (!RunBusy(ctx_.dialogs,
               [&] { return replace::LoadForRun(1, definition, {file}, map_, load); })) {
    Report(load);
    return;
  }
  Report(RunBusy(ctx_.dialogs, [&] { return replace::Cnv(ctx_.env, file, map_); }));
}

}  // namespace tavo::ui

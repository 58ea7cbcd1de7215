#include "ff1/ui/TfrmFF1MergeVCL2.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/widgets.h"
#include "ui/window_behaviour.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/ini.h"
#include "core/run_history.h"
#include "ff1/ff1_link.h"

namespace tavo::ui {

namespace {
const char16_t kSection[] = u"PARAM";
const char16_t kKeyFF1[] = u"SAVEFF1";

// This window reports in a message box, not the confirmation window: a run
// that wrote its file shows its messages and counts in one information box.
RunResult WithOneSuccessBox(RunResult result) {
  if (!result.wrote()) return result;
  std::vector<Text> lines;
  for (const Message& m : result.messages) lines.push_back(m.text);
  lines.insert(lines.end(), result.counts.begin(), result.counts.end());
  Text box;
  for (const Text& line : lines) box += (box.empty() ? Text() : Text(u"\r\n")) + line;
  result.messages = {{MsgKind::Info, box}};
  return result;
}
}  // namespace

TfrmFF1MergeVCL2::TfrmFF1MergeVCL2(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  InitToolWindow(this, "FF1連携", 477, 211);
  setAttribute(Qt::WA_DeleteOnClose, false);

  BitBtn1 = MakeButton(this, "BitBtn1", "閉じる(&C)", QRect(377, 10, 90, 28));
  Label1 = MakeLabel(this, "Label1", "連携ファイル該当年月：", QRect(16, 48, 160, 24));
  Edit3 = MakeEdit(this, "Edit3", QRect(176, 48, 100, 24));
  Button3 = MakeButton(this, "Button3", "電カル連携ファイル選択", QRect(16, 84, 180, 28));
  Label2 = MakeLabel(this, "Label2", "（省略可）", QRect(204, 86, 120, 24));
  Edit4 = MakeEdit(this, "Edit4", QRect(16, 118, 445, 24));
  Button2 = MakeButton(this, "Button2", "FF1連携ファイル作成", QRect(16, 160, 180, 34));
  Edit2 = MakeEdit(this, "Edit2", QRect(16, 0, 10, 24));
  Edit2->hide();
  edtInDir = MakeEdit(this, "edtInDir", QRect(16, 0, 10, 24));
  edtInDir->hide();

  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button3, &QPushButton::clicked, this, &TfrmFF1MergeVCL2::Button3Click);
  connect(Button2, &QPushButton::clicked, this, &TfrmFF1MergeVCL2::Button2Click);
  TakeDroppedFileInto(ctx_, Edit4);
  FinishWindow(this, Edit3);

  InitSet();
}

void TfrmFF1MergeVCL2::InitSet() {
  Edit2->setText(Q(PathText(ctx_.env.programDir / ff1::kSpecFileName)));
  Edit3->clear();
  Edit4->clear();
  edtInDir->clear();
}

void TfrmFF1MergeVCL2::FormShow() {
  const Text value = IFReadIniStr(ctx_.env.programDir, kSection, kKeyFF1, u"");
  if (IsBlank(value))
    IFWriteIniStr(ctx_.env.programDir, kSection, kKeyFF1, PathText(ctx_.env.nivaFf1Dir));
}

bool TfrmFF1MergeVCL2::DspSet() {
  FormShow();
  ctx_.dialogs.ShowModal(this);
  return true;
}

void TfrmFF1MergeVCL2::Button3Click() { ChooseFileInto(ctx_, this, Edit4); }

void TfrmFF1MergeVCL2::Button2Click() {
  ff1::FF1LinkParams params;
  params.YearMonth = FromQ(Edit3->text());
  const Text inDir = IFReadIniStr(ctx_.env.programDir, kSection, kKeyFF1, u"");
  edtInDir->setText(Q(inDir));
  params.InDir = inDir;
  params.OutDir = ctx_.env.downloadsDir;
  params.SpecCsv = PathFromText(FromQ(Edit2->text()));
  params.AppendCsv = PathFromText(FromQ(Edit4->text()));

  Button2->setEnabled(false);
  const RunResult result = RunBusy(ctx_.dialogs, [&] { return ff1::RunFF1Link(params); });
  Button2->setEnabled(true);
  RecordRun(ctx_.env.programDir, result);
  ShowMessages(ctx_.dialogs, this, WithOneSuccessBox(result));
}

}  // namespace tavo::ui

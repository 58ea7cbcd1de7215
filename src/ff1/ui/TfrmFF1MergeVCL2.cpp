#include "ff1/ui/TfrmFF1MergeVCL2.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/errors.h"
#include "core/ini.h"
#include "ff1/ff1_link.h"

namespace tavo::ui {

namespace {
const char16_t kSection[] = u"PARAM";
const char16_t kKeyFF1[] = u"SAVEFF1";
}  // namespace

TfrmFF1MergeVCL2::TfrmFF1MergeVCL2(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setWindowTitle(Q("FF1連携"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setAttribute(Qt::WA_DeleteOnClose, false);
  ApplyWindowFont(this);
  SetClientSize(this, 477, 211);

  auto button = [this](const char* name, const char* caption, int x, int y, int w, int h) {
    auto* b = new QPushButton(Q(caption), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    b->setGeometry(x, y, w, h);
    return b;
  };
  auto label = [this](const char* name, const char* caption, int x, int y, int w) {
    auto* l = new QLabel(Q(caption), this);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(x, y, w, 24);
    return l;
  };
  auto edit = [this](const char* name, int x, int y, int w) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(x, y, w, 24);
    return e;
  };

  BitBtn1 = button("BitBtn1", "閉じる(&C)", 377, 10, 90, 28);
  Label1 = label("Label1", "連携ファイル該当年月：", 16, 48, 160);
  Edit3 = edit("Edit3", 176, 48, 100);
  Button3 = button("Button3", "電カル連携ファイル選択", 16, 84, 180, 28);
  Label2 = label("Label2", "（省略可）", 204, 86, 120);
  Edit4 = edit("Edit4", 16, 118, 445);
  Button2 = button("Button2", "FF1連携ファイル作成", 16, 160, 180, 34);
  Edit2 = edit("Edit2", 16, 0, 10);
  Edit2->hide();
  edtInDir = edit("edtInDir", 16, 0, 10);
  edtInDir->hide();

  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button3, &QPushButton::clicked, this, &TfrmFF1MergeVCL2::Button3Click);
  connect(Button2, &QPushButton::clicked, this, &TfrmFF1MergeVCL2::Button2Click);

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

void TfrmFF1MergeVCL2::Button3Click() {
  const QString file = ctx_.dialogs.OpenFile(this);
  if (!file.isEmpty()) Edit4->setText(file);
}

void TfrmFF1MergeVCL2::Button2Click() {
  ff1::FF1LinkParams params;
  params.YearMonth = Trim(FromQ(Edit3->text()));
  if (params.YearMonth.empty()) {
    ctx_.dialogs.Info(this, Q("連携ファイル該当年月を入力してください"));
    return;
  }
  const Text inDir = IFReadIniStr(ctx_.env.programDir, kSection, kKeyFF1, u"");
  edtInDir->setText(Q(inDir));
  params.InDir = inDir;
  params.OutDir = ctx_.env.downloadsDir;
  params.SpecCsv = PathFromText(FromQ(Edit2->text()));
  params.AppendCsv = PathFromText(FromQ(Edit4->text()));

  RunResult result;
  Button2->setEnabled(false);
  {
    BusyCursor busy(ctx_.dialogs);
    result = ff1::RunFF1Link(params);
  }
  Button2->setEnabled(true);
  ShowMessages(ctx_.dialogs, this, result);
}

}  // namespace tavo::ui

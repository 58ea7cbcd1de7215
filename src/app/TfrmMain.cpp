#include "app/TfrmMain.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "app/TfrmOption.h"
#include "app/TfrmSyosai.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/ini.h"
#include "core/run_history.h"
#include "receipt/receipt_ops.h"
#include "ui/TfrmMsg.h"
#include "ui/widgets.h"
#include "ui/window_behaviour.h"

namespace tavo::ui {

namespace {
bool IsBlankQ(const QString& s) { return IsBlank(FromQ(s)); }
}  // namespace

TfrmMain::TfrmMain(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  InitToolWindow(this, "NIVAサポートツール", 348, 412, Qt::Window);
  // Label height 20 and edit height 26 on this window.
  auto button = [this](const char* name, const char* caption, int x, int y, int w, int h) {
    return MakeButton(this, name, caption, QRect(x, y, w, h));
  };
  auto label = [this](const char* name, const char* caption, int x, int y, int w) {
    return MakeLabel(this, name, caption, QRect(x, y, w, 20));
  };
  auto edit = [this](const char* name, int x, int y, int w) {
    return MakeEdit(this, name, QRect(x, y, w, 26));
  };

  Button5 = button("Button5", "マニュアル", 12, 10, 100, 30);
  BitBtn1 = button("BitBtn1", "閉じる(&C)", 236, 10, 100, 30);
  Button3 = button("Button3", "ファイル選択", 12, 52, 324, 34);
  Label2 = label("Label2", "社保レセ電データ：", 12, 94, 324);
  Edit1 = edit("Edit1", 12, 114, 324);
  Label3 = label("Label3", "国保レセ電データ：", 12, 146, 324);
  Edit2 = edit("Edit2", 12, 166, 324);
  Button1 = button("Button1", "レセ電データ匿名化", 12, 204, 324, 34);
  Button2 = button("Button2", "レセ電データ枝番除去", 12, 246, 324, 34);
  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  ComboBox1->setGeometry(12, 288, 324, 28);
  ComboBox1->addItem(Q("記号「-」「*」「/」より後を除去する"));
  ComboBox1->addItem(Q("指定の位置の文字以外を除去する"));
  ComboBox1->setAttribute(Qt::WA_InputMethodEnabled, false);
  Edit4 = edit("Edit4", 12, 324, 60);
  Label4 = label("Label4", "番目から", 78, 327, 80);
  Edit5 = edit("Edit5", 162, 324, 60);
  Label5 = label("Label5", "番目", 228, 327, 60);
  for (QLineEdit* e : {Edit4, Edit5}) e->setAttribute(Qt::WA_InputMethodEnabled, false);
  Button4 = button("Button4", "詳細設定", 12, 360, 150, 30);
  Button6 = button("Button6", "オプション", 186, 360, 150, 30);
  Label8 = label("Label8", "Ver.1.1.0.13", 186, 392, 150);
  Label8->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  connect(BitBtn1, &QPushButton::clicked, this, &QWidget::close);
  connect(Button1, &QPushButton::clicked, this, &TfrmMain::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TfrmMain::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TfrmMain::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TfrmMain::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TfrmMain::Button5Click);
  connect(Button6, &QPushButton::clicked, this, &TfrmMain::Button6Click);
  connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TfrmMain::ComboBox1Change);
  TakeDroppedFiles(ctx_, this, 2, [this](const QStringList& paths) { TakeReceiptFiles(paths); });
  FinishWindow(this, Button3, EscKey::Ignored);

  InitSet();
}

void TfrmMain::InitSet() {
  Edit1->clear();
  Edit2->clear();
  Edit4->clear();
  Edit5->clear();
  const int index = ToInt32Def(IFReadIniStr(ctx_.env.programDir, u"PARAM", u"CB1", u"0"), 0);
  ComboBox1->setCurrentIndex(index == 0 || index == 1 ? index : -1);
  ComboBox1Change();
}

void TfrmMain::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // After the window is on the screen, so that the warning stands in front of it.
  QMetaObject::invokeMethod(this, &TfrmMain::FormShow, Qt::QueuedConnection);
}

void TfrmMain::FormShow() {
  if (FolderExists(ctx_.env.nivaDir)) return;
  ctx_.dialogs.Warning(this, Q("NIVAがインストールされていないので、サポートツールを終了します"));
  close();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  FormClose();
  QDialog::closeEvent(event);
}

void TfrmMain::done(int r) {
  FormClose();
  QDialog::done(r);
}

void TfrmMain::FormClose() {
  if (closed_) return;
  closed_ = true;
  IFWriteIniStr(ctx_.env.programDir, u"PARAM", u"CB1", IntToText(ComboBox1->currentIndex()));
}

void TfrmMain::ComboBox1Change() {
  const bool positions = ComboBox1->currentIndex() == 1;
  for (QWidget* w : std::initializer_list<QWidget*>{Edit4, Edit5, Label4, Label5})
    w->setVisible(positions);
}

template <typename Run>
void TfrmMain::RunBoth(const char* what, Run run) {
  // One click, one account: the confirmation window hands over only what this
  // click wrote, never an output an earlier click left in the program folder.
  gstMsg.clear();
  gstFile1.clear();
  gstFile2.clear();
  QStringList counts;
  for (auto [edit, kind] : {std::pair{Edit1, receipt::ReceiptKind::Shaho},
                            std::pair{Edit2, receipt::ReceiptKind::Kokuho}}) {
    RunResult result;
    {
      BusyCursor busy(ctx_.dialogs);
      result = run(FromQ(edit->text()), kind);
    }
    RecordRun(ctx_.env.programDir, result);
    ShowMessages(ctx_.dialogs, this, result);
    if (!result.gstFile1.empty()) gstFile1 = Q(result.gstFile1);
    if (!result.gstFile2.empty()) gstFile2 = Q(result.gstFile2);
    counts << CountLines(result);
    if (result.stopped) return;
  }
  if (gstFile1.isEmpty() && gstFile2.isEmpty()) return;  // the warnings said why
  const char* kinds = gstFile2.isEmpty()   ? "社保の"
                      : gstFile1.isEmpty() ? "国保の"
                                           : "社保と国保の";
  gstMsg = Q(kinds) + Q(what) + Q("が作成されました");
  TfrmMsg frmMsg(ctx_, this);
  frmMsg.DspSet(gstMsg, gstFile1, gstFile2, counts);
}

void TfrmMain::Button1Click() {
  ClickOutputs click;
  RunBoth("匿名化ファイル", [&](const Text& file, receipt::ReceiptKind kind) {
    return receipt::AnonymizeReceipt(ctx_.env, file, &click, kind);
  });
}

void TfrmMain::Button2Click() {
  const receipt::BranchOptions options{ComboBox1->currentIndex(), FromQ(Edit4->text()),
                                       FromQ(Edit5->text())};
  ClickOutputs click;
  RunBoth("枝番除去ファイル", [&](const Text& file, receipt::ReceiptKind kind) {
    return receipt::RemoveBranchNumbers(ctx_.env, file, options, &click, kind);
  });
}

char16_t TfrmMain::ReceiptKind(const QString& path, bool& failed) {
  failed = false;
  try {
    const std::vector<Text> lines = LoadLeadingLines(PathFromText(FromQ(path)), 1);
    return !lines.empty() && lines[0].size() >= 4 ? lines[0][3] : u'\0';
  } catch (const OpError& e) {
    ctx_.dialogs.Error(this, Q(e.text()));
  } catch (const std::exception& e) {
    ctx_.dialogs.Error(this, QString::fromLocal8Bit(e.what()));
  }
  failed = true;
  return u'\0';
}

void TfrmMain::Button3Click() {
  while (!IsBlankQ(Edit1->text()) && !IsBlankQ(Edit2->text())) {
    if (!ctx_.dialogs.Confirm(this, Q("新しいレセ電ファイルを選択しますか？"))) return;
    Edit1->clear();
    Edit2->clear();
  }
  bool failed = false;
  if (IsBlankQ(Edit1->text())) {
    ctx_.dialogs.Info(this, Q("社保のレセ電データファイルを選択します"));
    const QString path = OpenFileFor(ctx_, this, Edit1);
    if (!path.isEmpty()) {
      if (ReceiptKind(path, failed) == u'1')
        Edit1->setText(path);
      else if (failed)
        return;
      else
        ctx_.dialogs.Warning(this, Q("社保のレセ電データではありません。"));
    }
  }
  if (IsBlankQ(Edit2->text())) {
    ctx_.dialogs.Info(this, Q("国保のレセ電データファイルを選択します"));
    const QString path = OpenFileFor(ctx_, this, Edit2);
    if (path.isEmpty()) return;
    if (ReceiptKind(path, failed) == u'2')
      Edit2->setText(path);
    else if (!failed)
      ctx_.dialogs.Warning(this, Q("国保のレセ電データではありません。"));
  }
}

void TfrmMain::TakeReceiptFiles(const QStringList& paths) {
  // Every file is tested before a box changes, so that a refused drop changes nothing.
  QString shaho;
  QString kokuho;
  for (const QString& path : paths) {
    bool failed = false;
    const char16_t kind = ReceiptKind(path, failed);
    if (failed) return;
    QString* box = kind == u'1' ? &shaho : kind == u'2' ? &kokuho : nullptr;
    if (!box) {
      ctx_.dialogs.Warning(this, path + Q("\n社保・国保のレセ電データではありません。"));
      return;
    }
    if (!box->isEmpty()) {
      ctx_.dialogs.Warning(this, Q(kind == u'1' ? "社保のレセ電データが2つドロップされました。"
                                                : "国保のレセ電データが2つドロップされました。") +
                                     Q("社保と国保を1つずつドロップしてください。"));
      return;
    }
    *box = path;
  }
  if (!shaho.isEmpty()) Edit1->setText(shaho);
  if (!kokuho.isEmpty()) Edit2->setText(kokuho);
}

void TfrmMain::Button4Click() {
  TfrmSyosai frmSyosai(ctx_, this);
  frmSyosai.DspSet();
}

void TfrmMain::GoToURL(const QString& DocName) {
  if (!ctx_.dialogs.OpenUrl(DocName)) ctx_.dialogs.Warning(this, Q("ファイルを選択します"));
}

void TfrmMain::Button5Click() { GoToURL(QString::fromLatin1(kManualUrl)); }

void TfrmMain::Button6Click() {
  TfrmOption frmOption(ctx_, this);
  frmOption.DspSet(Edit1->text(), Edit2->text());
}

}  // namespace tavo::ui

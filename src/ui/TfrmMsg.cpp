#include "ui/TfrmMsg.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextBoundaryFinder>
#include <algorithm>

#include "core/ini.h"
#include "core/output_folder.h"
#include "core/run_history.h"
#include "ui/widgets.h"
#include "ui/window_behaviour.h"

namespace tavo::ui {

namespace {
// The layout for a message of ordinary length: client area 329 x 96.
constexpr int kMargin = 12;
constexpr int kTop = 10;
constexpr int kLabelWidth = 305;
constexpr int kLabelHeight = 40;
constexpr int kButtonWidth = 125;
constexpr int kButtonHeight = 30;
constexpr int kGap = 6;

// Width of the widest piece of `text` that a line may not be broken in.
int WidestUnbreakable(const QString& text, const QFontMetrics& metrics) {
  QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text);
  int widest = 0;
  int start = 0;
  while (breaks.toNextBoundary() != -1) {
    const int end = static_cast<int>(breaks.position());
    widest = std::max(widest, metrics.horizontalAdvance(text.mid(start, end - start).trimmed()));
    start = end;
  }
  return widest;
}

// `text` with a break allowed after every character: for a name wider than the screen.
QString BreakAnywhere(const QString& text) {
  QString out;
  for (const QChar c : text) {
    out += c;
    if (!c.isHighSurrogate()) out += QChar(0x200B);
  }
  return out;
}
}  // namespace

TfrmMsg::TfrmMsg(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  InitToolWindow(this, "確認", 329, 96);

  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(kMargin, kTop, kLabelWidth, kLabelHeight);
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setWordWrap(true);
  Label2 = new QLabel(this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setAlignment(Qt::AlignCenter);
  Label2->setWordWrap(true);
  Label2->hide();
  Button1 = new QPushButton(Q("ダウンロード"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry((329 - kButtonWidth) / 2, kTop + kLabelHeight + kGap, kButtonWidth,
                       kButtonHeight);
  connect(Button1, &QPushButton::clicked, this, &TfrmMsg::Button1Click);
  FinishWindow(this, Button1);

  InitSet();
}

void TfrmMsg::InitSet() {
  gstPath = Q(IFReadIniStr(ctx_.env.programDir, u"PARAM", u"SAVEFDR", u""));
  Button1->setText(IsBlank(FromQ(gstPath)) ? Q("ダウンロード") : Q("保存"));
}

bool TfrmMsg::DspSet(const QString& pstMsg, const QString& pstFile1, const QString& pstFile2) {
  return DspSet(pstMsg, pstFile1, pstFile2, {});
}

bool TfrmMsg::DspSet(const QString& pstMsg, const QString& pstFile1, const QString& pstFile2,
                     const QStringList& counts) {
  Label2->setText(counts.join(QLatin1Char('\n')));
  Label2->setVisible(!counts.isEmpty());
  gstMsg = pstMsg;
  gstFile1 = pstFile1;
  gstFile2 = pstFile2;
  Label1->setText(gstMsg);
  FitToMessage();
  ctx_.dialogs.ShowModal(this);
  return true;
}

void TfrmMsg::FitToMessage() {
  // A long file name is shown whole: the window widens until the longest name fits on a line
  // (as far as the screen allows) and grows in height for the lines the message wraps into.
  const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  const int screenWidth = screen ? screen->availableGeometry().width() : 1024;
  const int widest = std::max(kLabelWidth, screenWidth - 2 * kMargin - 40);
  const int needed = WidestUnbreakable(gstMsg, QFontMetrics(Label1->font())) + 4;
  if (needed > widest) Label1->setText(BreakAnywhere(gstMsg));
  const int labelWidth = std::clamp(needed, kLabelWidth, widest);
  const int labelHeight = std::max(kLabelHeight, Label1->heightForWidth(labelWidth));
  const int width = labelWidth + 2 * kMargin;
  Label1->setGeometry(kMargin, kTop, labelWidth, labelHeight);
  int buttonTop = kTop + labelHeight + kGap;
  if (Label2->isVisibleTo(this)) {
    const int countsHeight = Label2->heightForWidth(labelWidth);
    Label2->setGeometry(kMargin, buttonTop, labelWidth, countsHeight);
    buttonTop += countsHeight + kGap;
  }
  Button1->setGeometry((width - kButtonWidth) / 2, buttonTop, kButtonWidth, kButtonHeight);
  SetClientSize(this, width, buttonTop + kButtonHeight + kTop);
}

void TfrmMsg::Button1Click() {
  const Text svChg = IFReadIniStr(ctx_.env.programDir, u"PARAM", u"SVCHG", u"");
  OutputMoveResult moved;
  {
    BusyCursor busy(ctx_.dialogs);
    moved = MoveOutputs(ctx_.env, FromQ(gstFile1), FromQ(gstFile2), FromQ(gstPath), svChg);
  }
  RecordMove(ctx_.env.programDir, moved);
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

#include "ui/widgets.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/files.h"
#include "core/ini.h"
#include "core/run_history.h"
#include "ui/TfrmMsg.h"

namespace tavo::ui {

void InitToolWindow(QDialog* window, const char* caption, int width, int height,
                    Qt::WindowFlags kind) {
  window->setWindowTitle(Q(caption));
  // The fixed-size hint takes the sizing border away on Windows, so that the
  // window manager offers no resizing (a window dragged larger than its fixed
  // size shows an unpainted area).
  window->setWindowFlags(kind | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  ApplyWindowFont(window);
  SetClientSize(window, width, height);
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, const QRect& rect) {
  auto* b = new QPushButton(Q(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  b->setGeometry(rect);
  return b;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, const QRect& rect) {
  auto* l = new QLabel(Q(caption), parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setGeometry(rect);
  return l;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QRect& rect) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setGeometry(rect);
  return e;
}

QComboBox* MakeDigitCombo(QWidget* parent, const char* name, const QRect& rect) {
  auto* c = new QComboBox(parent);
  c->setObjectName(QString::fromLatin1(name));
  c->setEditable(true);
  c->setInsertPolicy(QComboBox::NoInsert);
  c->setAttribute(Qt::WA_InputMethodEnabled, false);
  c->lineEdit()->setAttribute(Qt::WA_InputMethodEnabled, false);
  c->setGeometry(rect);
  return c;
}

QString TwoDigits(int n) { return QString::asprintf("%02d", n); }

void MakeYearMonthPanel(QWidget* parent, QFrame*& panel, QComboBox*& year, QLabel*& yearLabel,
                        QComboBox*& month, QLabel*& monthLabel) {
  panel = new QFrame(parent);
  panel->setObjectName(QStringLiteral("Panel1"));
  panel->setFrameShape(QFrame::StyledPanel);
  panel->setGeometry(16, 40, 200, 40);
  year = MakeDigitCombo(panel, "ComboBox1", QRect(8, 8, 56, 24));
  yearLabel = MakeLabel(panel, "Label5", "年", QRect(68, 11, 24, 18));
  month = MakeDigitCombo(panel, "ComboBox2", QRect(100, 8, 56, 24));
  monthLabel = MakeLabel(panel, "Label6", "月", QRect(160, 11, 24, 18));
  for (int m = 1; m <= 12; ++m) month->addItem(TwoDigits(m));
}

void ResetYearMonth(QComboBox* year, QComboBox* month, const Date& today) {
  year->clear();
  for (int shift : {-12, 0, 12}) year->addItem(Q(EraYear2(AddMonths(today, shift))));
  year->setEditText(Q(EraYear2(today)));
  month->setEditText(TwoDigits(today.month));
}

QStringList CountLines(const RunResult& result) {
  QStringList lines;
  for (const Text& line : result.counts) lines << Q(line);
  return lines;
}

void ReportRun(AppContext& ctx, QWidget* parent, const RunResult& result) {
  RecordRun(ctx.env.programDir, result);
  ShowMessages(ctx.dialogs, parent, result);
  if (!result.wrote()) return;
  TfrmMsg(ctx, parent)
      .DspSet(Q(result.gstMsg), Q(result.gstFile1), Q(result.gstFile2), CountLines(result));
}

namespace {

const char16_t kFoldersSection[] = u"FOLDERS";

// The key of a box among the remembered folders: its window's class and its own name.
Text FolderKey(const QWidget* box) {
  QString window = QString::fromLatin1(box->window()->metaObject()->className());
  window = window.mid(window.lastIndexOf(QLatin1Char(':')) + 1);
  return FromQ(window + QLatin1Char('.') + box->objectName());
}

QString RememberedFolder(AppContext& ctx, const QWidget* box) {
  const Text folder = Trim(IFReadIniStr(ctx.env.programDir, kFoldersSection, FolderKey(box), u""));
  // A folder that has gone since is not offered: the dialog then opens where the platform likes.
  if (folder.empty() || !FolderExists(PathFromText(folder))) return QString();
  return Q(folder);
}

void RememberFolder(AppContext& ctx, const QWidget* box, const QString& folder) {
  IFWriteIniStr(ctx.env.programDir, kFoldersSection, FolderKey(box),
                FromQ(QDir::toNativeSeparators(folder)));
}

}  // namespace

QString OpenFileFor(AppContext& ctx, QWidget* parent, const QWidget* box) {
  const QString chosen = ctx.dialogs.OpenFile(parent, RememberedFolder(ctx, box));
  if (!chosen.isEmpty()) RememberFolder(ctx, box, QFileInfo(chosen).absolutePath());
  return chosen;
}

QString SelectFolderFor(AppContext& ctx, QWidget* parent, const QWidget* box, const QString& prompt,
                        const QString& startDir) {
  const QString start = IsBlank(FromQ(startDir)) ? RememberedFolder(ctx, box) : startDir;
  const QString chosen = ctx.dialogs.SelectFolder(parent, prompt, start);
  if (!chosen.isEmpty()) RememberFolder(ctx, box, chosen);
  return chosen;
}

QString ChooseFileInto(AppContext& ctx, QWidget* parent, QLineEdit* edit, const char* prompt) {
  if (prompt) ctx.dialogs.Info(parent, Q(prompt));
  const QString chosen = OpenFileFor(ctx, parent, edit);
  if (!chosen.isEmpty()) edit->setText(chosen);
  return chosen;
}

}  // namespace tavo::ui

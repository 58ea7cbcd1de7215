#include "ui/qt_dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace tavo::ui {

QString PathsMayWrap(const QString& text) {
  QString out;
  out.reserve(text.size() + text.size() / 8);
  for (const QChar c : text) {
    out += c;
    if (c == QLatin1Char('\\') || c == QLatin1Char('/')) out += QChar(0x200B);
  }
  return out;
}

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, QMessageBox::Icon icon,
                                            const QString& title, const QString& text) {
  auto box =
      std::make_unique<QMessageBox>(icon, title, PathsMayWrap(text), QMessageBox::NoButton, parent);
  box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  return box;
}

namespace {
void Box(QWidget* parent, QMessageBox::Icon icon, const char* title, const QString& text) {
  MakeMessageBox(parent, icon, QString::fromUtf8(title), text)->exec();
}
}  // namespace

void QtDialogs::Warning(QWidget* parent, const QString& text) {
  Box(parent, QMessageBox::Warning, "警告", text);
}
void QtDialogs::Info(QWidget* parent, const QString& text) {
  Box(parent, QMessageBox::Information, "情報", text);
}
void QtDialogs::Error(QWidget* parent, const QString& text) {
  Box(parent, QMessageBox::Critical, "エラー", text);
}

bool QtDialogs::Confirm(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Question, QString::fromUtf8("確認"), PathsMayWrap(text),
                  QMessageBox::NoButton, parent);
  QPushButton* yes = box.addButton(QString::fromUtf8("はい(&Y)"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QString::fromUtf8("いいえ(&N)"), QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes;
}

QString QtDialogs::OpenFile(QWidget* parent, const QString& startDir) {
  return QDir::toNativeSeparators(QFileDialog::getOpenFileName(parent, QString(), startDir));
}

QString QtDialogs::SelectFolder(QWidget* parent, const QString& prompt, const QString& startDir) {
  return QDir::toNativeSeparators(
      QFileDialog::getExistingDirectory(parent, prompt, startDir, QFileDialog::ShowDirsOnly));
}

int QtDialogs::ShowModal(QDialog* dialog) { return dialog->exec(); }

void QtDialogs::SetBusy(bool busy) {
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

bool QtDialogs::OpenUrl(const QString& url) {
  return QDesktopServices::openUrl(QUrl::fromUserInput(url));
}

}  // namespace tavo::ui

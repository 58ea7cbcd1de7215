// The main window: the two selected receipt files, the branch-removal mode,
// and the buttons that start every function of the program.
#pragma once

#include <QDialog>
#include <QStringList>

#include "ui/app_context.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tavo::ui {

// The manual, a PDF document on the support web server.
inline constexpr char kManualUrl[] = "https://support.niva-tavo.jp/manual/tavo_manual.pdf";

class TfrmMain : public QDialog {
  Q_OBJECT

 public:
  TfrmMain(AppContext& ctx, QWidget* parent = nullptr);
  void InitSet();
  void GoToURL(const QString& DocName);

 public slots:
  void FormShow();  // the NIVA installation check
  void ComboBox1Change();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();
  void Button6Click();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Every way of closing the window (close box, BitBtn1) ends here.
  void done(int r) override;

 private:
  void FormClose();
  // Runs one receipt operation on Edit1 then Edit2, then the confirmation window
  // with what this click wrote ("社保の" / "国保の" / "社保と国保の" + `what`).
  template <typename Run>
  void RunBoth(const char* what, Run run);
  // The kind test of a chosen file: the 4th character of its first line ('1' 社保, '2' 国保),
  // NUL when there is none; an unreadable file is reported and sets `failed`.
  char16_t ReceiptKind(const QString& path, bool& failed);
  // One or two receipt files dropped on the window, each into the box of its kind.
  void TakeReceiptFiles(const QStringList& paths);

  AppContext& ctx_;
  bool shown_ = false;
  bool closed_ = false;
  QString gstMsg;
  QString gstFile1;
  QString gstFile2;

  QPushButton* Button5;
  QPushButton* BitBtn1;
  QPushButton* Button3;
  QLabel* Label2;
  QLineEdit* Edit1;
  QLabel* Label3;
  QLineEdit* Edit2;
  QPushButton* Button1;
  QPushButton* Button2;
  QComboBox* ComboBox1;
  QLineEdit* Edit4;
  QLabel* Label4;
  QLineEdit* Edit5;
  QLabel* Label5;
  QPushButton* Button4;
  QPushButton* Button6;
  QLabel* Label8;
};

}  // namespace tavo::ui

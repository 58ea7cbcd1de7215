// The message boxes of the windowed program: a path in a message can be read whole.
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "app_fixture.h"
#include "gui_support/gallery.h"
#include "ui/qt_dialogs.h"

namespace tavo::test {
namespace {

TEST(MessageBoxTest, LongPathsWrapAtTheirSeparatorsAndShowWhole) {
  // Windows paths run to 260 characters; this one has no other place to break a line.
  const QString path =
      U("C:\\Users\\clinic_reception\\Documents\\receipt_claims\\2026_10\\"
        "shaho_and_kokuho\\final_check_before_submission\\corrected_version\\"
        "RECEIPTC_2026_10_SHAHO_FINAL_CHECKED_CORRECTED.UKE");
  const QString text = path + U("\nファイルを開けません。");
  auto box = ui::MakeMessageBox(nullptr, QMessageBox::Warning, U("警告"), text);
  SaveGallery(box.get(), U("MessageBox_long_path"));
  box->show();
  auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  ASSERT_NE(label, nullptr);
  // Only break opportunities were added: the text reads as given.
  EXPECT_EQ(QString(label->text()).remove(QChar(0x200B)), text);
  EXPECT_TRUE(ShowsWholeText(label));
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE(box->frameGeometry().width(), screen.width());
  box->hide();
}

TEST(MessageBoxTest, BreaksOnlyAfterSeparators) {
  const QChar zw(0x200B);
  EXPECT_EQ(ui::PathsMayWrap(U("a\\b/c")), U("a\\") + zw + U("b/") + zw + U("c"));
  EXPECT_EQ(ui::PathsMayWrap(U("ファイルがありません。")), U("ファイルがありません。"));
}

}  // namespace
}  // namespace tavo::test

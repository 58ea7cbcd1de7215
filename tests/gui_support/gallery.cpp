#include "gui_support/gallery.h"

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

namespace tavo::test {

QString SaveGallery(QWidget* window, const QString& name) {
  QDir().mkpath(QStringLiteral(TAVO_GALLERY_DIR));
  window->show();
  QApplication::processEvents();
  const QString file = QStringLiteral(TAVO_GALLERY_DIR) + QLatin1Char('/') + name + QStringLiteral(".png");
  window->grab().save(file);
  window->hide();
  return file;
}

bool ShowsWholeText(const QLabel* label) {
  const Qt::TextFlag wrap = label->wordWrap() ? Qt::TextWordWrap : Qt::TextSingleLine;
  const QRect text = QFontMetrics(label->font())
                         .boundingRect(QRect(0, 0, label->width(), 10000),
                                       static_cast<int>(label->alignment()) | wrap, label->text());
  return text.width() <= label->width() && text.height() <= label->height() &&
         label->window()->rect().contains(label->geometry());
}

}  // namespace tavo::test

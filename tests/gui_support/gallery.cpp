#include "gui_support/gallery.h"

#include <QApplication>
#include <QDir>
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

}  // namespace tavo::test

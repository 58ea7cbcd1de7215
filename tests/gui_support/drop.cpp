#include "gui_support/drop.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace tavo::test {

Qt::DropAction DropFiles(QWidget* target, const QStringList& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& p : paths) urls.push_back(QUrl::fromLocalFile(QDir::fromNativeSeparators(p)));
  data.setUrls(urls);
  const QPoint at = target->rect().center();
  // The file manager offers every action; the target must pick one.
  const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
  QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return Qt::IgnoreAction;
  QDragMoveEvent move(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &move);
  if (!move.isAccepted()) return Qt::IgnoreAction;
  QDropEvent drop(QPointF(at), offered, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  QApplication::processEvents();
  return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

}  // namespace tavo::test

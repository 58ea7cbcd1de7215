#include "ui/window_behaviour.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <algorithm>
#include <vector>

namespace tavo::ui {

namespace {

// The controls that Tab reaches, in the order they stand in the window: rows from top to
// bottom, each row from left to right. A control belongs to the row it starts in when its top
// lies above the middle of the row's first control.
std::vector<QWidget*> ControlsInLayoutOrder(QWidget* window) {
  struct Placed {
    QWidget* w;
    QRect r;  // in window coordinates
  };
  std::vector<Placed> placed;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    // Parts of compound controls (the edit box of a combo box) and popups are not stops.
    if (w->window() != window || w->focusProxy() || !(w->focusPolicy() & Qt::TabFocus)) continue;
    placed.push_back({w, QRect(w->mapTo(window, QPoint(0, 0)), w->size())});
  }
  std::stable_sort(placed.begin(), placed.end(),
                   [](const Placed& a, const Placed& b) { return a.r.top() < b.r.top(); });
  std::vector<QWidget*> order;
  for (std::size_t row = 0; row < placed.size();) {
    const int rowMiddle = placed[row].r.center().y();
    std::size_t end = row + 1;
    while (end < placed.size() && placed[end].r.top() <= rowMiddle) ++end;
    std::stable_sort(placed.begin() + row, placed.begin() + end,
                     [](const Placed& a, const Placed& b) { return a.r.left() < b.r.left(); });
    for (std::size_t i = row; i < end; ++i) order.push_back(placed[i].w);
    row = end;
  }
  return order;
}

void CentreOnScreen(QWidget* window) {
  QScreen* screen = window->parentWidget() ? window->parentWidget()->screen() : window->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const QSize frame = window->frameGeometry().size();
  window->move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
}

// Keys and first show of a window made by FinishWindow.
class WindowBehaviour : public QObject {
 public:
  WindowBehaviour(QDialog* window, QWidget* first, EscKey esc)
      : QObject(window), window_(window), first_(first), esc_(esc) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != window_) return false;
    if (event->type() == QEvent::Show && !shown_) {
      shown_ = true;
      CentreOnScreen(window_);
      FocusFirst();
    } else if (event->type() == QEvent::KeyPress) {
      return Key(static_cast<QKeyEvent*>(event));
    }
    return false;
  }

 private:
  // Keys that the focused control left to the window arrive here.
  bool Key(QKeyEvent* key) {
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::NoModifier) return false;
    switch (key->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (auto* button = qobject_cast<QPushButton*>(window_->focusWidget())) {
          if (button->isEnabled() && button->isVisible()) button->click();
        }
        // Never the default button: Enter in a box starts nothing.
        return true;
      case Qt::Key_Escape:
        if (esc_ == EscKey::Ignored) return true;
        window_->reject();
        return true;
      default:
        return false;
    }
  }

  void FocusFirst() {
    if (!first_) return;
    const std::vector<QWidget*> order = ControlsInLayoutOrder(window_);
    auto it = std::find(order.begin(), order.end(), first_.data());
    for (; it != order.end(); ++it) {
      if (!(*it)->isVisibleTo(window_) || !(*it)->isEnabled()) continue;
      QWidget* stop = *it;
      // A group of radio buttons is one stop: its checked item.
      if (auto* item = qobject_cast<QAbstractButton*>(stop); item && item->group()) {
        if (QAbstractButton* checked = item->group()->checkedButton()) stop = checked;
      }
      stop->setFocus(Qt::TabFocusReason);
      return;
    }
  }

  QDialog* window_;
  QPointer<QWidget> first_;
  EscKey esc_;
  bool shown_ = false;
};

}  // namespace

void FinishWindow(QDialog* window, QWidget* first, EscKey esc) {
  const std::vector<QWidget*> order = ControlsInLayoutOrder(window);
  for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
  window->installEventFilter(new WindowBehaviour(window, first, esc));
}

namespace {

bool IsFileDrag(const QMimeData* data) {
  if (!data || !data->hasUrls()) return false;
  const QList<QUrl> urls = data->urls();
  return !urls.isEmpty() &&
         std::all_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); });
}

// Takes file drags for a target; other drags (text into an edit box) stay with the control.
class DropTarget : public QObject {
 public:
  DropTarget(AppContext& ctx, QWidget* target, int maxFiles,
             std::function<void(const QStringList&)> take)
      : QObject(target), ctx_(ctx), target_(target), maxFiles_(maxFiles), take_(std::move(take)) {}

  bool eventFilter(QObject*, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
    auto* drop = static_cast<QDropEvent*>(event);  // the drag events derive from it
    if (!IsFileDrag(drop->mimeData())) return false;
    // Always a copy: the file manager must never take a move as leave to delete the source.
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop) {
      QStringList paths;
      for (const QUrl& url : drop->mimeData()->urls())
        paths.push_back(QDir::toNativeSeparators(url.toLocalFile()));
      // The file manager waits until the drop returns, so messages come after it.
      QMetaObject::invokeMethod(
          this, [this, paths] { Take(paths); }, Qt::QueuedConnection);
    }
    return true;
  }

 private:
  void Take(const QStringList& paths) {
    QWidget* window = target_->window();
    for (const QString& p : paths) {
      if (QFileInfo(p).isDir()) {
        ctx_.dialogs.Warning(window,
                             Q("フォルダはドロップできません。ファイルをドロップしてください。"));
        return;
      }
    }
    if (paths.size() > maxFiles_) {
      ctx_.dialogs.Warning(
          window, maxFiles_ == 1 ? Q("ドロップできるファイルは1つだけです。")
                                 : Q("ドロップできるファイルは%1つまでです。").arg(maxFiles_));
      return;
    }
    take_(paths);
  }

  AppContext& ctx_;
  QWidget* target_;
  int maxFiles_;
  std::function<void(const QStringList&)> take_;
};

}  // namespace

void TakeDroppedFiles(AppContext& ctx, QWidget* target, int maxFiles,
                      std::function<void(const QStringList&)> take) {
  auto* filter = new DropTarget(ctx, target, maxFiles, std::move(take));
  target->setAcceptDrops(true);
  target->installEventFilter(filter);
  for (QWidget* child : target->findChildren<QWidget*>()) {
    if (child->acceptDrops()) child->installEventFilter(filter);
  }
}

void TakeDroppedFile(AppContext& ctx, QWidget* box, std::function<void(const QString&)> take) {
  TakeDroppedFiles(ctx, box, 1,
                   [take = std::move(take)](const QStringList& paths) { take(paths.front()); });
}

void TakeDroppedFileInto(AppContext& ctx, QLineEdit* box) {
  TakeDroppedFile(ctx, box, [box](const QString& path) { box->setText(path); });
}

}  // namespace tavo::ui

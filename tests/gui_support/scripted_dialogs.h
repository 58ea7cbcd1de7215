// Dialogs with scripted answers for GUI tests: every message is recorded,
// confirmations and file/folder dialogs take the next queued answer, and a
// modal window is handed to a scripted handler instead of blocking.
#pragma once

#include <QDialog>
#include <QString>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/dialogs.h"

namespace tavo::test {

struct ShownMessage {
  std::string kind;  // "警告", "情報", "エラー", "確認"
  QString text;
};

class ScriptedDialogs : public ui::IDialogs {
 public:
  // Answers, consumed in order. An empty QString for a file/folder means "cancel".
  std::deque<bool> confirmAnswers;
  std::deque<QString> fileAnswers;
  std::deque<QString> folderAnswers;
  // Called with each window shown modally; the default closes it at once.
  // Handlers may be queued: the front one is taken for the next modal window.
  std::deque<std::function<void(QDialog*)>> modalHandlers;

  std::vector<ShownMessage> messages;
  std::vector<QString> modalTitles;  // captions of the windows shown modally
  std::vector<QString> fileStarts;   // start folder of each file dialog (empty: none)
  std::vector<QString> folderPrompts;
  std::vector<QString> folderStarts;
  std::vector<QString> openedUrls;
  bool openUrlFails = false;
  int busyDepth = 0;
  int busyMax = 0;

  void Warning(QWidget* parent, const QString& text) override;
  void Info(QWidget* parent, const QString& text) override;
  void Error(QWidget* parent, const QString& text) override;
  bool Confirm(QWidget* parent, const QString& text) override;
  QString OpenFile(QWidget* parent, const QString& startDir) override;
  QString SelectFolder(QWidget* parent, const QString& prompt, const QString& startDir) override;
  int ShowModal(QDialog* dialog) override;
  void SetBusy(bool busy) override;
  bool OpenUrl(const QString& url) override;

  // Messages as "kind: text" lines, for compact assertions.
  std::vector<std::string> MessageLines() const;
};

}  // namespace tavo::test

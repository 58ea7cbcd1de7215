#include "gui_support/scripted_dialogs.h"

#include <stdexcept>

namespace tavo::test {

void ScriptedDialogs::Warning(QWidget*, const QString& text) { messages.push_back({"警告", text}); }
void ScriptedDialogs::Info(QWidget*, const QString& text) { messages.push_back({"情報", text}); }
void ScriptedDialogs::Error(QWidget*, const QString& text) { messages.push_back({"エラー", text}); }

bool ScriptedDialogs::Confirm(QWidget*, const QString& text) {
  messages.push_back({"確認", text});
  if (confirmAnswers.empty()) throw std::logic_error("unscripted confirmation: " + text.toStdString());
  const bool a = confirmAnswers.front();
  confirmAnswers.pop_front();
  return a;
}

QString ScriptedDialogs::OpenFile(QWidget*, const QString& startDir) {
  fileStarts.push_back(startDir);
  if (fileAnswers.empty()) throw std::logic_error("unscripted file dialog");
  QString a = fileAnswers.front();
  fileAnswers.pop_front();
  return a;
}

QString ScriptedDialogs::SelectFolder(QWidget*, const QString& prompt, const QString& startDir) {
  folderPrompts.push_back(prompt);
  folderStarts.push_back(startDir);
  if (folderAnswers.empty()) throw std::logic_error("unscripted folder dialog");
  QString a = folderAnswers.front();
  folderAnswers.pop_front();
  return a;
}

int ScriptedDialogs::ShowModal(QDialog* dialog) {
  modalTitles.push_back(dialog->windowTitle());
  if (!modalHandlers.empty()) {
    auto handler = std::move(modalHandlers.front());
    modalHandlers.pop_front();
    if (handler) handler(dialog);
  }
  return dialog->result();
}

void ScriptedDialogs::SetBusy(bool busy) {
  busyDepth += busy ? 1 : -1;
  if (busyDepth > busyMax) busyMax = busyDepth;
}

bool ScriptedDialogs::OpenUrl(const QString& url) {
  openedUrls.push_back(url);
  return !openUrlFails;
}

std::vector<std::string> ScriptedDialogs::MessageLines() const {
  std::vector<std::string> out;
  for (const auto& m : messages) out.push_back(m.kind + ": " + m.text.toStdString());
  return out;
}

}  // namespace tavo::test

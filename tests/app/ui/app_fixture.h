// A program folder, NIVA folder and Downloads folder in a temporary folder,
// scripted dialogs, and the helpers the window tests share.
#pragma once

#include <gtest/gtest.h>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "ui/app_context.h"
#include "core/ini.h"
#include "gui_support/scripted_dialogs.h"
#include "support/test_util.h"

namespace tavo::test {

class AppTest : public ::testing::Test {
 protected:
  AppTest() : env(MakeEnv(tmp.path())), ctx{env, dialogs} {}

  void SetIni(const char* key, const std::string& value) {
    ASSERT_TRUE(IFWriteIniStr(env.programDir, u"PARAM", T(key), T(value)));
  }
  std::string Ini(const char* key) {
    return ToUtf8(IFReadIniStr(env.programDir, u"PARAM", T(key), u"<absent>"));
  }
  std::string Folder(const std::string& name) {
    fs::create_directories(tmp / name);
    return (tmp / name).string();
  }

  TempDir tmp;
  Env env;
  ScriptedDialogs dialogs;
  ui::AppContext ctx;
};

template <typename T>
T* Find(QWidget* window, const char* name) {
  T* w = window->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

inline QString U(const char* utf8) { return QString::fromUtf8(utf8); }
inline QString U(const std::string& utf8) { return QString::fromStdString(utf8); }

// Clicks a button of a window that a modal handler received.
inline void Click(QWidget* window, const char* name) { Find<QPushButton>(window, name)->click(); }

}  // namespace tavo::test

// Finding a window's controls by their object names in GUI tests.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>
#include <filesystem>

#include "ui/app_context.h"
#include "core/errors.h"
#include "core/files.h"

namespace tavo::test {

// The child control named `name`; a test failure when there is none.
template <class W>
W* Child(QWidget* w, const char* name) {
  W* c = w->findChild<W*>(QString::fromLatin1(name));
  EXPECT_NE(c, nullptr) << name;
  return c;
}

// A path as the text a window shows.
inline QString QP(const std::filesystem::path& p) { return ui::Q(PathText(p)); }

}  // namespace tavo::test

// The folders Windows names for the program: the user's known Downloads folder
// and NIVA's fixed data folder.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/env.h"
#include "core/files.h"

namespace tavo::test {
namespace {

namespace fs = std::filesystem;

TEST(WindowsFolders, DownloadsIsTheKnownFolder) {
  const fs::path downloads = DownloadsDir();
  EXPECT_TRUE(fs::is_directory(downloads)) << ToUtf8(PathText(downloads));
  EXPECT_EQ(downloads.filename().wstring(), L"Downloads");
}

TEST(WindowsFolders, NivaFolderIsOnDriveC) {
  if (_wgetenv(L"TAVO_NIVA_DIR")) GTEST_SKIP() << "TAVO_NIVA_DIR names another folder";
  EXPECT_EQ(DefaultNivaDir().wstring(), L"C:\\HDD_KX2");
  EXPECT_EQ(DetectEnv().nivaFf1Dir.wstring(), L"C:\\HDD_KX2\\FF1");
}

}  // namespace
}  // namespace tavo::test

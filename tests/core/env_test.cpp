// The check that the program folder can take the outputs and user.ini.
#include "core/env.h"

#include <gtest/gtest.h>

#include "support/test_util.h"

namespace tavo::test {
namespace {

TEST(FolderWritableTest, WritableFolderIsSeenAndLeftAsItWas) {
  TempDir tmp;
  // A Japanese folder name goes through the wide-character calls on Windows.
  const fs::path dir = tmp / fs::path(u8"レセプト 出力");
  fs::create_directories(dir);
  WriteBytes(dir / ".tavo-write-check-0.tmp", "user's");
  EXPECT_TRUE(FolderWritable(dir));
  EXPECT_EQ(ListFiles(dir), std::vector<std::string>{".tavo-write-check-0.tmp"});
  EXPECT_EQ(ReadBytes(dir / ".tavo-write-check-0.tmp"), "user's");
}

TEST(FolderWritableTest, NoFolderToWriteInto) {
  TempDir tmp;
  // A file where the folder should be refuses every new file, even to root
  // and under Wine, where folder permissions do not hold.
  WriteBytes(tmp / "program", "");
  EXPECT_FALSE(FolderWritable(tmp / "program"));
  EXPECT_FALSE(FolderWritable(tmp / "missing"));
}

}  // namespace
}  // namespace tavo::test

// Files held by other programs, for real: a second process (hold_file.exe)
// holds an output, a file in the output folder or an input while a run or the
// move of the confirmation window goes on. A hold that passes within the
// retries costs nothing; one that lasts gives the held-file message and leaves
// the earlier file whole and no temporary file behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "core/files.h"
#include "core/output_folder.h"
#include "receipt/receipt_ops.h"
#include "support/test_util.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;
using test::Fixture;
using test::ListFiles;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

const Text kHeldText =
    T("他のプログラムがこのファイルを開いています。"
      "そのプログラムでファイルを閉じてから、もう一度実行してください。(コード 32)");
const Text kReadOnlyText =
    T("このファイルは読み取り専用になっています。エクスプローラーでファイルのプロパティを開いて"
      "「読み取り専用」のチェックを外してから、もう一度実行してください。");

// hold_file.exe holding `file` for `ms` milliseconds from construction on;
// the destructor waits for it to end.
class Holder {
 public:
  Holder(const fs::path& file, int ms, const wchar_t* mode = L"exclusive") {
    static int count = 0;
    const std::wstring event = L"TavoHoldReady-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(++count);
    const HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, event.c_str());
    std::wstring line = L"\"" + fs::path(TAVO_HOLD_FILE).make_preferred().wstring() + L"\" \"" +
                        file.wstring() + L"\" " + std::to_wstring(ms) + L" " + mode + L" " + event;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    started_ = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &si, &pi_);
    // Held once the event is set; a holder that could not open the file ends first.
    const HANDLE waits[] = {ready, pi_.hProcess};
    held_ = started_ && WaitForMultipleObjects(2, waits, FALSE, 20000) == WAIT_OBJECT_0;
    CloseHandle(ready);
  }
  ~Holder() {
    if (!started_) return;
    WaitForSingleObject(pi_.hProcess, 20000);
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
  }
  bool held() const { return held_; }

 private:
  PROCESS_INFORMATION pi_{};
  bool started_ = false;
  bool held_ = false;
};

std::vector<std::string> Messages(const RunResult& r) {
  std::vector<std::string> out;
  for (const Message& m : r.messages) out.push_back(ToUtf8(m.text));
  return out;
}

class HeldFiles : public ::testing::Test {
 protected:
  HeldFiles() : env(test::MakeEnv(tmp.path())) {
    WriteBytes(input, Fixture("receipt/shaho.UKE"));
    WriteBytes(output, "earlier");
  }
  RunResult Run() { return receipt::RemoveBranchNumbers(env, PathText(input), {}); }

  TempDir tmp;
  Env env;
  fs::path input = tmp / "shaho.UKE";
  fs::path output = env.programDir / PathFromText(T("(202604提出_社保)RECEIPTC.uke"));
};

TEST_F(HeldFiles, AnOutputHeldForAMomentIsReplacedAfterWaiting) {
  Holder holder(output, 300);
  ASSERT_TRUE(holder.held());
  const RunResult r = Run();
  EXPECT_TRUE(r.messages.empty()) << testing::PrintToString(Messages(r));
  EXPECT_NE(ReadBytes(output), "earlier");
  EXPECT_EQ(ListFiles(env.programDir).size(), 1u);
}

TEST_F(HeldFiles, AnOutputHeldThroughoutIsNamedWithTheCauseAndKept) {
  {
    Holder holder(output, 4000);
    ASSERT_TRUE(holder.held());
    const RunResult r = Run();
    EXPECT_EQ(Messages(r), std::vector<std::string>{ToUtf8(T("ファイル ") + PathText(output) +
                                                           T(" に書き込めません。\n") + kHeldText)});
    EXPECT_TRUE(r.written.empty());
  }
  EXPECT_EQ(ReadBytes(output), "earlier");
  EXPECT_EQ(ListFiles(env.programDir).size(), 1u);  // no temporary file
}

TEST_F(HeldFiles, AReadOnlyOutputIsNotReplaced) {
  ASSERT_TRUE(SetFileAttributesW(output.wstring().c_str(), FILE_ATTRIBUTE_READONLY));
  const RunResult r = Run();
  EXPECT_EQ(Messages(r),
            std::vector<std::string>{ToUtf8(T("ファイル ") + PathText(output) +
                                            T(" に書き込めません。\n") + kReadOnlyText)});
  EXPECT_EQ(ReadBytes(output), "earlier");
  EXPECT_TRUE(IsReadOnlyFile(output));
  EXPECT_EQ(ListFiles(env.programDir).size(), 1u);
  SetFileAttributesW(output.wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(HeldFiles, AnInputOpenInAWriterThatLetsOthersReadIsRead) {
  Holder holder(input, 3000, L"writer");
  ASSERT_TRUE(holder.held());
  const RunResult r = Run();
  EXPECT_TRUE(r.messages.empty()) << testing::PrintToString(Messages(r));
  EXPECT_NE(ReadBytes(output), "earlier");
}

// The move of the confirmation window into Downloads and into a save folder,
// where an earlier file of the name is held or read-only.
TEST_F(HeldFiles, TheMoveWaitsForAHeldFileOrLeavesTheOutputWhereItIs) {
  const Text name = T("(202604提出_社保)RECEIPTC.uke");
  fs::create_directory(tmp / "save");
  struct Destination {
    const char* what;
    Text saveFdr;
    fs::path folder;
  } destinations[] = {{"Downloads", u"", env.downloadsDir},
                      {"save folder", PathText(tmp / "save"), tmp / "save"}};
  for (const Destination& d : destinations) {
    SCOPED_TRACE(d.what);
    const fs::path there = d.folder / PathFromText(name);
    WriteBytes(there, "older");
    auto move = [&] {
      WriteBytes(output, "new");
      return MoveOutputs(env, name, u"", d.saveFdr, u"");
    };
    // Held for a moment: moved.
    {
      Holder holder(there, 300);
      ASSERT_TRUE(holder.held());
      const OutputMoveResult r = move();
      EXPECT_EQ(r.moved, std::vector<Text>{name});
      EXPECT_TRUE(r.messages.empty());
    }
    EXPECT_EQ(ReadBytes(there), "new");
    EXPECT_FALSE(fs::exists(output));
    // Held throughout, then read-only: the output stays, the file there is kept.
    WriteBytes(there, "older");
    const Text stays = T("\n次のファイルは元の場所に残っています：\n") + PathText(output);
    {
      Holder holder(there, 4000);
      ASSERT_TRUE(holder.held());
      const OutputMoveResult r = move();
      EXPECT_EQ(r.stayed, std::vector<Text>{name});
      ASSERT_EQ(r.messages.size(), 1u);
      EXPECT_EQ(r.messages[0].text, T("ファイルを ") + PathText(d.folder) +
                                        T(" へ移動できませんでした。\n") + kHeldText + stays);
    }
    ASSERT_TRUE(SetFileAttributesW(there.wstring().c_str(), FILE_ATTRIBUTE_READONLY));
    const OutputMoveResult r = move();
    EXPECT_EQ(r.stayed, std::vector<Text>{name});
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].text, T("ファイルを ") + PathText(d.folder) +
                                      T(" へ移動できませんでした。\n") + kReadOnlyText + stays);
    SetFileAttributesW(there.wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(there), "older");
    EXPECT_EQ(ReadBytes(output), "new");
    EXPECT_EQ(ListFiles(d.folder).size(), 1u);  // no temporary file
    fs::remove(there);
  }
}

}  // namespace
}  // namespace tavo

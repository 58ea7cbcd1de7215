// What staff read when the system fails on a file: the file's name, then the
// cause in Japanese and what to do, with the system's code in parentheses.
// The causes come through the fault seam, as this system reports each of them.
#include <gtest/gtest.h>

#include <cerrno>

#include "core/errors.h"
#include "core/fault.h"
#include "core/files.h"
#include "support/test_util.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tavo {
namespace {

using test::ListFiles;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

struct Cause {
  FileCause cause;
  const char* text;  // after "ファイル X に書き込めません。\n"
  long code;         // this system's code for it
};

#ifdef _WIN32
#define TAVO_CODE(windows, posix) windows
#else
#define TAVO_CODE(windows, posix) posix
#endif

const Cause kWriteCauses[] = {
    {FileCause::kHeld,
     "他のプログラムがこのファイルを開いています。"
     "そのプログラムでファイルを閉じてから、もう一度実行してください。",
     TAVO_CODE(32, EBUSY)},
    {FileCause::kReadOnly,
     "このファイルは読み取り専用になっています。エクスプローラーでファイルのプロパティを開いて"
     "「読み取り専用」のチェックを外してから、もう一度実行してください。",
     TAVO_CODE(5, EACCES)},
    {FileCause::kAccessDenied,
     "このファイルまたはフォルダーに書き込む権限がありません。"
     "書き込みのできるフォルダーを使うか、パソコンの管理者に相談してください。",
     TAVO_CODE(5, EACCES)},
    {FileCause::kDiskFull,
     "ディスクの空き容量が足りません。"
     "不要なファイルを削除して空きを作ってから、もう一度実行してください。",
     TAVO_CODE(112, ENOSPC)},
    {FileCause::kFolderMissing,
     "フォルダーが見つかりません。"
     "フォルダーが移動または削除されていないか、名前が変わっていないか確かめてください。",
     TAVO_CODE(3, ENOENT)},
    {FileCause::kPathTooLong,
     "フォルダーとファイルの名前が長すぎます。もっと浅い場所のフォルダーを使うか、"
     "フォルダーやファイルの名前を短くしてから、もう一度実行してください。",
     TAVO_CODE(206, ENAMETOOLONG)},
    {FileCause::kFileMissing,
     "ファイルが見つかりません。"
     "ファイルが移動または削除されていないか、名前が変わっていないか確かめてください。",
     TAVO_CODE(2, ENOENT)},
    {FileCause::kIsFolder,
     "同じ名前のフォルダーがあるため、ファイルを書き込めません。"
     "そのフォルダーの名前を変えるか別の場所へ移してから、もう一度実行してください。",
     TAVO_CODE(5, EISDIR)},
    {FileCause::kWriteProtected,
     "このドライブは書き込みが禁止されています。"
     "書き込みのできるドライブやフォルダーを使ってください。",
     TAVO_CODE(19, EROFS)},
    {FileCause::kBadName,
     "フォルダーまたはファイルの名前に、使えない文字が含まれています。名前を確かめてください。",
     TAVO_CODE(123, EILSEQ)},
    {FileCause::kDevice,
     "ディスクまたはネットワークの読み書きでエラーが起きました。"
     "ドライブやネットワークの接続を確かめてから、もう一度実行してください。",
     TAVO_CODE(1117, EIO)},
    {FileCause::kOther,
     "予期しないエラーが起きました。"
     "もう一度実行しても同じときは、このメッセージをサポートにお知らせください。",
     TAVO_CODE(1, EINVAL)},
};

Text Code(long code) { return T("(コード ") + IntToText(code) + u")"; }

// The text of the OpError that `op` throws, or "(no error)".
template <class Op>
Text ErrorOf(Op op) {
  try {
    op();
  } catch (const OpError& e) {
    return e.text();
  }
  return u"(no error)";
}

// Every cause at the replacing of an earlier output: the output's name, the
// cause, its code; the earlier output stays, no temporary file is left. Each
// cause lasts through every retry.
TEST(FileMessages, EachCauseOfAFailedWriteIsSaidInJapanese) {
  TempDir dir;
  const fs::path out = dir / "out.csv";
  for (const Cause& c : kWriteCauses) {
    WriteBytes(out, "earlier");
    fault::ArmAt(FileOp::kRename, 1, std::vector<FileCause>(10, c.cause));
    const Text error = ErrorOf([&] { WrtSet(out, {u"new"}); });
    fault::Disarm();
    EXPECT_EQ(error, T("ファイル ") + PathText(out) + T(" に書き込めません。\n") + T(c.text) +
                         Code(c.code));
    EXPECT_EQ(ReadBytes(out), "earlier");
    EXPECT_EQ(ListFiles(dir.path()), std::vector<std::string>{"out.csv"});
  }
}

TEST(FileMessages, ReadingSaysTheCauseToo) {
  TempDir dir;
  const fs::path in = dir / "in.UKE";
  WriteBytes(in, "IR\r\nRE\r\n");
  struct Case {
    FileOp op;
    FileCause cause;
    const char* text;
    long code;
  } cases[] = {
      {FileOp::kOpen, FileCause::kHeld,
       " を開けません。\n他のプログラムがこのファイルを開いています。"
       "そのプログラムでファイルを閉じてから、もう一度実行してください。",
       TAVO_CODE(32, EBUSY)},
      {FileOp::kOpen, FileCause::kAccessDenied,
       " を開けません。\nこのファイルを読み込む権限がありません。"
       "ファイルをドキュメントなど自分のフォルダーへコピーして選び直すか、"
       "パソコンの管理者に相談してください。",
       TAVO_CODE(5, EACCES)},
      {FileOp::kRead, FileCause::kDevice,
       " を読み込めません。\nディスクまたはネットワークの読み書きでエラーが起きました。"
       "ドライブやネットワークの接続を確かめてから、もう一度実行してください。",
       TAVO_CODE(1117, EIO)},
  };
  for (const Case& c : cases) {
    fault::ArmAt(c.op, 1, {c.cause});
    const Text error = ErrorOf([&] { ReadLinesCp932(in); });
    fault::Disarm();
    EXPECT_EQ(error, T("ファイル ") + PathText(in) + T(c.text) + Code(c.code));
  }
}

// Found by the system, not through the seam.
TEST(FileMessages, MissingFileAndFolderAsTheSystemReportsThem) {
  TempDir dir;
  EXPECT_EQ(
      ErrorOf([&] { ReadLinesCp932(dir / "none.UKE"); }),
      T("ファイル ") + PathText(dir / "none.UKE") +
          T(" を開けません。\nファイルが見つかりません。"
            "ファイルが移動または削除されていないか、名前が変わっていないか確かめてください。") +
          Code(TAVO_CODE(ERROR_FILE_NOT_FOUND, ENOENT)));
  EXPECT_EQ(
      ErrorOf([&] { WrtSet(dir / "gone" / "out.csv", {u"a"}); }),
      T("ファイル ") + PathText(dir / "gone" / "out.csv") +
          T(" に書き込めません。\nフォルダーが見つかりません。"
            "フォルダーが移動または削除されていないか、名前が変わっていないか確かめてください。") +
          Code(TAVO_CODE(ERROR_PATH_NOT_FOUND, ENOENT)));
  fs::create_directory(dir / "out.csv");
  EXPECT_EQ(
      ErrorOf([&] { WrtSet(dir / "out.csv", {u"a"}); }),
      T("ファイル ") + PathText(dir / "out.csv") +
          T(" に書き込めません。\n同じ名前のフォルダーがあるため、ファイルを書き込めません。"
            "そのフォルダーの名前を変えるか別の場所へ移してから、もう一度実行してください。"));
}

TEST(FileMessages, AFolderOnTheNetworkGetsTheHintAboutItsConnection) {
  // A share that no server answers for (on Linux a folder missing under "//").
  const fs::path share =
      PathFromText(TAVO_CODE(u"\\\\tavo-no-such-server\\share", u"//tavo-no-such-server/share"));
  const Text error = ErrorOf([&] { WrtSet(share / "out.csv", {u"a"}); });
  const Text expected =
      T("ファイル ") + PathText(share / "out.csv") +
      T(" に書き込めません。\nフォルダーが見つかりません。"
        "フォルダーが移動または削除されていないか、名前が変わっていないか確かめてください。"
        "ネットワーク上のフォルダーです。ネットワークドライブの接続が切れていないか、"
        "パソコンがネットワークにつながり、共有しているパソコンが起動しているかを"
        "確かめてください。(コード ");
  EXPECT_EQ(error.substr(0, expected.size()), expected);
}

// A file held for a moment is waited for; one held through every retry is
// not replaced, and nothing of the new file stays.
TEST(FileMessages, AHeldFileIsWaitedForThenReported) {
  TempDir dir;
  const fs::path out = dir / "out.csv";
  WriteBytes(out, "earlier");
  // Held for the first six attempts: the seventh puts the file in place.
  fault::ArmAt(FileOp::kRename, 1, std::vector<FileCause>(6, FileCause::kHeld));
  WrtSet(out, {u"new"});
  fault::Disarm();
  EXPECT_EQ(ReadBytes(out), "new\r\n");
  // Held through all seven.
  fault::ArmAt(FileOp::kRename, 1, std::vector<FileCause>(7, FileCause::kHeld));
  EXPECT_THROW(WrtSet(out, {u"newer"}), OpError);
  fault::Disarm();
  EXPECT_EQ(ReadBytes(out), "new\r\n");
  EXPECT_EQ(ListFiles(dir.path()), std::vector<std::string>{"out.csv"});
  // Removing waits the same.
  fault::ArmAt(FileOp::kRemove, 1, std::vector<FileCause>(6, FileCause::kHeld));
  EXPECT_TRUE(RemoveFile(out));
  fault::Disarm();
  EXPECT_FALSE(fs::exists(out));
}

TEST(FileMessages, OtherFailuresAreNotWaitedFor) {
  TempDir dir;
  const fs::path out = dir / "out.csv";
  // A device error once: no second attempt.
  fault::ArmAt(FileOp::kRename, 1, {FileCause::kDevice});
  EXPECT_THROW(WrtSet(out, {u"a"}), OpError);
  fault::Disarm();
  EXPECT_FALSE(fs::exists(out));
  // "Access denied" is waited out only on Windows, for a file that is there.
  WriteBytes(out, "earlier");
  fault::ArmAt(FileOp::kRename, 1, {FileCause::kAccessDenied});
  bool replaced = true;
  try {
    WrtSet(out, {u"a"});
  } catch (const OpError&) {
    replaced = false;
  }
  fault::Disarm();
#ifdef _WIN32
  EXPECT_TRUE(replaced);
#else
  EXPECT_FALSE(replaced);
  EXPECT_EQ(ReadBytes(out), "earlier");
#endif
}

// An output whose name is known only at the end, in a folder where no
// temporary file can be made: the message names the output, not the name
// it was begun under.
TEST(FileMessages, AnUnwritableFolderIsReportedUnderTheOutputsName) {
  TempDir dir;
  fault::ArmAt(FileOp::kOpen, 1, std::vector<FileCause>(8, FileCause::kAccessDenied));
  AtomicFile late(dir / "provisional.tmp");
  fault::Disarm();
  late.Write("rows");
  const Text error = ErrorOf([&] { late.CommitAs(dir / "202605_carte.csv"); });
  EXPECT_EQ(error,
            T("ファイル ") + PathText(dir / "202605_carte.csv") +
                T(" に書き込めません。\nこのファイルまたはフォルダーに書き込む権限がありません。"
                  "書き込みのできるフォルダーを使うか、パソコンの管理者に相談してください。") +
                Code(TAVO_CODE(5, EACCES)));
  EXPECT_FALSE(fs::exists(dir / "202605_carte.csv"));
}

}  // namespace
}  // namespace tavo

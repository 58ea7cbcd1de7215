// The move of outputs from the program folder into the output folder.
#include "core/output_folder.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/fault.h"
#include "core/files.h"
#include "support/test_util.h"

namespace tavo::test {
namespace {

const std::string kShaho = Sjis("IR,1,13,1,1234567,,ＮＩＶＡ医院,50612,00,0312345678\r\nRE,1\r\n");
const std::string kKokuho = Sjis("IR,2,13,1,1234567,,ＮＩＶＡ医院,50612,00,0312345678\r\n");
const Text kName1 = T("(50612提出_社保)RECEIPTC.uke");
const Text kName2 = T("(50612提出_国保)RECEIPTC.uke");

class OutputFolderTest : public ::testing::Test {
 protected:
  OutputFolderTest() : env(MakeEnv(tmp.path())) {
    WriteBytes(env.programDir / PathFromText(kName1), kShaho);
    WriteBytes(env.programDir / PathFromText(kName2), kKokuho);
  }
  Text Folder(const std::string& name) {
    fs::create_directories(tmp / name);
    return PathText(tmp / name);
  }
  TempDir tmp;
  Env env;
};

TEST_F(OutputFolderTest, EmptySaveFolderMovesBothIntoDownloads) {
  const OutputMoveResult r = MoveOutputs(env, kName1, kName2, u"", u"1");
  EXPECT_EQ(r.destination, env.downloadsDir);
  EXPECT_EQ(r.moved, (std::vector<Text>{kName1, kName2}));
  EXPECT_TRUE(r.stayed.empty());
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(ReadBytes(env.downloadsDir / PathFromText(kName1)), kShaho);
  EXPECT_EQ(ReadBytes(env.downloadsDir / PathFromText(kName2)), kKokuho);
  EXPECT_TRUE(ListFiles(env.programDir).empty());
}

TEST_F(OutputFolderTest, SaveFolderReceivesOutputsReplacingOlderFiles) {
  const Text save = Folder("save");
  WriteBytes(tmp / "save" / PathFromText(kName1), "old");
  const OutputMoveResult r = MoveOutputs(env, kName1, kName2, save, u"");
  EXPECT_EQ(r.moved.size(), 2u);
  EXPECT_EQ(ReadBytes(tmp / "save" / PathFromText(kName1)), kShaho);
  EXPECT_EQ(ReadBytes(tmp / "save" / PathFromText(kName2)), kKokuho);
  EXPECT_EQ(ListFiles(tmp / "save").size(), 2u);  // no temporary file left behind
  EXPECT_TRUE(ListFiles(env.downloadsDir).empty());
  EXPECT_TRUE(ListFiles(env.programDir).empty());
}

TEST_F(OutputFolderTest, ClinicSubfolderFromFirstLineIsCreatedOnFirstUse) {
  const Text save = Folder("save");
  for (const char16_t* svChg : {u"1", u" 1 "}) {
    WriteBytes(env.programDir / PathFromText(kName1), kShaho);
    const OutputMoveResult r = MoveOutputs(env, kName1, u"", save, svChg);
    const fs::path clinic = tmp / "save" / PathFromText(T("1234567_ＮＩＶＡ医院"));
    EXPECT_EQ(r.destination, clinic);
    EXPECT_EQ(r.moved, std::vector<Text>{kName1});
    EXPECT_EQ(ReadBytes(clinic / PathFromText(kName1)), kShaho);
  }
}

TEST_F(OutputFolderTest, OtherSvchgValuesMakeNoSubfolder) {
  const Text save = Folder("save");
  for (const char16_t* svChg : {u"", u"0", u"2", u"11"}) {
    WriteBytes(env.programDir / PathFromText(kName1), kShaho);
    const OutputMoveResult r = MoveOutputs(env, kName1, u"", save, svChg);
    EXPECT_EQ(r.destination, tmp / "save") << ToUtf8(svChg);
  }
  EXPECT_EQ(ListFiles(tmp / "save"), std::vector<std::string>{ToUtf8(kName1)});
}

TEST_F(OutputFolderTest, EmptySecondNameMovesOnlyTheFirst) {
  const OutputMoveResult r = MoveOutputs(env, kName1, u"", u"", u"");
  EXPECT_EQ(r.moved, std::vector<Text>{kName1});
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(ListFiles(env.programDir), std::vector<std::string>{ToUtf8(kName2)});
}

TEST_F(OutputFolderTest, FailedMoveKeepsFilesAndNamesEachOneInAWarning) {
  // A save folder whose parent was removed: the warning says to choose it again.
  const Text save = PathText(tmp / "gone" / "save");
  const OutputMoveResult r = MoveOutputs(env, kName1, kName2, save, u"");
  EXPECT_TRUE(r.moved.empty());
  EXPECT_EQ(r.stayed, (std::vector<Text>{kName1, kName2}));
  EXPECT_FALSE(r.stopped);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].kind, MsgKind::Warning);
  EXPECT_EQ(r.messages[0].text,
            T("ファイルを ") + save +
                T(" へ移動できませんでした。\n保存先のフォルダーが見つかりません。"
                  "「詳細設定」の「保存先設定」で保存先を選び直してください。\n"
                  "次のファイルは元の場所に残っています：\n") +
                PathText(env.programDir / PathFromText(kName1)) + u"\n" +
                PathText(env.programDir / PathFromText(kName2)));
  EXPECT_EQ(ReadBytes(env.programDir / PathFromText(kName1)), kShaho);
  EXPECT_EQ(ReadBytes(env.programDir / PathFromText(kName2)), kKokuho);
  EXPECT_FALSE(fs::exists(tmp / "gone"));
}

TEST_F(OutputFolderTest, SaveFolderOnTheNetworkThatIsGoneGetsTheHintAboutItsConnection) {
  const Text save = PathText(PathFromText(
#ifdef _WIN32
      u"\\\\tavo-no-such-server\\share"
#else
      u"//tavo-no-such-server/share"
#endif
      ));
  const OutputMoveResult r = MoveOutputs(env, kName1, u"", save, u"");
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].text,
            T("ファイルを ") + save +
                T(" へ移動できませんでした。\n保存先のフォルダーが見つかりません。"
                  "ネットワーク上のフォルダーです。ネットワークドライブの接続が切れていないか、"
                  "パソコンがネットワークにつながり、共有しているパソコンが起動しているかを"
                  "確かめてください。「詳細設定」の「保存先設定」で保存先を選び直してください。\n"
                  "次のファイルは元の場所に残っています：\n") +
                PathText(env.programDir / PathFromText(kName1)));
}

// Why a file stayed: one cause for all is said once, different ones with their files.
TEST_F(OutputFolderTest, AFileThatStaysIsNamedWithItsCause) {
  const Text held =
      T("他のプログラムがこのファイルを開いています。"
        "そのプログラムでファイルを閉じてから、もう一度実行してください。(コード ") +
#ifdef _WIN32
      T("32)");
#else
      T("16)");
#endif
  // The earlier file in Downloads is held through every retry: the first stays.
  WriteBytes(env.downloadsDir / PathFromText(kName1), "earlier");
  fault::ArmAt(FileOp::kRename, 1, std::vector<FileCause>(7, FileCause::kHeld));
  OutputMoveResult r = MoveOutputs(env, kName1, kName2, u"", u"");
  fault::Disarm();
  EXPECT_EQ(r.stayed, std::vector<Text>{kName1});
  EXPECT_EQ(r.moved, std::vector<Text>{kName2});
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].text,
            T("ファイルを ") + PathText(env.downloadsDir) + T(" へ移動できませんでした。\n") + held +
                T("\n次のファイルは元の場所に残っています：\n") +
                PathText(env.programDir / PathFromText(kName1)));
  EXPECT_EQ(ReadBytes(env.downloadsDir / PathFromText(kName1)), "earlier");
  EXPECT_EQ(ListFiles(env.downloadsDir).size(), 2u);  // no temporary file left

  // Held again, and the second has a folder of its name in the way.
  WriteBytes(env.programDir / PathFromText(kName2), kKokuho);
  fs::remove(env.downloadsDir / PathFromText(kName2));
  fs::create_directory(env.downloadsDir / PathFromText(kName2));
  fault::ArmAt(FileOp::kRename, 1, std::vector<FileCause>(7, FileCause::kHeld));
  r = MoveOutputs(env, kName1, kName2, u"", u"");
  fault::Disarm();
  EXPECT_EQ(r.stayed, (std::vector<Text>{kName1, kName2}));
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].text,
            T("ファイルを ") + PathText(env.downloadsDir) +
                T(" へ移動できませんでした。\n次のファイルは元の場所に残っています：\n") +
                PathText(env.programDir / PathFromText(kName1)) + u"\n" + held + u"\n" +
                PathText(env.programDir / PathFromText(kName2)) +
                T("\n同じ名前のフォルダーがあるため、ファイルを書き込めません。"
                  "そのフォルダーの名前を変えるか別の場所へ移してから、もう一度実行してください。"));
  EXPECT_EQ(ListFiles(env.programDir).size(), 2u);
}

TEST_F(OutputFolderTest, ClinicSubfolderIsOnlyOneLevelDeep) {
  const OutputMoveResult r = MoveOutputs(env, kName1, kName2, PathText(tmp / "gone"), u"1");
  EXPECT_EQ(r.stayed.size(), 2u);
  EXPECT_FALSE(fs::exists(tmp / "gone"));
  EXPECT_EQ(ListFiles(env.programDir).size(), 2u);
}

TEST_F(OutputFolderTest, MissingSourceIsSkippedSilently) {
  const OutputMoveResult r = MoveOutputs(env, T("nothere.uke"), kName2, u"", u"");
  EXPECT_EQ(r.missing, std::vector<Text>{T("nothere.uke")});
  EXPECT_EQ(r.moved, std::vector<Text>{kName2});
  EXPECT_TRUE(r.messages.empty());
}

TEST_F(OutputFolderTest, SaveFolderThatIsTheProgramFolderLosesNothing) {
  const OutputMoveResult r = MoveOutputs(env, kName1, kName2, PathText(env.programDir), u"");
  EXPECT_EQ(r.moved.size(), 2u);
  EXPECT_EQ(ReadBytes(env.programDir / PathFromText(kName1)), kShaho);
  EXPECT_EQ(ReadBytes(env.programDir / PathFromText(kName2)), kKokuho);
}

TEST_F(OutputFolderTest, UnreadableClinicNameStopsBeforeAnythingMoves) {
  const Text save = Folder("save");
  WriteBytes(env.programDir / "short.uke", "IR,1,13,1,1234567,\r\n");
  WriteBytes(env.programDir / "empty.uke", "");
  struct Case {
    Text file1;
    Text error;
  };
  const Case cases[] = {
      {u"short.uke", IndexErrorText(6)},
      {u"empty.uke", IndexErrorText(0)},
      {u"nothere.uke",
       T("ファイル ") + PathText(env.programDir / "nothere.uke") +
           T(" を開けません。\nファイルが見つかりません。ファイルが移動または削除されていないか、"
             "名前が変わっていないか確かめてください。")},
  };
  for (const Case& c : cases) {
    const OutputMoveResult r = MoveOutputs(env, c.file1, kName2, save, u"1");
    EXPECT_TRUE(r.stopped) << ToUtf8(c.file1);
    EXPECT_TRUE(r.moved.empty());
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], (Message{MsgKind::Error, c.error}));
  }
  EXPECT_TRUE(ListFiles(tmp / "save").empty());
  EXPECT_EQ(ListFiles(env.programDir).size(), 4u);
  // Without a first file the second names the subfolder; without either, nothing moves.
  const OutputMoveResult none = MoveOutputs(env, u"", u"", save, u"1");
  EXPECT_TRUE(none.stopped);
  EXPECT_EQ(none.messages,
            (std::vector<Message>{
                {MsgKind::Error, T("ファイル ") + PathText(env.programDir / "") +
                                     T(" を開けません。\nこの名前はファイルではなくフォルダーです。"
                                       "ファイルを選んでください。")}}));
}

TEST(ClinicFolderNameTest, NoFileContentLeadsOutsideTheSaveFolder) {
  struct Case {
    Text code, name, folder;
  };
  const Case cases[] = {
      {u"1234567", T("ＮＩＶＡ医院"), T("1234567_ＮＩＶＡ医院")},
      {u"..", u"..", u".._"},
      {u"", u"", u"_"},
      {u"123", u"a/../../b", u"123_a_.._.._b"},
      {u"123", u"c:\\x", u"123_c__x"},
      {u"1*2?", u"<a>|\"b\"", u"1_2___a___b_"},
      {u"1\t2", u"a\nb\x7f", u"1_2_a_b\x7f"},
      {u".", u" ", u"._"},
      // Windows drops dots and blanks at the end of a folder's name.
      {u"1234567", T("山田内科. "), T("1234567_山田内科")},
      {u"1234567", T("医院　"), T("1234567_医院　")},  // a full-width blank stays
      {u"1", Text(u"a\xDC81") + u"b", u"1_a_b"},               // byte that was not Shift_JIS
      {u"1", Text(u"\xD842\xDFB7"), Text(u"1_\xD842\xDFB7")},  // a paired surrogate stays
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClinicFolderName(c.code, c.name), c.folder) << ToUtf8(c.name);
  }
}

}  // namespace
}  // namespace tavo::test

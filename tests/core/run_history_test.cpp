// The run history: its line per run and per move, its rotation, and that it
// keeps no patient data and never gets in a run's way.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "core/cp932.h"
#include "core/files.h"
#include "core/run_history.h"
#include "core/sha256.h"
#include "support/test_util.h"

namespace tavo {
namespace {

using test::ReadBytes;
using test::WriteBytes;

TEST(Sha256, KnownDigests) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, PiecesGiveTheDigestOfTheWhole) {
  std::mt19937 rng(7);
  std::string bytes(300, '\0');
  for (char& c : bytes) c = static_cast<char>(rng());
  for (std::size_t cut : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 127u, 200u, 300u}) {
    Sha256 sha;
    sha.Update(std::string_view(bytes).substr(0, cut));
    sha.Update(std::string_view(bytes).substr(cut));
    const auto digest = sha.Finish();
    std::string hex;
    for (const auto b : digest)
      hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
    EXPECT_EQ(hex, Sha256Hex(bytes)) << cut;
  }
}

TEST(MaskQuotedValues, QuotedTextsBecomeAnEllipsis) {
  const std::pair<const char*, const char*> cases[] = {
      {"12行目の値「山田,太郎」は数値ではありません。", "12行目の値「…」は数値ではありません。"},
      {"'ABC' は整数ではありません", "'…' は整数ではありません"},
      {"a \"x\" b \"y\"", "a \"…\" b \"…\""},
      {"二行の\r\nメッセージ", "二行の  メッセージ"},
      {"閉じない「値", "閉じない「…"},
      {"ファイル C:\\a\\b.UKE を開けません。", "ファイル C:\\a\\b.UKE を開けません。"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ToUtf8(MaskQuotedValues(T(in))), out) << in;
}

class RunHistory : public ::testing::Test {
 protected:
  fs::path History() const { return dir_.path() / PathFromText(kRunHistoryName); }
  std::vector<std::string> Lines() const {
    const std::string text = ToUtf8(Cp932Decode(ReadBytes(History())));
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
      lines.push_back(text.substr(start, at - start));
    EXPECT_EQ(start, text.size()) << "every line ends in CR LF";
    return lines;
  }
  test::TempDir dir_;
};

TEST_F(RunHistory, OneLinePerRunWithItsFilesCountsAndResult) {
  WriteBytes(dir_.path() / "in.UKE", "abc");
  WriteBytes(dir_.path() / "out.uke", "12345");
  RunResult r;
  r.Describe(T("枝番除去"), T("記号「-」「*」「/」より後を除去"),
             {dir_.path() / "in.UKE", dir_.path() / "gone.UKE"});
  r.written.push_back(dir_.path() / "out.uke");
  r.Count(T("社保：RE 3件を読み、患者番号 2件を変更しました"));
  r.Warn(T("「a\"b」の値"));
  RecordRun(dir_.path(), r);
  RunResult refused;
  refused.Describe(T("匿名化"), Text(), {fs::path()});
  refused.Error(T("エラー\n二行"));
  RecordRun(dir_.path(), refused);
  RecordRun(dir_.path(), RunResult{});  // no operation: not a run

  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0],
            "日時,操作,モード・オプション,入力ファイル,出力ファイル,件数,結果,メッセージ");
  const std::regex time("^\"\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\",");
  EXPECT_TRUE(std::regex_search(lines[1], time)) << lines[1];
  EXPECT_EQ(lines[1].substr(22),
            "\"枝番除去\",\"記号「-」「*」「/」より後を除去\","
            "\"in.UKE (3バイト, SHA-256 ba7816bf8f01cfea) / gone.UKE (なし)\","
            "\"out.uke (5バイト)\",\"社保：RE 3件を読み、患者番号 2件を変更しました\",\"作成\","
            "\"「…」の値\"");
  EXPECT_EQ(lines[2].substr(22), "\"匿名化\",\"\",\"\",\"\",\"\",\"エラー\",\"エラー 二行\"");
}

TEST_F(RunHistory, LargeInputsTogetherAreListedWithoutFingerprints) {
  const std::string half(kFingerprintLimit / 2, 'a');
  WriteBytes(dir_.path() / "a.UKE", half);
  WriteBytes(dir_.path() / "b.UKE", half + "b");  // one byte over the limit together
  RunResult r;
  r.Describe(T("患者番号リプレース"), T("モード2"), {dir_.path() / "a.UKE", dir_.path() / "b.UKE"});
  RecordRun(dir_.path(), r);
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  const std::string size = std::to_string(half.size());
  EXPECT_NE(lines[1].find(
                "\"a.UKE (" + size + "バイト, SHA-256 省略: 入力の合計が32MB超) / b.UKE (" +
                std::to_string(half.size() + 1) + "バイト, SHA-256 省略: 入力の合計が32MB超)\""),
            std::string::npos)
      << lines[1];
}

TEST_F(RunHistory, MoveLineNamesTheDestination) {
  OutputMoveResult move;
  move.destination = dir_.path() / "save";
  move.moved = {T("a.uke"), T("b.uke")};
  RecordMove(dir_.path(), move);
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].substr(22), "\"保存\",\"\",\"\",\"a.uke / b.uke\",\"\",\"移動\",\"移動先: " +
                                     ToUtf8(PathText(move.destination)) + "\"");
}

TEST_F(RunHistory, PastOneMegabyteItStartsAnewKeepingTheOldOne) {
  const std::string full = std::string(kRunHistoryLimit + 1, 'x');
  WriteBytes(dir_.path() / PathFromText(kRunHistoryOldName), "older");
  WriteBytes(History(), full);
  RunResult r;
  r.Describe(T("匿名化"), Text(), {});
  RecordRun(dir_.path(), r);
  EXPECT_EQ(ReadBytes(dir_.path() / PathFromText(kRunHistoryOldName)), full);
  EXPECT_EQ(Lines().size(), 2u);
  // Up to the limit it grows.
  WriteBytes(History(), std::string(kRunHistoryLimit - 2, 'y') + "\r\n");
  RecordRun(dir_.path(), r);
  EXPECT_EQ(Lines().size(), 2u);
  EXPECT_EQ(ReadBytes(dir_.path() / PathFromText(kRunHistoryOldName)), full);
}

TEST_F(RunHistory, AHistoryThatCannotBeWrittenIsLeftAlone) {
  fs::create_directories(History());  // a folder where the file should be
  RunResult r;
  r.Describe(T("匿名化"), Text(), {});
  RecordRun(dir_.path(), r);
  RecordMove(dir_.path(), OutputMoveResult{{}, {T("a")}, {}, {}, {}, false});
  RecordRun(dir_.path() / "no such folder", r);
  EXPECT_TRUE(FolderExists(History()));
}

}  // namespace
}  // namespace tavo

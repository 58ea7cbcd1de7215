// The FF1 linkage window driven like a user: scripted dialogs, an environment
// whose program, FF1 and Downloads folders belong to the test.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/errors.h"
#include "core/files.h"
#include "core/ini.h"
#include "ff1/ui/TfrmFF1MergeVCL2.h"
#include "gui_support/drop.h"
#include "gui_support/gallery.h"
#include "gui_support/scripted_dialogs.h"
#include "support/test_util.h"

namespace tavo::ui {
namespace {

namespace fs = std::filesystem;
using test::Fixture;
using test::ListFiles;
using test::ReadBytes;
using test::Sjis;
using test::TempDir;
using test::WriteBytes;

const char kHeader[] =
    "施設コード\tデータ識別番号\t受診年月\tコード\t連番\tペイロード1\tペイロード2\tペイロード3\t"
    "ペイロード4\tペイロード5\tペイロード6\tペイロード7\tペイロード8\tペイロード9\r\n";

std::string Ff1Row(const char* id, const char* ym, const char* code, const char* value) {
  return std::string("1234567890\t") + id + "\t" + ym + "\t" + code + "\t1\t" + value +
         "\t\t\t\t\t\t\t\t\r\n";
}

// Records whether the run button was disabled while the busy cursor was on.
class Dialogs : public test::ScriptedDialogs {
 public:
  QPushButton* watched = nullptr;
  bool disabledWhileBusy = true;
  void SetBusy(bool busy) override {
    if (busy && watched && watched->isEnabled()) disabledWhileBusy = false;
    ScriptedDialogs::SetBusy(busy);
  }
};

class FF1Window : public ::testing::Test {
 protected:
  FF1Window() {
    fs::copy_file(fs::path(TAVO_SOURCE_DIR) / "data" / "siyo4.csv", env_.programDir / "siyo4.csv");
  }
  fs::path Ff1() const { return env_.nivaFf1Dir; }
  template <typename T>
  T* Child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  // Opens a fresh window through DspSet and runs `script` while it is shown.
  void Show(const std::function<void(TfrmFF1MergeVCL2*)>& script) {
    dialogs_.modalHandlers.push_back(
        [&](QDialog* d) { script(static_cast<TfrmFF1MergeVCL2*>(d)); });
    TfrmFF1MergeVCL2 form(ctx_, nullptr);
    dialogs_.watched = Child<QPushButton>(&form, "Button2");
    EXPECT_TRUE(form.DspSet());
  }
  void Run(TfrmFF1MergeVCL2* w, const char* yearMonth) {
    Child<QLineEdit>(w, "Edit3")->setText(QString::fromUtf8(yearMonth));
    Child<QPushButton>(w, "Button2")->click();
  }

  TempDir root_;
  Env env_ = test::MakeEnv(root_.path());
  Dialogs dialogs_;
  AppContext ctx_{env_, dialogs_};
};

TEST_F(FF1Window, WholeLinkageIntoTheDownloadsFolder) {
  WriteBytes(Ff1() / "G_FF1_202404.txt",
             Sjis(std::string(kHeader) + Ff1Row("D001", "202404", "PT_0002", "旧姓") +
                  Ff1Row("D002", "202404", "PT_0002", "佐藤 一郎") +
                  Ff1Row("D002", "202404", "IO_0003", "1000001")));
  WriteBytes(
      Ff1() / "G_FF1_202405.txt",
      Sjis(std::string(kHeader) + Ff1Row("D001", "202405", "PT_0002", "田中 花子") +
           Ff1Row("D001", "202405", "IO_0003", "1500042") +
           Ff1Row("D001", "202405", "IO_0009", "2") + Ff1Row("D001", "202405", "IO_0099", "1")));
  WriteBytes(Ff1() / "recelist.csv", Sjis("1001,田中,,,D001\r\n"));
  // A merged file left by an earlier run: removed first, never read.
  WriteBytes(Ff1() / "G_FF1_all.txt", Sjis(Ff1Row("D009", "209912", "PT_0002", "古い")));
  const fs::path append = root_ / "前回.csv";
  WriteBytes(append, Sjis("[0] カルテ番号\r\n5000,追記 太郎,20240501\r\n"));
  dialogs_.fileAnswers = {Q(PathText(append))};

  Show([&](TfrmFF1MergeVCL2* w) {
    Child<QPushButton>(w, "Button3")->click();
    EXPECT_EQ(Child<QLineEdit>(w, "Edit4")->text(), Q(PathText(append)));
    Run(w, " 202405 ");
    EXPECT_TRUE(Child<QPushButton>(w, "Button2")->isEnabled());
    EXPECT_EQ(Child<QLineEdit>(w, "edtInDir")->text(), Q(PathText(Ff1())));
    EXPECT_EQ(Child<QLineEdit>(w, "Edit3")->text(), QString::fromUtf8(" 202405 "));
    // Running again at once replaces the output.
    Child<QPushButton>(w, "Button2")->click();
  });

  // One box per click: the success message with the counts under it.
  const std::string done =
      "情報: 電カル連携ファイルが作成されました\r\n"
      "FF1ファイル2件の7行を、患者2人の最新月の6行にまとめました\r\n"
      "3行を書き込みました（追記ファイルから1行）";
  EXPECT_EQ(dialogs_.MessageLines(), (std::vector<std::string>{done, done}));
  EXPECT_EQ(dialogs_.modalTitles, std::vector<QString>{Q("FF1連携")});
  EXPECT_EQ(ReadBytes(env_.downloadsDir / "202405_ff1all.csv"),
            Fixture("ff1/window_202405_ff1all.expected"));
  EXPECT_EQ(ListFiles(env_.downloadsDir), std::vector<std::string>{"202405_ff1all.csv"});
  EXPECT_EQ(ListFiles(Ff1()),
            (std::vector<std::string>{"G_FF1_202404.txt", "G_FF1_202405.txt", "recelist.csv"}));
  EXPECT_EQ(ListFiles(env_.programDir), (std::vector<std::string>{"siyo4.csv", "user.ini"}));
  EXPECT_EQ(IFReadIniStr(env_.programDir, u"PARAM", u"SAVEFF1", u""), PathText(Ff1()));
  EXPECT_EQ(dialogs_.busyMax, 1);
  EXPECT_EQ(dialogs_.busyDepth, 0);
  EXPECT_TRUE(dialogs_.disabledWhileBusy);
}

TEST_F(FF1Window, FailuresAreShownAndLeaveNothingBehind) {
  const fs::path missing = root_ / "nowhere";
  const fs::path empty = root_ / "empty";
  fs::create_directories(empty);
  const std::string sep(1, static_cast<char>(fs::path::preferred_separator));
  WriteBytes(Ff1() / "G_FF1_1.txt", Sjis(Ff1Row("D001", "202405", "PT_0002", "x")));

  struct Case {
    const char* name;
    std::string saveFf1;  // the setting; empty: the FF1 folder of NIVA
    const char* yearMonth;
    bool removeSpec;
    std::string message;
  } cases[] = {
      {"blank year-month", "", "  ", false, "情報: 連携ファイル該当年月を入力してください"},
      {"missing FF1 folder", ToUtf8(PathText(missing)), "202405", false,
       "情報: エラーが発生しました:入力フォルダが見つかりません：" + ToUtf8(PathText(missing)) +
           sep},
      {"no FF1 file", ToUtf8(PathText(empty)) + sep, "202405", false,
       "情報: エラーが発生しました:G_FF1*.txt / G_FF1*.tsv が見つかりません：" +
           ToUtf8(PathText(empty)) + sep},
      {"year-month that is no file name", "", "2024/05", false,
       "警告: 連携ファイル該当年月は6桁の年月で入力してください（例：202405）"},
      {"siyo4.csv missing", "", "202405", true,
       "情報: エラーが発生しました:ファイル " + ToUtf8(PathText(env_.programDir / "siyo4.csv")) +
           " を開けません。\nファイルが見つかりません。ファイルが移動または削除されていないか、"
           "名前が変わっていないか確かめてください。(コード 2)"},
  };
  for (const auto& c : cases) {
    dialogs_.messages.clear();
    IFWriteIniStr(env_.programDir, u"PARAM", u"SAVEFF1",
                  c.saveFf1.empty() ? PathText(Ff1()) : FromUtf8(c.saveFf1));
    if (c.removeSpec) fs::remove(env_.programDir / "siyo4.csv");
    Show([&](TfrmFF1MergeVCL2* w) {
      Run(w, c.yearMonth);
      EXPECT_TRUE(Child<QPushButton>(w, "Button2")->isEnabled()) << c.name;
    });
    EXPECT_EQ(dialogs_.MessageLines(), std::vector<std::string>{c.message}) << c.name;
    EXPECT_TRUE(ListFiles(env_.downloadsDir).empty()) << c.name;
    EXPECT_EQ(ListFiles(Ff1()), std::vector<std::string>{"G_FF1_1.txt"}) << c.name;
    EXPECT_EQ(dialogs_.busyDepth, 0) << c.name;
  }
}

TEST_F(FF1Window, FileToAppendCanBeDropped) {
  const fs::path append = root_ / "a.csv";
  WriteBytes(append, Sjis("h\r\n"));
  TfrmFF1MergeVCL2 w(ctx_, nullptr);
  auto* edit4 = Child<QLineEdit>(&w, "Edit4");
  EXPECT_EQ(test::DropFiles(edit4, {Q(PathText(append))}), Qt::CopyAction);
  EXPECT_EQ(edit4->text(), Q(PathText(append)));
  test::DropFiles(edit4, {Q(PathText(root_.path()))});
  EXPECT_EQ(edit4->text(), Q(PathText(append)));
  EXPECT_EQ(dialogs_.MessageLines(),
            std::vector<std::string>{
                "警告: フォルダはドロップできません。ファイルをドロップしてください。"});
}

TEST_F(FF1Window, FileToAppendIsOptional) {
  WriteBytes(Ff1() / "G_FF1_1.txt", Sjis(Ff1Row("D001", "202405", "PT_0002", "x")));
  const fs::path append = root_ / "a.csv";
  WriteBytes(append, Sjis("h\r\nZ,追記,20240501\r\n"));
  dialogs_.fileAnswers = {Q(PathText(append)), QString()};
  Show([&](TfrmFF1MergeVCL2* w) {
    auto* edit4 = Child<QLineEdit>(w, "Edit4");
    Child<QPushButton>(w, "Button3")->click();
    Child<QPushButton>(w, "Button3")->click();  // cancelled: the path stays
    EXPECT_EQ(edit4->text(), Q(PathText(append)));
    edit4->setText(Q(PathText(root_ / "missing.csv")));
    Run(w, "202405");
    const std::string noAppend = ReadBytes(env_.downloadsDir / "202405_ff1all.csv");
    EXPECT_EQ(noAppend.find(Sjis("追記")), std::string::npos);
    edit4->clear();
    Run(w, "202405");
    EXPECT_EQ(ReadBytes(env_.downloadsDir / "202405_ff1all.csv"), noAppend);
  });
  // Without recelist.csv the chart-number column holds the data ids, and the box says so.
  const std::string done =
      "情報: 電カル連携ファイルが作成されました\r\n"
      "recelist.csv が見つからないため、カルテ番号の列にはデータ識別番号を入れました\r\n"
      "FF1ファイル1件の1行を、患者1人の最新月の1行にまとめました\r\n"
      "1行を書き込みました";
  EXPECT_EQ(dialogs_.MessageLines(), (std::vector<std::string>{done, done}));
}

// The year-month names the file and fills the date column: six ASCII digits
// YYYYMM with a month 01 to 12, trimmed. Anything else is refused with an
// example before anything is touched, an old merged file included.
TEST_F(FF1Window, YearMonthMustBeSixDigits) {
  WriteBytes(Ff1() / "G_FF1_1.txt", Sjis(Ff1Row("D001", "202405", "PT_0002", "x")));
  const std::string refusal =
      "警告: 連携ファイル該当年月は6桁の年月で入力してください（例：202405）";
  const struct {
    const char* typed;
    const char* written;  // nullptr: refused
  } cases[] = {
      {"0605", nullptr},
      {"2024 05", nullptr},
      {"２０２４０５", nullptr},
      {"202413", nullptr},
      {"202400", nullptr},
      {"2024051", nullptr},
      {"202405", "202405_ff1all.csv"},
      {" 202405 ", "202405_ff1all.csv"},
  };
  for (const auto& c : cases) {
    dialogs_.messages.clear();
    fs::remove_all(env_.downloadsDir);
    fs::create_directories(env_.downloadsDir);
    WriteBytes(Ff1() / "G_FF1_all.txt", "left by an earlier run");
    Show([&](TfrmFF1MergeVCL2* w) { Run(w, c.typed); });
    const std::vector<std::string> messages = dialogs_.MessageLines();
    ASSERT_EQ(messages.size(), 1u) << c.typed;
    if (c.written == nullptr) {
      EXPECT_EQ(messages[0], refusal) << c.typed;
      EXPECT_TRUE(ListFiles(env_.downloadsDir).empty()) << c.typed;
      EXPECT_EQ(ListFiles(Ff1()), (std::vector<std::string>{"G_FF1_1.txt", "G_FF1_all.txt"}))
          << c.typed;
    } else {
      EXPECT_EQ(messages[0].rfind("情報: 電カル連携ファイルが作成されました", 0), 0u) << c.typed;
      EXPECT_EQ(ListFiles(env_.downloadsDir), std::vector<std::string>{c.written}) << c.typed;
      EXPECT_EQ(ListFiles(Ff1()), std::vector<std::string>{"G_FF1_1.txt"}) << c.typed;
    }
  }
}

TEST_F(FF1Window, ExistingSettingIsKeptAndControlsAreLaidOut) {
  IFWriteIniStr(env_.programDir, u"PARAM", u"SAVEFF1", u"X:\\elsewhere");
  TfrmFF1MergeVCL2 form(ctx_, nullptr);
  EXPECT_TRUE(form.DspSet());
  EXPECT_EQ(IFReadIniStr(env_.programDir, u"PARAM", u"SAVEFF1", u""), u"X:\\elsewhere");
  EXPECT_EQ(form.windowTitle(), Q("FF1連携"));
  EXPECT_EQ(form.size(), QSize(477, 211));
  EXPECT_EQ(Child<QPushButton>(&form, "BitBtn1")->text(), Q("閉じる(&C)"));
  EXPECT_EQ(Child<QLabel>(&form, "Label1")->text(), Q("連携ファイル該当年月："));
  EXPECT_EQ(Child<QPushButton>(&form, "Button3")->text(), Q("電カル連携ファイル選択"));
  EXPECT_EQ(Child<QLabel>(&form, "Label2")->text(), Q("（省略可）"));
  EXPECT_EQ(Child<QPushButton>(&form, "Button2")->text(), Q("FF1連携ファイル作成"));
  EXPECT_EQ(Child<QLineEdit>(&form, "Edit2")->text(), Q(PathText(env_.programDir / "siyo4.csv")));
  EXPECT_TRUE(Child<QLineEdit>(&form, "Edit3")->text().isEmpty());
  EXPECT_TRUE(Child<QLineEdit>(&form, "Edit4")->text().isEmpty());
  EXPECT_FALSE(Child<QLineEdit>(&form, "Edit2")->isVisibleTo(&form));
  EXPECT_FALSE(Child<QLineEdit>(&form, "edtInDir")->isVisibleTo(&form));
  Child<QLineEdit>(&form, "Edit3")->setText(QString::fromLatin1("202405"));
  EXPECT_FALSE(test::SaveGallery(&form, QString::fromLatin1("TfrmFF1MergeVCL2")).isEmpty());
}

}  // namespace
}  // namespace tavo::ui

// The specification CSV and the build of the linkage CSV from a merged FF1 file.
#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/files.h"
#include "ff1/ff1_build.h"
#include "linkage/formats.h"
#include "support/test_util.h"

namespace tavo::ff1 {
namespace {

using test::Fixture;
using test::FixturePath;
using test::ListFiles;
using test::ReadBytes;
using test::Sjis;
using test::TempDir;
using test::WriteBytes;

// ------------------------------------------------------------ line helpers

TEST(SpecLines, ParseCSV) {
  struct Case {
    const char* line;
    std::vector<const char*> fields;
  } cases[] = {
      {"", {""}},
      {"a,b", {"a", "b"}},
      {",", {"", ""}},
      {" a , b ", {" a ", " b "}},      // blanks stay
      {"\"a,b\",c", {"a,b", "c"}},      // comma inside quotes
      {"\"a\"\"b\"", {"a\"b"}},         // doubled quote inside quotes
      {"x\"y,z\"w,v", {"xy,zw", "v"}},  // a quote may open anywhere
      {"a\"\"b", {"ab"}},               // outside quotes "" just toggles twice
      {"\"open,never closed", {"open,never closed"}},
  };
  for (const auto& c : cases) {
    FieldList want;
    for (const char* f : c.fields) want.push_back(T(f));
    EXPECT_EQ(ParseCSV(T(c.line)), want) << c.line;
  }
}

TEST(SpecLines, ExtractIndexFromBracket) {
  struct Case {
    const char* text;
    std::int32_t index;
  } cases[] = {
      {"[5] 体重", 5}, {"[ 12 ]", 12}, {"x[0]y", 0}, {"[88]", 88}, {"[89]", 89},
      {"[-1]", -1},    {"[]", -1},     {"[a]", -1},  {"5", -1},    {"]5[6]", -1},
      {"[7", -1},      {"[1][2]", 1},  {"[3]]", 3},  {"", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtractIndexFromBracket(T(c.text)), c.index) << c.text;
}

TEST(SpecLines, MakeCSVLineDropsQuotesAndWidensCommas) {
  std::size_t widened = 0;
  EXPECT_EQ(MakeCSVLine({T("\"a\""), T("b,c"), T(""), T(" d "), T("\",,\"")}, &widened),
            T("a,b，c,, d ,，，"));
  EXPECT_EQ(widened, 2u);  // values, not commas
  EXPECT_EQ(MakeCSVLine({}), T(""));
}

TEST(SpecLines, Utf16ToCP932BytesLossy) {
  EXPECT_EQ(Utf16ToCP932BytesLossy(T("表①ｱ")), Sjis("表①ｱ"));
  EXPECT_EQ(Utf16ToCP932BytesLossy(T("é鷗𠮷x")), "???x");  // one "?" per character
  EXPECT_EQ(Utf16ToCP932BytesLossy(T("")), "");
}

TEST(SpecLines, YearMonthTextThatWouldLeaveThePlainName) {
  for (const char* bad :
       {"../2024", "2024\\05", "C:", "2024*", "20?4", "a\"b", "<", ">", "|", "2024\t05"})
    EXPECT_THROW(CheckYearMonthText(T(bad)), OpError) << bad;
  for (const char* good : {"202405", "", "..", "2024.05", "令和6年5月"})
    EXPECT_NO_THROW(CheckYearMonthText(T(good))) << good;
}

// ------------------------------------------------------------ LoadSpecCSV

class Spec : public ::testing::Test {
 protected:
  SpecCSV Load(const std::string& bytes) {
    WriteBytes(dir_ / "siyo4.csv", bytes);
    return LoadSpecCSV(dir_ / "siyo4.csv");
  }
  Text LoadError(const std::string& bytes) {
    try {
      Load(bytes);
    } catch (const OpError& e) {
      return e.text();
    }
    return u"(no error)";
  }
  TempDir dir_;
};

TEST_F(Spec, TitlesAnywhereInAnyOrder) {
  const SpecCSV s =
      Load(Sjis("メモ, ペイロード番号 ,ヘッダー名称,コード,コード\n"
                "[4] 身長,x,1,y,EX_0002\n"));  // the later "コード" counts
  EXPECT_EQ(s.Headers[4], T("[4] 身長"));
  EXPECT_EQ(s.MapCodePayloadToIndex, (std::map<Text, int>{}));  // payload "x" is not a number
  const SpecCSV t = Load(Sjis("ヘッダー名称,ペイロード番号,コード\n[4] 身長,1,EX_0002\r\n"));
  EXPECT_EQ(t.MapCodePayloadToIndex, (std::map<Text, int>{{u"EX_0002|1", 4}}));
}

TEST_F(Spec, Failures) {
  const Text titles = T(
      "仕様CSVの1行目に「ヘッダー名称」「コード」「ペイロード番号」の3つの列名が見つかりません。");
  const Text utf8 =
      T("仕様CSVがUTF-8で保存されています。Excelで「CSV (コンマ区切り)」"
        "（Shift_JIS）を選んで保存し直してください。");
  EXPECT_EQ(LoadError(""), T("仕様CSVが空です。"));
  EXPECT_EQ(LoadError("\r\n[1] x,PT_0002,1\r\n"), titles);  // blank title line
  EXPECT_EQ(LoadError(Sjis("ヘッダー名称,コード\r\n")), titles);
  EXPECT_EQ(LoadError(Sjis("ヘッダー名,コード,ペイロード番号\r\n")), titles);
  // Excel's "CSV UTF-8": the byte-order mark, then UTF-8 titles no Shift_JIS reading finds.
  EXPECT_EQ(LoadError("\xEF\xBB\xBF"
                      "ヘッダー名称,コード,ペイロード番号\r\n"),
            utf8);
  EXPECT_EQ(LoadError("\xEF\xBB\xBF" + Sjis("ヘッダー名称,コード,ペイロード番号\r\n")), utf8);
  // The mark is not recognised otherwise: titles found after it are read as ever.
  EXPECT_EQ(LoadError("\xEF\xBB\xBF" + Sjis("x,ヘッダー名称,コード,ペイロード番号\r\n")),
            u"(no error)");
  EXPECT_THROW(LoadSpecCSV(dir_ / "missing.csv"), OpError);
}

TEST_F(Spec, ColumnLines) {
  const SpecCSV s =
      Load(Sjis("ヘッダー名称,コード,ペイロード番号\r\n"
                " [3] 郵便番号 , IO_0003 , 1 \r\n"
                "\r\n"
                "[89] 範囲外,IO_0009,1\r\n"
                "[-1] 負,IO_0009,1\r\n"
                "見出しなし,IO_0010,1\r\n"
                "[11] \"高齢者\"情報,IO_0009,1\r\n"
                "[11] 高齢者情報,IO_0010,0\r\n"  // sets the text; payload 0 maps nothing
                "[12] 要介護度,,1\r\n"
                "[20] 終診\r\n"  // no code field: the text only
                "[6] 収縮期血圧,EX_0009,1\r\n"
                "[7] 拡張期血圧,EX_0009,1\r\n"  // the later line takes the pair
                "[8] x,EX_0010,10\r\n"
                "[9] y,ex_0010,9\r\n"));
  std::vector<Text> headers;
  for (int i = 0; i < kColumnCount; ++i) headers.push_back(u"[" + IntToText(i) + u"]");
  headers[3] = T("[3] 郵便番号");
  headers[11] = T("[11] 高齢者情報");
  headers[12] = T("[12] 要介護度");
  headers[20] = T("[20] 終診");
  headers[6] = T("[6] 収縮期血圧");
  headers[7] = T("[7] 拡張期血圧");
  headers[8] = T("[8] x");
  headers[9] = T("[9] y");
  EXPECT_EQ(s.Headers, headers);
  EXPECT_EQ(s.MapCodePayloadToIndex,
            (std::map<Text, int>{
                {u"IO_0003|1", 3}, {u"IO_0009|1", 11}, {u"EX_0009|1", 7}, {u"ex_0010|9", 9}}));
}

TEST(ShippedSpec, MapsLongHeaderItemsToNumberedColumns) {
  const SpecCSV s = LoadSpecCSV(fs::path(TAVO_SOURCE_DIR) / "data" / "siyo4.csv");
  EXPECT_EQ(s.Headers, linkage::NumberedHeaderColumns());
  // Each numbered column takes payload 1 of the item that fills the same
  // column of the long header; columns 0 and 2 keep the data id and the date.
  std::map<Text, int> want;
  for (int col = 0; col < kColumnCount; ++col) {
    const int pos = linkage::LongColumnMap()[col];
    if (pos < 0 || col == 0 || col == 2) continue;
    want[FromUtf8(linkage::CodeAt(pos)) + u"|1"] = col;
  }
  EXPECT_EQ(s.MapCodePayloadToIndex, want);
  EXPECT_EQ(want.size(), 38u);
}

// ------------------------------------------------------------ whole builds

const char kFF1Header[] = "施設コード\tデータ識別番号\t受診年月\tコード\t連番\tペイロード1";

class Build : public ::testing::Test {
 protected:
  Build() {
    fs::create_directories(ff1_);
    WriteBytes(spec_, Sjis("ヘッダー名称,ペイロード番号,コード,メモ\r\n"
                           "[1] 患者氏名,1,PT_0002,\r\n"
                           " [3] 郵便番号 ,1, IO_0003 ,\r\n"
                           "[4] 身長,1,EX_0002,\r\n"
                           "[5] 体重,2,EX_0002,\r\n"
                           "[6] 収縮期血圧,1,EX_0009\r\n"
                           "[7] 拡張期血圧,1,EX_0009\r\n"
                           "[11] 高齢者情報,1,IO_0009\r\n"
                           "[12] 要介護度,1,\r\n"
                           "[13] 血圧分類,1,pt_0002\r\n"
                           "[20] 終診\r\n"));
  }
  fs::path Merged(const std::string& bytes) {
    WriteBytes(merged_, bytes);
    return merged_;
  }
  fs::path Out(const char* name = "202405_ff1all.csv") const { return out_ / name; }
  Text Error(const std::string& merged, const fs::path& append, const char* ym = "202405") {
    try {
      BuildEHRCSV_FromFF1_andSpecCSV(Merged(merged), spec_, out_, append, T(ym));
    } catch (const OpError& e) {
      return e.text();
    }
    return u"(no error)";
  }

  TempDir dir_;
  fs::path ff1_ = dir_ / "FF1";
  fs::path merged_ = ff1_ / "G_FF1_all.txt";
  fs::path spec_ = dir_ / "siyo4.csv";
  fs::path out_ = dir_ / "Downloads";
};

TEST_F(Build, WholeFileWithReceiptListAndAppend) {
  WriteBytes(ff1_ / "recelist.csv", Sjis("カルテ番号,氏名,カナ,性別,データ識別番号\r\n"
                                         " 00123 ,鈴木,,, P001 \r\n"
                                         "456,外部,,,APPX\n"
                                         "789,x,,P003\r\n"));
  WriteBytes(dir_ / "append.csv", Sjis("[0] カルテ番号,[1] 患者氏名,[2] 診療年月日\r\n"
                                       "\r\n"
                                       "a,b\r\n"
                                       "APPX,外来 次郎,20240501,x\r\n"
                                       "P003,重複,20240501"));
  Merged(Sjis(std::string(kFF1Header) + "\r\n" +
              "1\tP002\t202405\tPT_0002\t1\t山田 花子\r\n"
              "1\tP001\t202405\tPT_0002\t1\t\"鈴木\"太郎\t\t\t\t\t\t\t\t\r\n"
              "1\tP001\t202405\tEX_0002\t1\t160\t55.5\r\n"
              "1\tP001\t202405\tEX_0002\t2\t 162 \t\r\n"
              "1\tP001\t202405\tIO_0003\t1\t123,4567\r\n"
              "1\tP003\t202405\tIO_0003\t1\t 7654321 \r\n"
              "\r\n"
              "1\t\t202405\tPT_0002\t1\tID空\r\n"
              "1\tP004\t0\tPT_0002\t1\t年月0\r\n"
              "1\tP005\t202405\t \t1\tコード空\r\n"
              "1\tP006\t202405\tPT_0002\r\n"
              "1\tp001\t202405\tPT_0002\t1\t小文字\n"
              "1\tP003\t202312\tIO_0009\t1\t2\r"
              "1\tP002\t202405\tEX_0009\t1\t130\r\n"
              "1\tP002\t202405\tpt_0002\t1\t小文字コード\r\n"
              "1\tP002\t202405\tIO_0010\t1\t3\r\n"));
  const fs::path written =
      BuildEHRCSV_FromFF1_andSpecCSV(merged_, spec_, out_, dir_ / "append.csv", u"202405");
  EXPECT_EQ(written, Out());
  EXPECT_EQ(ReadBytes(Out()), Fixture("ff1/build_202405_ff1all.expected"));
  EXPECT_EQ(ListFiles(out_), std::vector<std::string>{"202405_ff1all.csv"});
}

// An 89-field row: column 0, 1 and 2 given, the rest empty.
std::string Row(const std::string& c0, const std::string& c1, const std::string& c2) {
  return c0 + "," + c1 + "," + c2 + std::string(86, ',');
}
std::string HeaderLine() {
  std::string h =
      "[0],[1] 患者氏名,[2],[3] 郵便番号,[4] 身長,[5] 体重,[6] 収縮期血圧,[7] 拡張期血圧";
  for (int i = 8; i <= 88; ++i) {
    if (i == 11)
      h += ",[11] 高齢者情報";
    else if (i == 12)
      h += ",[12] 要介護度";
    else if (i == 13)
      h += ",[13] 血圧分類";
    else if (i == 20)
      h += ",[20] 終診";
    else
      h += ",[" + std::to_string(i) + "]";
  }
  return h;
}

TEST_F(Build, SmallCases) {
  struct Case {
    const char* name;
    std::string merged;
    std::string appended;  // the file to append; none when empty
    std::string output;
  } cases[] = {
      {"header only: header plus appended lines, no date check", Sjis("H\r\n"),
       Sjis("h\r\nX,y,20991231\r\n"), Sjis(HeaderLine() + "\r\nX,y,20991231\r\n")},
      {"nothing at all: the default header line", "", "", Sjis(HeaderLine() + "\r\n")},
      {"a first line that is a data line is a patient, not a header line",
       Sjis("\r\n1\tA\t202405\tPT_0002\t1\tx\r\n1\tB\t202405\tPT_0002\t1\ty\r\n"), "",
       Sjis(HeaderLine() + "\r\n" + Row("A", "x", "20240501") + "\r\n" + Row("B", "y", "20240501") +
            "\r\n")},
      {"a first line whose facility code is no number is the header line",
       Sjis("\r\nX\tA\t202405\tPT_0002\t1\tx\r\n1\tB\t202405\tPT_0002\t1\ty\r\n"), "",
       Sjis(HeaderLine() + "\r\n" + Row("B", "y", "20240501") + "\r\n")},
      {"UTF-8 merged file with the mark is read as UTF-8; no Shift_JIS form becomes ?",
       "\xEF\xBB\xBF"
       "H\r\n1\tA\t202405\tPT_0002\t1\t表①鷗\r\n",
       "", Sjis(HeaderLine() + "\r\n" + Row("A", "表①?", "20240501") + "\r\n")},
      {"row of another year-month still gets the entered date",
       Sjis("H\r\n1\tA\t202312\tPT_0002\t1\tx\r\n"), "",
       Sjis(HeaderLine() + "\r\n" + Row("A", "x", "20240501") + "\r\n")},
      {"append date read past short lines; equal dates pass",
       Sjis("H\r\n1\tA\t202405\tPT_0002\t1\tx\r\n"), Sjis("h\r\n \r\nq\r\nB,z,20240501\r\n"),
       Sjis(HeaderLine() + "\r\n" + Row("A", "x", "20240501") + "\r\nq\r\nB,z,20240501\r\n")},
      {"append file without any dated line is taken over",
       Sjis("H\r\n1\tA\t202405\tPT_0002\t1\tx\r\n"), Sjis("h\r\nq\r\n"),
       Sjis(HeaderLine() + "\r\n" + Row("A", "x", "20240501") + "\r\nq\r\n")},
  };
  for (const auto& c : cases) {
    fs::path append;
    if (!c.appended.empty()) {
      append = dir_ / "append.csv";
      WriteBytes(append, c.appended);
    }
    BuildEHRCSV_FromFF1_andSpecCSV(Merged(c.merged), spec_, out_, append, u"202405");
    EXPECT_EQ(ReadBytes(Out()), c.output) << c.name;
  }
}

TEST_F(Build, SpecMappingToColumnsZeroAndTwoOverwrites) {
  WriteBytes(spec_, Sjis("ヘッダー名称,コード,ペイロード番号\r\n[0] ID,PT_0001,1\r\n"
                         "[2] 日付,IO_0001,1\r\n"));
  WriteBytes(ff1_ / "recelist.csv", Sjis("77,,,,K9\r\n"));
  BuildEHRCSV_FromFF1_andSpecCSV(Merged(Sjis("H\r\n1\tA\t202405\tPT_0001\t1\tK9\r\n"
                                             "1\tA\t202405\tIO_0001\t1\t20240517\r\n"
                                             "1\tB\t202405\tX\t1\tv\r\n")),
                                 spec_, out_, {}, u"202405");
  std::string header = "[0] ID,[1],[2] 日付";
  for (int i = 3; i <= 88; ++i) header += ",[" + std::to_string(i) + "]";
  EXPECT_EQ(ReadBytes(Out()), Sjis(header + "\r\n" + Row("77", "", "20240517") + "\r\n" +
                                   Row("B", "", "20240501") + "\r\n"));
}

TEST_F(Build, MissingAppendFileIsPassedOver) {
  BuildEHRCSV_FromFF1_andSpecCSV(Merged(Sjis("H\r\n1\tA\t202405\tPT_0002\t1\tx\r\n")), spec_, out_,
                                 dir_ / "nope.csv", u"202405");
  EXPECT_EQ(ReadBytes(Out()), Sjis(HeaderLine() + "\r\n" + Row("A", "x", "20240501") + "\r\n"));
}

TEST_F(Build, FailuresWriteNothingAndKeepTheEarlierOutput) {
  fs::create_directories(out_);
  WriteBytes(Out(), "earlier");
  WriteBytes(dir_ / "append.csv", Sjis("h\r\nX,y,20240601\r\n"));
  const std::string merged = Sjis("H\r\n1\tA\t202405\tPT_0002\t1\tx\r\n");
  EXPECT_EQ(Error(merged, dir_ / "append.csv"),
            T("追記ファイルの診療年月日が異なります。元ファイル=20240501, 追記ファイル=20240601"));
  EXPECT_EQ(Error(merged, {}, "2024/05"),
            T("連携ファイル該当年月にファイル名に使えない文字が含まれています：2024/05"));
  WriteBytes(spec_, "");
  EXPECT_EQ(Error(merged, {}), T("仕様CSVが空です。"));
  fs::remove(spec_);
  EXPECT_EQ(Error(merged, {}), T("ファイル ") + PathText(spec_) +
                                   T(" を開けません。\nファイルが見つかりません。ファイルが移動または"
                                     "削除されていないか、名前が変わっていないか確かめてください。"
                                     "(コード 2)"));
  EXPECT_EQ(ReadBytes(Out()), "earlier");
  EXPECT_EQ(ListFiles(out_), std::vector<std::string>{"202405_ff1all.csv"});
  EXPECT_EQ(ListFiles(dir_.path()), (std::vector<std::string>{"Downloads", "FF1", "append.csv"}));
}

TEST_F(Build, CreatesTheOutputFolder) {
  const fs::path deep = dir_ / "a" / "b";
  BuildEHRCSV_FromFF1_andSpecCSV(Merged(Sjis("H\r\n")), spec_, deep, {}, u"202405");
  EXPECT_EQ(ReadBytes(deep / "202405_ff1all.csv"), Sjis(HeaderLine() + "\r\n"));
}

}  // namespace
}  // namespace tavo::ff1

// The fixed formats, checked field by field against texts typed here.
#include <gtest/gtest.h>

#include "linkage/formats.h"

namespace tavo::linkage {
namespace {

TEST(CodeTable, PositionsOfSampleCodes) {
  struct Case {
    int position;
    const char* code;
  } cases[] = {{0, "PT_0001"},  {3, "IO_0001"},  {5, "IO_0003"},  {36, "IO_0080"},
               {37, "EX_0001"}, {81, "EX_0050"}, {82, "IO_0092"}, {83, "EX_0051"},
               {86, "IO_0010"}, {87, "IO_0009"}, {94, "IO_0104"}};
  EXPECT_EQ(CodeTable().size(), 95u);
  for (const Case& c : cases) {
    EXPECT_EQ(CodeAt(c.position), c.code);
    EXPECT_EQ(CodePosition(c.code), c.position);
  }
  EXPECT_EQ(CodePosition("io_0001"), -1);
  EXPECT_EQ(CodePosition("IO_0105"), -1);
}

TEST(ShortHeader, TwelveNamesExactly) {
  EXPECT_EQ(ShortHeaderLine(), T("カルテ番号,患者氏名,診療年月日,郵便番号,身長,体重,収縮期血圧,"
                                 "拡張期血圧,HbA1c,LDLコレステロール,尿酸,空列"));
}

TEST(NumberedHeader, SampleColumnsAndOrder) {
  const auto& cols = NumberedHeaderColumns();
  ASSERT_EQ(cols.size(), 89u);
  EXPECT_EQ(cols[0], T("[0] カルテ番号"));
  EXPECT_EQ(cols[8], T("[8] HbA1c"));
  EXPECT_EQ(cols[16], T("[16] （空列）"));
  EXPECT_EQ(cols[54], T("[54] 訪問診療開始前の往診または外来受診日"));
  EXPECT_EQ(cols[75], T("[75] UICC病気分類（T）"));
  EXPECT_EQ(cols[88], T("[88] 入院の修飾語コード"));
  for (std::size_t k = 0; k < cols.size(); ++k) {
    EXPECT_EQ(cols[k].rfind(u"[" + IntToText(static_cast<long long>(k)) + u"] ", 0), 0u) << k;
  }
  const Text line = NumberedHeaderLine();
  EXPECT_EQ(line.substr(0, line.find(u",[2]")), T("[0] カルテ番号,[1] 患者氏名"));

  const auto& order = NumberedOrder();
  const std::pair<int, int> samples[] = {{0, 0},   {2, 3},    {8, 22},   {16, 99}, {22, 18},
                                         {24, 15}, {54, 138}, {83, 140}, {85, 87}, {88, 86}};
  for (const auto& [column, source] : samples) EXPECT_EQ(order[column], source) << column;
}

TEST(LongHeader, SampleColumnsEmptyColumnAndMap) {
  const auto& cols = LongHeaderColumns();
  ASSERT_EQ(cols.size(), 100u);
  EXPECT_EQ(cols[0], T("カルテ番号"));
  EXPECT_EQ(cols[9], T("LDL コレステロール_脂質異常症《L》"));
  EXPECT_EQ(cols[15], T("リスク分類_脂質異常症《L》"));
  EXPECT_EQ(cols[16], Text());
  EXPECT_EQ(cols[18], T("1 日の喫煙本数《C》"));
  EXPECT_EQ(cols[75], T("UICC 病期分類(T)_患者《H》"));
  EXPECT_EQ(cols[99], T("患者の状態（別表第８の３）《H》"));
  EXPECT_NE(LongHeaderLine().find(T("脂質異常症《L》,,喫煙区分《C》")), Text::npos);

  const auto& map = LongColumnMap();
  const std::pair<int, const char*> mapped[] = {
      {0, "PT_0001"},  {2, "IO_0001"},  {3, "IO_0003"},  {11, "IO_0009"}, {12, "IO_0010"},
      {24, "IO_0013"}, {39, "IO_0099"}, {42, "IO_0100"}, {83, "IO_0093"}, {90, "IO_0010"},
      {91, "IO_0009"}, {93, "IO_0099"}, {94, "IO_0100"}, {99, "IO_0104"}};
  for (const auto& [column, code] : mapped) EXPECT_EQ(CodeAt(map[column]), code) << column;
  for (int column : {4, 10, 16, 28, 63, 84, 96}) EXPECT_EQ(map[column], -1) << column;
}

TEST(SplitTab, KeepsEmptyFieldsAndGivesNoneForEmptyLine) {
  EXPECT_EQ(SplitTab(u"a\tb\t"), (FieldList{u"a", u"b", u""}));
  EXPECT_TRUE(SplitTab(u"").empty());
  EXPECT_EQ(SplitTab(u"\"x\"\t"), (FieldList{u"\"x\"", u""}));
}

}  // namespace
}  // namespace tavo::linkage

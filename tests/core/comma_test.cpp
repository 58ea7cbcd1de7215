#include <gtest/gtest.h>

#include "core/comma.h"
#include "core/cp932.h"

namespace tavo {
namespace {

FieldList Split(const char* s) {
  FieldList f;
  GetCommaTxt(T(s), f);
  return f;
}

TEST(GetCommaTxt, SplitsAtEveryCommaAndDropsQuotes) {
  EXPECT_EQ(Split(""), (FieldList{u""}));
  EXPECT_EQ(Split("a,"), (FieldList{u"a", u""}));
  EXPECT_EQ(Split(",a"), (FieldList{u"", u"a"}));
  EXPECT_EQ(Split("\"a,b\""), (FieldList{u"a", u"b"}));
  EXPECT_EQ(Split("a\"\"b"), (FieldList{u"ab"}));
  EXPECT_EQ(Split(" a , b "), (FieldList{u" a ", u" b "}));
}

TEST(GetCommaTxt, AppendsToTheGivenList) {
  FieldList f{u"x"};
  GetCommaTxt(u"a,b", f);
  EXPECT_EQ(f, (FieldList{u"x", u"a", u"b"}));
}

TEST(JoinCommaTxt, QuotesOnlyWhereNeeded) {
  struct Case {
    FieldList fields;
    bool strict;
    const char* expected;
  } cases[] = {
      {{u""}, false, "\"\""},           {{}, false, ""},
      {{u"", u""}, false, ","},         {{u"a", u"", u"b"}, false, "a,,b"},
      {{u"a b"}, false, "\"a b\""},     {{u"a b"}, true, "a b"},
      {{u"a\"b"}, false, "\"a\"\"b\""}, {{u"a,b"}, true, "\"a,b\""},
      {{u"a\tb"}, false, "\"a\tb\""},   {{T("山田\u3000太郎")}, false, "山田\u3000太郎"},
  };
  for (const auto& c : cases) EXPECT_EQ(JoinCommaTxt(c.fields, c.strict), T(c.expected));
}

TEST(ParseCommaTxt, FollowsQuotesAndBlanks) {
  EXPECT_EQ(ParseCommaTxt(u"a b,c"), (FieldList{u"a", u"b", u"c"}));
  EXPECT_EQ(ParseCommaTxt(u"a,,b"), (FieldList{u"a", u"", u"b"}));
  EXPECT_EQ(ParseCommaTxt(u"a,"), (FieldList{u"a", u""}));
  EXPECT_EQ(ParseCommaTxt(u",a"), (FieldList{u"", u"a"}));
  EXPECT_EQ(ParseCommaTxt(u"\"a\"\"b\""), (FieldList{u"a\"b"}));
  EXPECT_EQ(ParseCommaTxt(u""), FieldList{});
  EXPECT_EQ(ParseCommaTxt(u"a b\tc", u'\t', true), (FieldList{u"a b", u"c"}));
  EXPECT_EQ(ParseCommaTxt(u"\"a\"b"), (FieldList{u"a", u"b"}));
  EXPECT_EQ(ParseCommaTxt(u"\"open"), (FieldList{u"open"}));
}

TEST(CommaRoundTrip, ParseUndoesJoin) {
  const FieldList fields{u"plain", u"with space", u"q\"uote", u"", u"a,b", T("日本語")};
  EXPECT_EQ(ParseCommaTxt(JoinCommaTxt(fields)), fields);
}

}  // namespace
}  // namespace tavo

namespace tavo {
namespace {

TEST(WidenCommas, TextAndBytesAgree) {
  struct Case {
    const char* in;
    const char* out;
    std::size_t count;
  };
  for (const Case& c :
       std::vector<Case>{{"", "", 0},
                         {"田中,花子", "田中，花子", 1},
                         {",,", "，，", 2},
                         {"ソ,表", "ソ，表", 1},  // 83 5C: a trail byte that is not a comma
                         {"no comma", "no comma", 0}}) {
    Text text = T(c.in);
    EXPECT_EQ(WidenCommas(text), c.count) << c.in;
    EXPECT_EQ(text, T(c.out)) << c.in;
    std::string bytes = Cp932Encode(T(c.in));
    EXPECT_EQ(WidenCommasBytes(bytes), c.count) << c.in;
    EXPECT_EQ(bytes, Cp932Encode(T(c.out))) << c.in;
  }
}

}  // namespace
}  // namespace tavo

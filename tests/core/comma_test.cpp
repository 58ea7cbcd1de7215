#include <gtest/gtest.h>

#include "core/comma.h"

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
      {{u""}, false, "\"\""},
      {{}, false, ""},
      {{u"", u""}, false, ","},
      {{u"a", u"", u"b"}, false, "a,,b"},
      {{u"a b"}, false, "\"a b\""},
      {{u"a b"}, true, "a b"},
      {{u"a\"b"}, false, "\"a\"\"b\""},
      {{u"a,b"}, true, "\"a,b\""},
      {{u"a\tb"}, false, "\"a\tb\""},
      {{T("山田\u3000太郎")}, false, "山田\u3000太郎"},
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

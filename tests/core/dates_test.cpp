#include <gtest/gtest.h>

#include "core/dates.h"
#include "core/errors.h"

namespace tavo {
namespace {

TEST(IFGetHzk25, ReiwaToGregorian) {
  EXPECT_EQ(IFGetHzk25(u"060401"), u"20240401");
  EXPECT_EQ(IFGetHzk25(u"010501"), u"20190501");
  EXPECT_EQ(IFGetHzk25(u"000000"), u"");
  EXPECT_EQ(IFGetHzk25(u"0601"), u"");
  EXPECT_EQ(IFGetHzk25(u"0604011"), u"");
  EXPECT_EQ(IFGetHzk25(u"06ab01"), u"2024ab01");  // the rest is not validated
}

TEST(IFGetHzk25, NonNumericYearIsTheIntegerConversionError) {
  try {
    IFGetHzk25(u"ab0401");
    FAIL();
  } catch (const OpError& e) {
    EXPECT_EQ(e.text(), T("'ab' は整数ではありません"));
  }
}

TEST(EraYear2, SwitchesToReiwaOnFirstOfMay2019) {
  EXPECT_EQ(EraYear2({2019, 4, 30}), u"31");
  EXPECT_EQ(EraYear2({2019, 5, 1}), u"01");
  EXPECT_EQ(EraYear2({2024, 6, 1}), u"06");
  EXPECT_EQ(EraYear2({2026, 12, 10}), u"08");
  EXPECT_EQ(EraYear2({2030, 1, 1}), u"12");
}

TEST(AddMonths, CrossesYearsAndClampsDays) {
  EXPECT_EQ(AddMonths({2026, 12, 10}, 1), (Date{2027, 1, 10}));
  EXPECT_EQ(AddMonths({2026, 1, 31}, -12), (Date{2025, 1, 31}));
  EXPECT_EQ(AddMonths({2024, 3, 31}, -1), (Date{2024, 2, 29}));
  EXPECT_EQ(AddMonths({2026, 6, 15}, -6), (Date{2025, 12, 15}));
}

}  // namespace
}  // namespace tavo

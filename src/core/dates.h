// Japanese era dates.
#pragma once

#include "core/env.h"
#include "core/text.h"

namespace tavo {

// Reiwa YYMMDD -> Gregorian YYYYMMDD; throws OpError (integer conversion) when
// YY is not a decimal integer.
Text IFGetHzk25(TextView pstDate);

// Two-digit year of the Japanese era of the date (Reiwa from 2019-05-01,
// Heisei before), with a leading zero: 2024-06-01 -> "06".
Text EraYear2(const Date& date);

// Date arithmetic on months: the date moved by `months` (day clamped).
Date AddMonths(const Date& date, int months);

}  // namespace tavo

#include "core/dates.h"

#include "core/errors.h"

namespace tavo {

Text IFGetHzk25(TextView pstDate) {
  if (pstDate.size() != 6) return Text();
  if (Trim(pstDate) == u"000000") return Text();
  const TextView yy = pstDate.substr(0, 2);
  // The platform's integer conversion skips leading blanks only.
  const auto year = ToInt32(TrimLeft(yy));
  if (!year) throw OpError(IntConvErrorText(yy));
  return IntToText(static_cast<std::int64_t>(*year) + 2018) + Text(pstDate.substr(2));
}

Text EraYear2(const Date& d) {
  const int ymd = d.year * 10000 + d.month * 100 + d.day;
  int eraYear;
  if (ymd >= 20190501)
    eraYear = d.year - 2018;  // Reiwa
  else if (ymd >= 19890108)
    eraYear = d.year - 1988;  // Heisei
  else if (ymd >= 19261225)
    eraYear = d.year - 1925;  // Showa
  else
    eraYear = d.year - 1911;  // Taisho
  Text t = IntToText(eraYear % 100);
  if (t.size() < 2) t.insert(t.begin(), u'0');
  return t;
}

Date AddMonths(const Date& date, int months) {
  int total = date.year * 12 + (date.month - 1) + months;
  Date out;
  out.year = total / 12;
  out.month = total % 12 + 1;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int last = kDays[out.month - 1];
  if (out.month == 2 && ((out.year % 4 == 0 && out.year % 100 != 0) || out.year % 400 == 0))
    last = 29;
  out.day = date.day > last ? last : date.day;
  return out;
}

}  // namespace tavo

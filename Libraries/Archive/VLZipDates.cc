#include "Libraries/Archive/VLZipDates.h"

#include "Platform/Foundation/Calendar.h"

const ns::Calendar& VLZipDates::gregorian() {
  // Its zone is never set, so it follows the device's zone at every call.
  static const ns::Calendar calendar(ns::Calendar::Identifier::Gregorian);
  return calendar;
}

ns::Date VLZipDates::dateWithMSDOSFormat(uint32_t d) {
  ns::DateComponents c;
  c.year = (d >> 25) + 1980;
  c.month = (d >> 21) & 15;
  c.day = (d >> 16) & 31;
  c.hour = (d >> 11) & 31;
  c.minute = (d >> 5) & 63;
  c.second = (d & 31) * 2;
  return gregorian().dateFromComponents(c).value_or(ns::Date());
}

tm_zip VLZipDates::tmZipFromDate(ns::Date date) {
  using namespace ns;
  const DateComponents c = gregorian().components(
      kCalendarUnitEra | kCalendarUnitYear | kCalendarUnitMonth | kCalendarUnitDay | kCalendarUnitHour |
          kCalendarUnitMinute | kCalendarUnitSecond,
      date);
  int64_t year = c.year.value_or(1980);
  if (c.era.value_or(1) == 0) year = 1 - year;  // before the common era
  tm_zip tm{};
  if (year < 1980) {
    tm.tm_year = 80;
    tm.tm_mday = 1;
    return tm;
  }
  if (year > 2107) {
    tm = {58, 59, 23, 31, 11, 207};
    return tm;
  }
  tm.tm_year = static_cast<uInt>(year - 1900);
  tm.tm_mon = static_cast<uInt>(c.month.value_or(1) - 1);
  tm.tm_mday = static_cast<uInt>(c.day.value_or(1));
  tm.tm_hour = static_cast<uInt>(c.hour.value_or(0));
  tm.tm_min = static_cast<uInt>(c.minute.value_or(0));
  tm.tm_sec = static_cast<uInt>(c.second.value_or(0));
  return tm;
}

#include "Libraries/AppSupportKit/NSDateUtilities.h"

#include "Platform/Foundation/Calendar.h"

namespace NSDateUtilities {

bool isToday(ns::Date date) { return ns::Calendar::current().isDateInToday(date); }
bool isYesterday(ns::Date date) { return ns::Calendar::current().isDateInYesterday(date); }
int64_t daysSinceDate(ns::Date date, ns::Date other) {
  return ns::Calendar::current().numberOfDaysBetween(other, date);
}

bool isInFuture(ns::Date date) { return date > ns::Date::now(); }
bool isLaterThanDate(ns::Date date, ns::Date other) { return date > other; }
ns::Date dateByAddingMinutes(ns::Date date, int64_t minutes) {
  return date.addingTimeInterval(static_cast<double>(minutes) * 60.0);
}

}  // namespace NSDateUtilities

#include "Libraries/AppSupportKit/NSDateUtilities.h"

namespace NSDateUtilities {

bool isInFuture(ns::Date date) { return date > ns::Date::now(); }
bool isLaterThanDate(ns::Date date, ns::Date other) { return date > other; }
ns::Date dateByAddingMinutes(ns::Date date, int64_t minutes) {
  return date.addingTimeInterval(static_cast<double>(minutes) * 60.0);
}

}  // namespace NSDateUtilities

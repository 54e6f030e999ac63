// Date helpers of the kit (the date category): comparisons with now and
// plain interval arithmetic.
#pragma once

#include <cstdint>

#include "Platform/Foundation/Date.h"

namespace NSDateUtilities {

// On the current calendar day, on the day before it.
bool isToday(ns::Date date);
bool isYesterday(ns::Date date);
// Calendar days from the day of `other` to the day of `date` (negative when
// `other` is later), whatever the times: 23:30 to 00:10 the next day is 1.
int64_t daysSinceDate(ns::Date date, ns::Date other);
// Strictly later than the current date.
bool isInFuture(ns::Date date);
// Strictly later than `other`.
bool isLaterThanDate(ns::Date date, ns::Date other);
// `minutes` times 60 seconds after `date` (no calendar).
ns::Date dateByAddingMinutes(ns::Date date, int64_t minutes);

}  // namespace NSDateUtilities

// Date helpers of the kit (the date category): comparisons with now and
// plain interval arithmetic.
#pragma once

#include <cstdint>

#include "Platform/Foundation/Date.h"

namespace NSDateUtilities {

// Strictly later than the current date.
bool isInFuture(ns::Date date);
// Strictly later than `other`.
bool isLaterThanDate(ns::Date date, ns::Date other);
// `minutes` times 60 seconds after `date` (no calendar).
ns::Date dateByAddingMinutes(ns::Date date, int64_t minutes);

}  // namespace NSDateUtilities

#include "Libraries/Measurement/Storage/MSRDailyCounts.h"

#include <algorithm>
#include <limits>

namespace {

// The counters come from the file, so a sum could pass the 32-bit range;
// it stops at the bounds instead of wrapping.
void add(int32_t& counter, int64_t amount) {
  counter = static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(counter) + amount, 0,
                                                     std::numeric_limits<int32_t>::max()));
}

}  // namespace

std::shared_ptr<MSRDailyCounts> MSRDailyCounts::initWithDay(int32_t day, int32_t conversionsCount,
                                                            int32_t allEventsCount, int32_t publicEventsCount,
                                                            int32_t errorEventsCount, int32_t realtimeCount) {
  std::shared_ptr<MSRDailyCounts> counts(new MSRDailyCounts());
  counts->day_ = day;
  counts->conversionsCount_ = conversionsCount;
  counts->allEventsCount_ = allEventsCount;
  counts->publicEventsCount_ = publicEventsCount;
  counts->errorEventsCount_ = errorEventsCount;
  counts->realtimeCount_ = realtimeCount;
  return counts;
}

void MSRDailyCounts::moveToDay(int32_t day) {
  if (day != day_) resetWithNewDay(day);
}

void MSRDailyCounts::incrementCountsForCurrentDay(int32_t day, bool isPublicEvent, bool isConversion, int32_t count) {
  moveToDay(day);
  add(conversionsCount_, isConversion ? 1 : 0);
  add(allEventsCount_, count);
  add(publicEventsCount_, isPublicEvent ? count : 0);
}

void MSRDailyCounts::incrementErrorEventsCountForCurrentDay(int32_t day) {
  moveToDay(day);
  add(allEventsCount_, 1);
  add(errorEventsCount_, 1);
}

void MSRDailyCounts::incrementRealtimeCountsForCurrentDay(int32_t day) {
  moveToDay(day);
  add(realtimeCount_, 1);
}

void MSRDailyCounts::decrementAllEventsCount() { add(allEventsCount_, -1); }

void MSRDailyCounts::resetWithNewDay(int32_t day) {
  day_ = day;
  conversionsCount_ = allEventsCount_ = publicEventsCount_ = errorEventsCount_ = realtimeCount_ = 0;
}

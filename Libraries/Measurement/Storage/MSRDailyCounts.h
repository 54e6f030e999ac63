// The per-day event counters kept in the measurement database's one
// app_metadata row: the day they count (a day number, see
// MSRDatabase::dailyCounts) and the events, public events, conversions,
// error events and realtime events seen on it.
//
//   auto counts = database->dailyCounts(&error);
//   counts->incrementCountsForCurrentDay(today, isPublic, isConversion);
//   database->updateDailyCounts(counts, &error);
//
// Every increment names the caller's current day: on another day than the
// counted one the counters start again from that day. A counter never goes
// below 0 and stops at the largest 32-bit count.
#pragma once

#include <cstdint>
#include <memory>

class MSRDailyCounts {
 public:
  static std::shared_ptr<MSRDailyCounts> initWithDay(int32_t day, int32_t conversionsCount, int32_t allEventsCount,
                                                     int32_t publicEventsCount, int32_t errorEventsCount,
                                                     int32_t realtimeCount);

  int32_t day() const { return day_; }
  int32_t conversionsCount() const { return conversionsCount_; }
  int32_t allEventsCount() const { return allEventsCount_; }
  int32_t publicEventsCount() const { return publicEventsCount_; }
  int32_t errorEventsCount() const { return errorEventsCount_; }
  int32_t realtimeCount() const { return realtimeCount_; }

  // `count` events, all of them public or none: conversions by one for a
  // conversion, all by `count`, public by `count` for public events.
  void incrementCountsForCurrentDay(int32_t day, bool isPublicEvent, bool isConversion, int32_t count = 1);
  // One error event (counted among all events too).
  void incrementErrorEventsCountForCurrentDay(int32_t day);
  void incrementRealtimeCountsForCurrentDay(int32_t day);
  // All events less one, never below 0.
  void decrementAllEventsCount();
  // The day with every counter at 0.
  void resetWithNewDay(int32_t day);

 private:
  MSRDailyCounts() = default;
  // On another day than the counted one, starts that day at 0.
  void moveToDay(int32_t day);

  int32_t day_ = 0;
  int32_t conversionsCount_ = 0;
  int32_t allEventsCount_ = 0;
  int32_t publicEventsCount_ = 0;
  int32_t errorEventsCount_ = 0;
  int32_t realtimeCount_ = 0;
};

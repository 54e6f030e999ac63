// A snapshot of the device's clocks, taken when an event is sent. Read-only
// after creation; archived with the four keys below (64-bit integers).
//
// The boot time is the kernel's ("btime" of /proc/stat), stable for the
// whole boot. Under the virtual clock it is the virtual wall time less the
// virtual uptime: fixed before the clock's start, so uptime is never
// negative.
//
// Equality compares the four fields; the hash only buckets.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Platform/Foundation/KeyedArchiveCoding.h"
#include "Platform/Foundation/KeyedUnarchiver.h"

inline constexpr const char* kZTCORClockTimeMillisKey = "ZTCORClockTimeMillis";
inline constexpr const char* kZTCORClockTimezoneOffsetSecondsKey = "ZTCORClockTimezoneOffsetSeconds";
inline constexpr const char* kZTCORClockKernelBootTimeKey = "ZTCORClockKernelBootTime";
inline constexpr const char* kZTCORClockUptimeKey = "ZTCORClockUptime";

class ZTCORClock : public ns::Coding {
 public:
  static constexpr const char* kClassName = "ZTCORClock";

  ZTCORClock(int64_t timeMillis, int64_t timezoneOffsetSeconds, int64_t kernelBootTimeNanoseconds,
             int64_t uptimeNanoseconds);

  // The clocks read now.
  static std::shared_ptr<ZTCORClock> snapshot();
  // A snapshot whose wall time is `millisInTheFuture` later.
  static std::shared_ptr<ZTCORClock> clockSnapshotInTheFuture(int64_t millisInTheFuture);

  int64_t timeMillis() const { return timeMillis_; }
  int64_t timezoneOffsetSeconds() const { return timezoneOffsetSeconds_; }
  int64_t kernelBootTimeNanoseconds() const { return kernelBootTimeNanoseconds_; }
  int64_t uptimeNanoseconds() const { return uptimeNanoseconds_; }
  int64_t kernelBootTime() const { return kernelBootTimeNanoseconds_; }
  int64_t uptime() const { return uptimeNanoseconds_; }
  int64_t uptimeMilliseconds() const { return uptimeNanoseconds_ / 1000000; }

  // A later boot is after an earlier one whatever the wall times say;
  // within one boot the wall times in UTC decide (the zone offset is not a
  // time and takes no part).
  bool isAfter(const ZTCORClock& other) const;

  size_t hash() const;
  bool isEqual(const ZTCORClock& other) const;
  bool operator==(const ZTCORClock& other) const { return isEqual(other); }

  std::string className() const override { return kClassName; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override;
  static std::shared_ptr<ns::Coding> initWithCoder(ns::KeyedUnarchiver& coder);

  std::string description() const;

 private:
  int64_t timeMillis_;
  int64_t timezoneOffsetSeconds_;
  int64_t kernelBootTimeNanoseconds_;
  int64_t uptimeNanoseconds_;
};

// The kernel's boot time in nanoseconds since 1970, 0 when it cannot be read.
int64_t ZTCORKernelBootTimeNanoseconds();

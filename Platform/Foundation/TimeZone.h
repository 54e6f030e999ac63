// Time zones: the device's zone, UTC, zones by IANA name or fixed offset,
// their offset from GMT and abbreviation at a date, and the process-wide
// default zone that calendars and formatters use unless told otherwise.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Platform/Foundation/Date.h"

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class TimeZone;
U_NAMESPACE_END

namespace ns {

class TimeZone {
 public:
  // "GMT", offset 0.
  static TimeZone gmt();
  // "UTC", offset 0.
  static TimeZone utc();
  // An IANA name ("America/New_York"), "UTC"/"GMT", or a custom offset
  // name ("GMT+0545", "GMT-03:30"). Absent for a name nobody knows.
  static std::optional<TimeZone> named(const std::string& name);
  // A fixed zone; 0 gives "GMT", others "GMT+hhmm"/"GMT-hhmm". Absent
  // beyond 18 hours either way.
  static std::optional<TimeZone> forSecondsFromGMT(int seconds);
  // The device's zone (its facts' time-zone name; GMT when the name is
  // unknown). Before any device is booted, the default device facts' zone.
  static TimeZone system();
  // The override set by setDefault, else the system zone. Read at every
  // call, so it follows changes to the device.
  static TimeZone defaultZone();
  static void setDefault(const TimeZone& zone);
  static void resetDefault();

  const std::string& name() const { return name_; }
  int secondsFromGMT(Date date) const;
  int secondsFromGMT() const { return secondsFromGMT(Date::now()); }
  bool isDaylightSavingTime(Date date) const;
  // Seconds of daylight saving in force at `date` (0 when none).
  double daylightSavingTimeOffset(Date date) const;
  // Short specific name in US English ("EST", "EDT"); "GMT+1" style where
  // the zone has no common abbreviation.
  std::string abbreviation(Date date) const;

  bool operator==(const TimeZone& other) const { return name_ == other.name_; }

  // For the host layer's ICU users (calendars, formatters).
  const icu::TimeZone& icuZone() const { return *zone_; }

 private:
  TimeZone(std::string name, std::shared_ptr<const icu::TimeZone> zone);
  std::string name_;
  std::shared_ptr<const icu::TimeZone> zone_;  // immutable, shared
};

}  // namespace ns

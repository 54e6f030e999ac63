#include "Platform/Foundation/TimeZone.h"

#include <unicode/simpletz.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "Platform/Foundation/Device.h"

namespace ns {
namespace {

UDate toUDate(Date date) { return date.timeIntervalSince1970() * 1000.0; }

std::shared_ptr<const icu::TimeZone> makeZone(const std::string& name) {
  std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(name)));
  if (!zone || *zone == icu::TimeZone::getUnknown()) return nullptr;
  return std::shared_ptr<const icu::TimeZone>(zone.release());
}

struct DefaultZone {
  std::mutex mutex;
  std::optional<TimeZone> zone;
};

DefaultZone& defaultZoneState() {
  static DefaultZone state;
  return state;
}

}  // namespace

TimeZone::TimeZone(std::string name, std::shared_ptr<const icu::TimeZone> zone)
    : name_(std::move(name)), zone_(std::move(zone)) {}

TimeZone TimeZone::gmt() {
  static const TimeZone zone("GMT", makeZone("GMT"));
  return zone;
}

TimeZone TimeZone::utc() {
  static const TimeZone zone("UTC", makeZone("UTC"));
  return zone;
}

std::optional<TimeZone> TimeZone::named(const std::string& name) {
  if (name.empty()) return std::nullopt;
  if (name == "GMT") return gmt();
  if (name == "UTC") return utc();
  auto zone = makeZone(name);
  if (!zone) return std::nullopt;
  return TimeZone(name, std::move(zone));
}

std::optional<TimeZone> TimeZone::forSecondsFromGMT(int seconds) {
  if (seconds == 0) return gmt();
  if (std::abs(seconds) > 18 * 3600) return std::nullopt;
  int magnitude = std::abs(seconds);
  char name[32];
  // Seconds are dropped from the name but kept in the offset.
  std::snprintf(name, sizeof name, "GMT%c%02d%02d", seconds < 0 ? '-' : '+', magnitude / 3600,
                magnitude / 60 % 60);
  auto zone = std::make_shared<icu::SimpleTimeZone>(seconds * 1000, icu::UnicodeString::fromUTF8(name));
  return TimeZone(name, std::move(zone));
}

TimeZone TimeZone::system() {
  std::string name = Device::isBooted() ? Device::current().facts().timeZoneName : DeviceFacts{}.timeZoneName;
  if (auto zone = named(name)) return *zone;
  return gmt();
}

TimeZone TimeZone::defaultZone() {
  {
    std::lock_guard lock(defaultZoneState().mutex);
    if (defaultZoneState().zone) return *defaultZoneState().zone;
  }
  return system();
}

void TimeZone::setDefault(const TimeZone& zone) {
  std::lock_guard lock(defaultZoneState().mutex);
  defaultZoneState().zone = zone;
}

void TimeZone::resetDefault() {
  std::lock_guard lock(defaultZoneState().mutex);
  defaultZoneState().zone.reset();
}

int TimeZone::secondsFromGMT(Date date) const {
  int32_t raw = 0, dst = 0;
  UErrorCode status = U_ZERO_ERROR;
  zone_->getOffset(toUDate(date), false, raw, dst, status);
  if (U_FAILURE(status)) return zone_->getRawOffset() / 1000;
  return (raw + dst) / 1000;
}

bool TimeZone::isDaylightSavingTime(Date date) const { return daylightSavingTimeOffset(date) != 0; }

double TimeZone::daylightSavingTimeOffset(Date date) const {
  int32_t raw = 0, dst = 0;
  UErrorCode status = U_ZERO_ERROR;
  zone_->getOffset(toUDate(date), false, raw, dst, status);
  if (U_FAILURE(status)) return 0;
  return dst / 1000.0;
}

std::string TimeZone::abbreviation(Date date) const {
  UErrorCode status = U_ZERO_ERROR;
  icu::SimpleDateFormat format(icu::UnicodeString(u"z"), icu::Locale("en_US"), status);
  if (U_FAILURE(status)) return name_;
  format.setTimeZone(*zone_);
  icu::UnicodeString text;
  format.format(toUDate(date), text);
  std::string result;
  text.toUTF8String(result);
  return result;
}

}  // namespace ns

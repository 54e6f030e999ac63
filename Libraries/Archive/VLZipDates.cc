#include "Libraries/Archive/VLZipDates.h"

#include <unicode/gregocal.h>
#include <unicode/timezone.h>

#include <memory>
#include <string>

#include "Platform/Foundation/Device.h"

namespace {

std::string deviceTimeZoneName() {
  // Without a booted device, the default device's zone.
  if (!ns::Device::isBooted()) return ns::DeviceFacts{}.timeZoneName;
  return ns::Device::current().facts().timeZoneName;
}

// A Gregorian calendar in the device's zone; the zone is read at each call
// so that a change of the device's zone is followed.
std::unique_ptr<icu::GregorianCalendar> deviceCalendar() {
  UErrorCode status = U_ZERO_ERROR;
  icu::TimeZone* zone = icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(deviceTimeZoneName()));
  auto calendar = std::make_unique<icu::GregorianCalendar>(zone, status);  // adopts the zone
  if (U_FAILURE(status)) return nullptr;
  calendar->setLenient(true);
  return calendar;
}

constexpr double kMillis = 1000.0;

}  // namespace

ns::Date VLZipDates::dateWithMSDOSFormat(uint32_t d) {
  auto calendar = deviceCalendar();
  if (!calendar) return ns::Date();
  calendar->clear();
  calendar->set(static_cast<int32_t>((d >> 25) + 1980), static_cast<int32_t>((d >> 21) & 15) - 1,
                static_cast<int32_t>((d >> 16) & 31), static_cast<int32_t>((d >> 11) & 31),
                static_cast<int32_t>((d >> 5) & 63), static_cast<int32_t>((d & 31) * 2));
  UErrorCode status = U_ZERO_ERROR;
  UDate millis = calendar->getTime(status);
  if (U_FAILURE(status)) return ns::Date();
  return ns::Date::fromUnixTime(millis / kMillis);
}

tm_zip VLZipDates::tmZipFromDate(ns::Date date) {
  tm_zip tm{};
  auto calendar = deviceCalendar();
  if (!calendar) return tm;
  UErrorCode status = U_ZERO_ERROR;
  calendar->setTime(date.timeIntervalSince1970() * kMillis, status);
  int32_t year = calendar->get(UCAL_YEAR, status);
  if (calendar->get(UCAL_ERA, status) == icu::GregorianCalendar::BC) year = 1 - year;
  if (U_FAILURE(status)) return tm;
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
  tm.tm_mon = static_cast<uInt>(calendar->get(UCAL_MONTH, status));
  tm.tm_mday = static_cast<uInt>(calendar->get(UCAL_DATE, status));
  tm.tm_hour = static_cast<uInt>(calendar->get(UCAL_HOUR_OF_DAY, status));
  tm.tm_min = static_cast<uInt>(calendar->get(UCAL_MINUTE, status));
  tm.tm_sec = static_cast<uInt>(calendar->get(UCAL_SECOND, status));
  return tm;
}

// MS-DOS dates of zip entries (2-second resolution, local time) to and from
// dates, in the Gregorian calendar of the device's time zone.
#pragma once

#include <cstdint>

#include <minizip/zip.h>

#include "Platform/Foundation/Calendar.h"
#include "Platform/Foundation/Date.h"

class VLZipDates {
 public:
  // The one Gregorian calendar of the zip code, in the device's time zone.
  static const ns::Calendar& gregorian();
  // year = (d >> 25) + 1980, month = (d >> 21) & 15, day = (d >> 16) & 31,
  // hour = (d >> 11) & 31, minute = (d >> 5) & 63, second = (d & 31) * 2;
  // out-of-range fields roll over as the calendar does.
  static ns::Date dateWithMSDOSFormat(uint32_t dosDate);
  // The calendar fields of `date` as minizip's record (month from 0, year
  // from 1900). Dates before 1980 or after 2107, which the format cannot
  // hold, are clamped to its first and last instant.
  static tm_zip tmZipFromDate(ns::Date date);
};

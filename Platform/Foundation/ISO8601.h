// Internet date-time text (ISO 8601 extended form): "2024-03-05T18:07:09Z",
// with optional fractional seconds and a "Z" or numeric offset.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/TimeZone.h"

namespace ns {

class ISO8601 {
 public:
  // "yyyy-MM-ddTHH:mm:ss" in `zone`, then ".SSS" when asked, then "Z" for a
  // zone at offset 0 or "+hh:mm" / "-hh:mm".
  static std::string stringFromDate(Date date, bool fractionalSeconds = false);
  static std::string stringFromDate(Date date, bool fractionalSeconds, const TimeZone& zone);
  // Reads "yyyy-MM-ddTHH:mm:ss", optional "." and one or more digits, then
  // "Z" or an offset "+hh:mm", "+hhmm" or "+hh". 't' and 'z' are accepted
  // in lower case. Absent for anything else, including impossible dates.
  static std::optional<Date> dateFromString(std::string_view text);
};

}  // namespace ns

// Date formatters: dates to text and back, either with a fixed pattern
// ("yyyy-MM-dd HH-mm-ss", in the locale "en_US_POSIX" for text that is read
// back) or with the locale's date and time styles, optionally naming the
// day relatively ("Today", "Yesterday", "Tomorrow").
//
// A formatter whose time zone or locale was never set uses the default time
// zone and the device locale of the moment it formats. Every operation,
// setters included, is safe from any thread, so one formatter can be shared.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/Foundation/TimeZone.h"

namespace ns {

enum class DateFormatterStyle { None = 0, Short = 1, Medium = 2, Long = 3, Full = 4 };

class DateFormatter {
 public:
  DateFormatter();
  ~DateFormatter();
  DateFormatter(const DateFormatter&) = delete;
  DateFormatter& operator=(const DateFormatter&) = delete;

  // The pattern in use: the fixed one when set, else the one the styles give
  // in the locale (empty when both styles are None).
  std::string dateFormat() const;
  // A fixed pattern; an empty one goes back to the styles.
  void setDateFormat(const std::string& pattern);
  // The locale's best pattern for a template of fields ("yMMMd", "jm").
  void setLocalizedDateFormatFromTemplate(const std::string& fieldTemplate);
  static std::optional<std::string> dateFormatFromTemplate(const std::string& fieldTemplate, const Locale& locale);

  DateFormatterStyle dateStyle() const;
  DateFormatterStyle timeStyle() const;
  // Choosing a style drops a fixed pattern.
  void setDateStyle(DateFormatterStyle style);
  void setTimeStyle(DateFormatterStyle style);
  // With a date style, days next to today are named instead of written out.
  bool doesRelativeDateFormatting() const;
  void setDoesRelativeDateFormatting(bool relative);

  TimeZone timeZone() const;
  void setTimeZone(const TimeZone& zone);
  Locale locale() const;
  void setLocale(const Locale& locale);

  std::string stringFromDate(Date date) const;
  // Absent unless the whole text matches the pattern with valid fields.
  // Fields the pattern lacks come from 2000-01-01 00:00:00 in the zone.
  std::optional<Date> dateFromString(std::string_view text) const;

  // One-off formatting in the device locale and the default time zone.
  static std::string localizedStringFromDate(Date date, DateFormatterStyle dateStyle, DateFormatterStyle timeStyle);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace ns

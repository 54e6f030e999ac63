#include "Libraries/Logging/LKLogFileFormatterDefault.h"

#include <cmath>
#include <cstdio>

namespace {

// Days since 1970-01-01 to a Gregorian date (proleptic, as the formatter).
void civilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2);
}

}  // namespace

LKLogFileFormatterDefault::LKLogFileFormatterDefault(std::shared_ptr<ns::DateFormatter> dateFormatter)
    : dateFormatter_(std::move(dateFormatter)), standard_(!dateFormatter_) {
  if (standard_) {
    dateFormatter_ = std::make_shared<ns::DateFormatter>();
    dateFormatter_->setLocale(ns::Locale::posix());
    dateFormatter_->setTimeZone(*ns::TimeZone::forSecondsFromGMT(0));
    dateFormatter_->setDateFormat("yyyy/MM/dd HH:mm:ss:SSS");
  }
}

std::string LKLogFileFormatterDefault::standardTimeText(ns::Date date) {
  // Every line of a file pays for this, so the fixed UTC pattern is written
  // by hand; the tests hold it to the date formatter's output.
  const double millis = std::floor(date.timeIntervalSince1970() * 1000.0);
  const int64_t ms = static_cast<int64_t>(millis);
  int64_t days = ms >= 0 ? ms / 86400000 : -((-ms + 86399999) / 86400000);
  int64_t msOfDay = ms - days * 86400000;
  int64_t year;
  unsigned month, day;
  civilFromDays(days, year, month, day);
  char text[96];
  std::snprintf(text, sizeof text, "%04lld/%02u/%02u %02lld:%02lld:%02lld:%03lld", static_cast<long long>(year),
                month, day, static_cast<long long>(msOfDay / 3600000),
                static_cast<long long>(msOfDay / 60000 % 60), static_cast<long long>(msOfDay / 1000 % 60),
                static_cast<long long>(msOfDay % 1000));
  return text;
}

std::optional<std::string> LKLogFileFormatterDefault::formatLogMessage(const LKLogMessage& message) {
  ns::Date when = message.timestamp().value_or(ns::Date());
  std::string time;
  double seconds = when.timeIntervalSince1970();
  if (standard_ && seconds >= 0 && seconds < 253402300800.0) {  // years 1970 to 9999
    time = standardTimeText(when);
  } else {
    time = dateFormatter_->stringFromDate(when);
  }
  std::string line;
  line.reserve(time.size() + 2 + message.message().size());
  line += time;
  line += "  ";
  line += message.message();
  return line;
}

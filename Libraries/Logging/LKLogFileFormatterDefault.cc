#include "Libraries/Logging/LKLogFileFormatterDefault.h"

#include <cmath>
#include <cstdio>

#include "Libraries/Logging/LKCivilTime.h"

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
  const LKCivilTime t = LKCivilTime::fromDate(date);
  char text[96];
  std::snprintf(text, sizeof text, "%04lld/%02u/%02u %02u:%02u:%02u:%03u", static_cast<long long>(t.year), t.month,
                t.day, t.hour, t.minute, t.second, t.millisecond);
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

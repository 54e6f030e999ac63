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

namespace {

constexpr size_t kStandardTimeLength = 23;  // "yyyy/MM/dd HH:mm:ss:SSS"

// Years 1970 to 9999 only: four digits each.
void writeStandardTime(char* text, const LKCivilTime& t) {
  // Each field's digits, then the character after it.
  const struct {
    unsigned value;
    int digits;
    char after;
  } fields[] = {{static_cast<unsigned>(t.year), 4, '/'}, {t.month, 2, '/'}, {t.day, 2, ' '}, {t.hour, 2, ':'},
                {t.minute, 2, ':'}, {t.second, 2, ':'}, {t.millisecond, 3, 0}};
  char* at = text;
  for (const auto& field : fields) {
    unsigned value = field.value;
    for (int i = field.digits - 1; i >= 0; --i) {
      at[i] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
    at += field.digits;
    if (field.after) *at++ = field.after;
  }
}

bool isStandardYear(double secondsSince1970) { return secondsSince1970 >= 0 && secondsSince1970 < 253402300800.0; }

}  // namespace

std::string LKLogFileFormatterDefault::standardTimeText(ns::Date date) {
  // Every line of a file pays for this, so the fixed UTC pattern is written
  // by hand; the tests hold it to the date formatter's output.
  const LKCivilTime t = LKCivilTime::fromDate(date);
  if (!isStandardYear(date.timeIntervalSince1970())) {
    char text[96];
    std::snprintf(text, sizeof text, "%04lld/%02u/%02u %02u:%02u:%02u:%03u", static_cast<long long>(t.year),
                  t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
    return text;
  }
  std::string text(kStandardTimeLength, '0');
  writeStandardTime(text.data(), t);
  return text;
}

std::optional<std::string> LKLogFileFormatterDefault::formatLogMessage(const LKLogMessage& message) {
  ns::Date when = message.timestamp().value_or(ns::Date());
  std::string line;
  if (standard_ && isStandardYear(when.timeIntervalSince1970())) {
    // Written straight into the line: one allocation for the whole of it.
    line.resize(kStandardTimeLength + 2 + message.message().size());
    writeStandardTime(line.data(), LKCivilTime::fromDate(when));
    line[kStandardTimeLength] = ' ';
    line[kStandardTimeLength + 1] = ' ';
    message.message().copy(line.data() + kStandardTimeLength + 2, message.message().size());
    return line;
  }
  std::string time = dateFormatter_->stringFromDate(when);
  line.reserve(time.size() + 2 + message.message().size());
  line += time;
  line += "  ";
  line += message.message();
  return line;
}

#include "Platform/Foundation/ISO8601.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace ns {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yearOfEra = y - era * 400;
  int64_t dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void civilFromDays(int64_t z, int64_t& y, int64_t& m, int64_t& d) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t dayOfEra = z - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t mp = (5 * dayOfYear + 2) / 153;
  d = dayOfYear - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = yearOfEra + era * 400 + (m <= 2);
}

bool isLeapYear(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int64_t y, int64_t m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeapYear(y) ? 29 : kDays[m - 1];
}

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}
  bool atEnd() const { return pos_ == text_.size(); }
  char peek() const { return atEnd() ? '\0' : text_[pos_]; }
  bool take(char c) {
    if (peek() != c) return false;
    ++pos_;
    return true;
  }
  bool takeEither(char a, char b) { return take(a) || take(b); }
  bool digits(size_t count, int64_t& value) {
    value = 0;
    for (size_t i = 0; i < count; ++i) {
      char c = peek();
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
      ++pos_;
    }
    return true;
  }
  bool isDigit() const { return peek() >= '0' && peek() <= '9'; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace

std::string ISO8601::stringFromDate(Date date, bool fractionalSeconds) {
  return stringFromDate(date, fractionalSeconds, TimeZone::gmt());
}

std::string ISO8601::stringFromDate(Date date, bool fractionalSeconds, const TimeZone& zone) {
  int offset = zone.secondsFromGMT(date);
  // Whole milliseconds, snapped so that a rounding error does not lose one.
  double exactMillis = date.timeIntervalSince1970() * 1000.0;
  double nearest = std::round(exactMillis);
  int64_t millis = static_cast<int64_t>(std::fabs(exactMillis - nearest) < 1e-3 ? nearest : std::floor(exactMillis));
  millis += int64_t(offset) * 1000;
  int64_t seconds = millis >= 0 ? millis / 1000 : (millis - 999) / 1000;
  int64_t fraction = millis - seconds * 1000;
  int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  int64_t secondOfDay = seconds - days * 86400;
  int64_t y, m, d;
  civilFromDays(days, y, m, d);

  char buffer[64];
  int n = std::snprintf(buffer, sizeof buffer, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld", static_cast<long long>(y),
                        static_cast<long long>(m), static_cast<long long>(d), static_cast<long long>(secondOfDay / 3600),
                        static_cast<long long>(secondOfDay / 60 % 60), static_cast<long long>(secondOfDay % 60));
  std::string out(buffer, n);
  if (fractionalSeconds) {
    std::snprintf(buffer, sizeof buffer, ".%03lld", static_cast<long long>(fraction));
    out += buffer;
  }
  if (offset == 0) {
    out += 'Z';
  } else {
    int magnitude = offset < 0 ? -offset : offset;
    std::snprintf(buffer, sizeof buffer, "%c%02d:%02d", offset < 0 ? '-' : '+', magnitude / 3600, magnitude / 60 % 60);
    out += buffer;
  }
  return out;
}

std::optional<Date> ISO8601::dateFromString(std::string_view text) {
  Reader r(text);
  int64_t year, month, day, hour, minute, second;
  if (!r.digits(4, year) || !r.take('-') || !r.digits(2, month) || !r.take('-') || !r.digits(2, day)) {
    return std::nullopt;
  }
  if (!r.takeEither('T', 't')) return std::nullopt;
  if (!r.digits(2, hour) || !r.take(':') || !r.digits(2, minute) || !r.take(':') || !r.digits(2, second)) {
    return std::nullopt;
  }
  double fraction = 0;
  if (r.take('.')) {
    if (!r.isDigit()) return std::nullopt;
    double scale = 0.1;
    while (r.isDigit()) {
      int64_t digit;
      r.digits(1, digit);
      fraction += double(digit) * scale;
      scale /= 10;
    }
  }
  int64_t offsetSeconds = 0;
  if (!r.takeEither('Z', 'z')) {
    int sign = r.take('+') ? 1 : r.take('-') ? -1 : 0;
    int64_t offsetHours, offsetMinutes = 0;
    if (sign == 0 || !r.digits(2, offsetHours)) return std::nullopt;
    if (r.take(':')) {
      if (!r.digits(2, offsetMinutes)) return std::nullopt;
    } else if (r.isDigit() && !r.digits(2, offsetMinutes)) {
      return std::nullopt;
    }
    if (offsetHours > 23 || offsetMinutes > 59) return std::nullopt;
    offsetSeconds = sign * (offsetHours * 3600 + offsetMinutes * 60);
  }
  if (!r.atEnd()) return std::nullopt;
  if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59 ||
      second > 59) {
    return std::nullopt;
  }
  int64_t unixSeconds = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offsetSeconds;
  return Date::fromUnixTime(double(unixSeconds) + fraction);
}

}  // namespace ns

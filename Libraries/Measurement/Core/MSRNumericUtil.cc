#include "Libraries/Measurement/Core/MSRNumericUtil.h"

#include <cmath>
#include <limits>

#include <regex>

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRRandom.h"

int64_t MSRNumericUtil::randomInt64() {
  // MSRRandom falls back on the system's generator when OpenSSL cannot
  // seed itself, so a draw always has its eight bytes.
  return static_cast<int64_t>(MSRRandom::next());
}

bool MSRIsValidDecimalString(const std::string& text) {
  static const std::regex pattern(R"(^[+-]?(([0-9]+\.?)|([0-9]*\.[0-9]+))$)", std::regex::icase);
  return !text.empty() && std::regex_match(text, pattern);
}

std::optional<ns::DecimalNumber> MSRDecimalNumberFromString(const std::string& text) {
  auto monitor = MSRMeasurement::monitor();
  if (!MSRIsValidDecimalString(text)) {
    monitor->logWithLevel(2, 26001, "String value does not represent a numeric value. Value", text);
    return std::nullopt;
  }
  ns::DecimalNumber number = ns::DecimalNumber::fromString(text);
  if (number.isNaN()) {
    monitor->logWithLevel(2, 26002, "Unable to create a NSDecimalNumber from string value. Value", text);
    return std::nullopt;
  }
  // The number's own text must appear in what was written ("1.50" holds
  // "1.5", "007" holds "7"); a leading point gets its zero first.
  std::string written = text;
  if (written.starts_with("+.") || written.starts_with("-.") || written.starts_with(".")) {
    written.insert(written.find('.'), "0");
  }
  const std::string digits = (number.isNegative() ? number.negated() : number).stringValue();
  if (written.find(digits) == std::string::npos) {
    monitor->logWithLevel(2, 26003,
                          "Unable to create a NSDecimalNumber from string value: loss of precision. Value", written);
    return std::nullopt;
  }
  return number;
}

int64_t MSRMillisecondsFromSeconds(double seconds) {
  double milliseconds = std::trunc(seconds * 1000.0);
  if (std::isnan(milliseconds)) return 0;
  // 2^63 is exact as a double; anything at or past it does not fit.
  if (milliseconds >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
  if (milliseconds < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(milliseconds);
}

int64_t MSRSaturatingAdd(int64_t a, int64_t b) {
  int64_t sum;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

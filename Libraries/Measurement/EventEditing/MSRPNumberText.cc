#include "Libraries/Measurement/EventEditing/MSRPNumberText.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "Platform/Foundation/StringOps.h"

namespace {

// Decimal digits and the position of the point relative to them:
// value = 0.DIGITS x 10^point.
struct ShortestDigits {
  std::string digits;
  int point = 0;
};

// Digits and point of a decimal in scientific text "d.ddde+XX".
ShortestDigits fromScientific(std::string_view text) {
  size_t e = text.find('e');
  ShortestDigits decimal;
  for (char c : text.substr(0, e)) {
    if (c != '.') decimal.digits.push_back(c);
  }
  int exponent = 0;
  std::from_chars(text.data() + e + 2, text.data() + text.size(), exponent);
  decimal.point = (text[e + 1] == '-' ? -exponent : exponent) + 1;
  return decimal;
}

double valueOf(const ShortestDigits& decimal) {
  std::string text = "0." + decimal.digits + "e" + std::to_string(decimal.point);
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// The same number of digits one unit further from zero ("129" gives
// "130", "99" gives "10" with the point moved).
ShortestDigits nextUp(ShortestDigits decimal) {
  std::string& digits = decimal.digits;
  size_t i = digits.size();
  while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
  if (i == 0) {
    digits.insert(digits.begin(), '1');
    digits.pop_back();
    ++decimal.point;
  } else {
    ++digits[i - 1];
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  return decimal;
}

// Whether the double is exactly halfway between the decimal and the next
// one up: its exact expansion (at most 767 significant digits) is the
// decimal's digits followed by a 5.
bool isHalfwayAbove(double magnitude, const ShortestDigits& decimal) {
  static thread_local char buffer[1024];
  // One digit more, rounded: the 5 must be there before the exact
  // expansion is worth making.
  int precision = static_cast<int>(decimal.digits.size());
  auto rounded = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, precision);
  ShortestDigits near = fromScientific(std::string_view(buffer, rounded.ptr));
  if (near.point != decimal.point || near.digits != decimal.digits + "5") return false;
  auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, 767);
  ShortestDigits exact = fromScientific(std::string_view(buffer, result.ptr));
  while (exact.digits.size() > 1 && exact.digits.back() == '0') exact.digits.pop_back();
  return exact.point == decimal.point && exact.digits == decimal.digits + "5";
}

// The shortest decimal digits that read back as the magnitude, the nearest
// such when several have as few digits, and of two equally near the one
// further from zero (the platform formatter's half-up rounding; the
// library's shortest form breaks that tie toward the even digit).
ShortestDigits shortestDigits(double magnitude) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
  ShortestDigits shortest = fromScientific(std::string_view(buffer, result.ptr));
  if ((shortest.digits.back() - '0') % 2 != 0) return shortest;
  ShortestDigits up = nextUp(shortest);
  if (up.digits.size() <= shortest.digits.size() && valueOf(up) == magnitude &&
      isHalfwayAbove(magnitude, shortest)) {
    return up;
  }
  return shortest;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Whether the text is one decimal number: [+-]? (D+ (. D*)? | . D+) ([eE] [+-]? D+)?
bool isDecimalNumber(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t integerDigits = 0;
  while (i < s.size() && isDigit(s[i])) ++i, ++integerDigits;
  size_t fractionDigits = 0;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && isDigit(s[i])) ++i, ++fractionDigits;
  }
  if (integerDigits + fractionDigits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exponentDigits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  return i == s.size();
}

// For a number from_chars could not hold: whether its magnitude is above
// 1 (it overflowed) rather than below (it underflowed). The number is
// valid and has a non-zero digit.
bool isTooLarge(std::string_view s) {
  size_t i = 0;
  // Position of the first non-zero digit relative to the point: 1 for
  // "5", 0 for "0.5", -1 for "0.05".
  long order = 0;
  bool seenPoint = false;
  bool found = false;
  for (; i < s.size() && s[i] != 'e' && s[i] != 'E'; ++i) {
    if (s[i] == '.') {
      seenPoint = true;
    } else if (!found && s[i] != '0') {
      found = true;
      if (!seenPoint) ++order;
    } else if (found && !seenPoint) {
      ++order;
    } else if (!found && seenPoint) {
      --order;
    }
  }
  long exponent = 0;
  if (i < s.size()) {
    ++i;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';
    for (; i < s.size(); ++i) {
      if (exponent < 100000000) exponent = exponent * 10 + (s[i] - '0');
    }
    if (negative) exponent = -exponent;
  }
  return order + exponent > 0;
}

}  // namespace

std::u16string MSRPStringFromNumber(double value) {
  if (std::isnan(value)) return u"NaN";
  if (std::isinf(value)) return value > 0 ? u"Infinity" : u"-Infinity";
  if (value == 0) return u"0";
  ShortestDigits shortest = shortestDigits(std::fabs(value));
  const std::string& digits = shortest.digits;
  int count = static_cast<int>(digits.size());
  int point = shortest.point;
  std::string text = value < 0 ? "-" : "";
  if (count <= point && point <= 21) {
    // 1e20 is 1 followed by 20 zeros.
    text += digits + std::string(point - count, '0');
  } else if (0 < point && point <= 21) {
    text += digits.substr(0, point) + "." + digits.substr(point);
  } else if (-6 < point && point <= 0) {
    text += "0." + std::string(-point, '0') + digits;
  } else {
    text += digits.substr(0, 1);
    if (count > 1) text += "." + digits.substr(1);
    text += point - 1 < 0 ? "e-" : "e+";
    text += std::to_string(std::abs(point - 1));
  }
  return std::u16string(text.begin(), text.end());
}

double MSRPNumberFromString(std::u16string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && ns::isWhitespaceOrNewline(text[begin])) ++begin;
  while (end > begin && ns::isWhitespaceOrNewline(text[end - 1])) --end;
  std::u16string_view trimmed = text.substr(begin, end - begin);
  if (trimmed.empty()) return 0;
  if (trimmed == u"NaN") return std::numeric_limits<double>::quiet_NaN();
  if (trimmed == u"Infinity") return std::numeric_limits<double>::infinity();
  if (trimmed == u"-Infinity") return -std::numeric_limits<double>::infinity();

  std::string ascii;
  ascii.reserve(trimmed.size());
  for (char16_t unit : trimmed) {
    if (unit > 0x7f) return std::numeric_limits<double>::quiet_NaN();
    ascii.push_back(static_cast<char>(unit));
  }
  if (!isDecimalNumber(ascii)) return std::numeric_limits<double>::quiet_NaN();
  bool negative = ascii[0] == '-';
  std::string_view unsignedText(ascii);
  if (ascii[0] == '+' || ascii[0] == '-') unsignedText.remove_prefix(1);
  double magnitude = 0;
  auto result = std::from_chars(unsignedText.data(), unsignedText.data() + unsignedText.size(), magnitude,
                                std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    magnitude = isTooLarge(unsignedText) ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (result.ec != std::errc() || result.ptr != unsignedText.data() + unsignedText.size()) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return negative ? -magnitude : magnitude;
}

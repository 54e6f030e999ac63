#include "Platform/Foundation/DecimalNumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace ns {

namespace {

using u128 = unsigned __int128;

std::string digitsOf(u128 value) {
  if (value == 0) return "0";
  std::string out;
  while (value > 0) {
    out.insert(out.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
    value /= 10;
  }
  return out;
}

// Adds one to a string of decimal digits; "999" becomes "1000".
void increment(std::string& digits) {
  for (size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

// Keeps the first `keep` digits, rounding half away from zero on the first
// dropped one, and adds the dropped count to `exponent`. Half-up needs only
// that digit: whatever follows it cannot move the result across the half.
void roundToDigits(std::string& digits, size_t keep, int64_t& exponent) {
  if (digits.size() <= keep) return;
  const bool up = digits[keep] >= '5';
  exponent += static_cast<int64_t>(digits.size() - keep);
  digits.resize(keep);
  if (up) {
    if (digits.empty()) digits = "0";
    increment(digits);
    if (digits.size() > std::max<size_t>(keep, 1)) {
      digits.pop_back();  // a carry out of "99...9" leaves "100...0"
      ++exponent;
    }
  }
}

}  // namespace

DecimalNumber::DecimalNumber(int64_t value)
    : DecimalNumber(value < 0 ? u128(-(value + 1)) + 1 : u128(value), 0, value < 0) {}

DecimalNumber::DecimalNumber(u128 mantissa, int exponent, bool negative) {
  // Every value is made from its digits, so that the one rounding routine
  // below serves parsing, construction and multiplication alike.
  std::string digits = digitsOf(mantissa);
  int64_t e = exponent;
  roundToDigits(digits, kMaxDigits, e);
  // Trailing zeros go into the exponent where the range lets them.
  while (digits.size() > 1 && digits.back() == '0' && e < kMaxExponent) {
    digits.pop_back();
    ++e;
  }
  // Too large: spend zeros in the mantissa while there is room.
  while (e > kMaxExponent && digits != "0" && digits.size() < size_t(kMaxDigits)) {
    digits.push_back('0');
    --e;
  }
  if (e < kMinExponent) {
    // Too small: the digits below 10^-128 round away.
    const int64_t drop = kMinExponent - e;
    if (drop > static_cast<int64_t>(digits.size())) {
      digits = "0";
      e = kMinExponent;
    } else {
      roundToDigits(digits, digits.size() - static_cast<size_t>(drop), e);
    }
  }
  u128 m = 0;
  for (char c : digits) m = m * 10 + static_cast<u128>(c - '0');
  if (m == 0) {
    *this = DecimalNumber();
    return;
  }
  if (e > kMaxExponent) {
    *this = notANumber();
    return;
  }
  while (m % 10 == 0 && e < kMaxExponent) {
    m /= 10;
    ++e;
  }
  mantissa_ = m;
  exponent_ = static_cast<int>(e);
  negative_ = negative;
}

DecimalNumber DecimalNumber::notANumber() {
  DecimalNumber n;
  n.nan_ = true;
  return n;
}

DecimalNumber DecimalNumber::fromString(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::string digits;
  int64_t exponent = 0;
  bool sawDigit = false, sawPoint = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      sawDigit = true;
      if (digits.empty() && c == '0') {
        if (sawPoint) --exponent;  // a leading zero after the point
        continue;
      }
      digits.push_back(c);
      if (sawPoint) --exponent;
    } else if (c == '.' && !sawPoint) {
      sawPoint = true;
    } else {
      break;
    }
  }
  if (!sawDigit) return notANumber();
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool expNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) expNegative = text[i++] == '-';
    if (i == text.size() || text[i] < '0' || text[i] > '9') return notANumber();
    int64_t written = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      if (written < 100000) written = written * 10 + (text[i] - '0');
    }
    exponent += expNegative ? -written : written;
  }
  if (i != text.size()) return notANumber();
  if (digits.empty()) return DecimalNumber();
  // Leading digits past the 38th only round; keep the exponent right.
  roundToDigits(digits, kMaxDigits, exponent);
  u128 m = 0;
  for (char c : digits) m = m * 10 + static_cast<u128>(c - '0');
  DecimalNumber parsed(m, static_cast<int>(exponent), negative);
  // A text that names a number too small to keep is no number either:
  // silently reading 0 would change the value the caller wrote.
  if (parsed.isZero() && m != 0) return notANumber();
  return parsed;
}

std::string DecimalNumber::stringValue() const {
  if (nan_) return "NaN";
  if (mantissa_ == 0) return "0";
  std::string digits = digitsOf(mantissa_);
  std::string out = negative_ ? "-" : "";
  if (exponent_ >= 0) {
    out += digits;
    out.append(static_cast<size_t>(exponent_), '0');
  } else {
    size_t fraction = static_cast<size_t>(-exponent_);
    if (fraction >= digits.size()) {
      out += "0.";
      out.append(fraction - digits.size(), '0');
      out += digits;
    } else {
      out += digits.substr(0, digits.size() - fraction);
      out += '.';
      out += digits.substr(digits.size() - fraction);
    }
  }
  return out;
}

int64_t DecimalNumber::int64Value() const {
  if (nan_ || mantissa_ == 0) return 0;
  u128 magnitude = mantissa_;
  const u128 limit = negative_ ? u128(std::numeric_limits<int64_t>::max()) + 1
                               : u128(std::numeric_limits<int64_t>::max());
  if (exponent_ < 0) {
    for (int k = 0; k < -exponent_ && magnitude > 0; ++k) magnitude /= 10;
  } else {
    for (int k = 0; k < exponent_ && magnitude <= limit; ++k) magnitude *= 10;
  }
  if (magnitude > limit) magnitude = limit;
  if (!negative_) return static_cast<int64_t>(magnitude);
  return magnitude == limit ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(magnitude);
}

double DecimalNumber::doubleValue() const {
  if (nan_) return std::nan("");
  // The plain text is exact; from_chars rounds it correctly once.
  std::string text = stringValue();
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

DecimalNumber DecimalNumber::multiply(const DecimalNumber& other) const {
  if (nan_ || other.nan_) return notANumber();
  if (mantissa_ == 0 || other.mantissa_ == 0) return DecimalNumber();
  // The exact product has up to 76 digits: multiply digit by digit, then
  // round once.
  std::string a = digitsOf(mantissa_), b = digitsOf(other.mantissa_);
  std::vector<int> product(a.size() + b.size(), 0);
  for (size_t i = a.size(); i-- > 0;) {
    for (size_t j = b.size(); j-- > 0;) {
      product[i + j + 1] += (a[i] - '0') * (b[j] - '0');
    }
  }
  for (size_t k = product.size(); k-- > 1;) {
    product[k - 1] += product[k] / 10;
    product[k] %= 10;
  }
  std::string digits;
  for (int d : product) {
    if (digits.empty() && d == 0) continue;
    digits.push_back(static_cast<char>('0' + d));
  }
  int64_t exponent = int64_t(exponent_) + other.exponent_;
  roundToDigits(digits, kMaxDigits, exponent);
  const bool negative = negative_ != other.negative_;
  u128 m = 0;
  for (char c : digits) m = m * 10 + static_cast<u128>(c - '0');
  return DecimalNumber(m, static_cast<int>(exponent), negative);
}

DecimalNumber DecimalNumber::negated() const {
  DecimalNumber n = *this;
  if (!n.nan_ && n.mantissa_ != 0) n.negative_ = !n.negative_;
  return n;
}

std::strong_ordering DecimalNumber::compare(const DecimalNumber& other) const {
  if (nan_ || other.nan_) {
    if (nan_ && other.nan_) return std::strong_ordering::equal;
    return nan_ ? std::strong_ordering::less : std::strong_ordering::greater;
  }
  const int signA = mantissa_ == 0 ? 0 : (negative_ ? -1 : 1);
  const int signB = other.mantissa_ == 0 ? 0 : (other.negative_ ? -1 : 1);
  if (signA != signB) return signA <=> signB;
  if (signA == 0) return std::strong_ordering::equal;
  // Same sign: compare magnitudes by their leading digit's place, then
  // digit by digit.
  std::string a = digitsOf(mantissa_), b = digitsOf(other.mantissa_);
  const int64_t placeA = int64_t(a.size()) + exponent_, placeB = int64_t(b.size()) + other.exponent_;
  std::strong_ordering magnitude = placeA <=> placeB;
  if (magnitude == 0) {
    const size_t width = std::max(a.size(), b.size());
    a.resize(width, '0');
    b.resize(width, '0');
    const int c = a.compare(b);
    magnitude = c <=> 0;
  }
  if (signA > 0) return magnitude;
  return 0 <=> magnitude;
}

}  // namespace ns

// A decimal number as the platform keeps one: up to 38 significant decimal
// digits and a power-of-ten exponent from -128 to 127, or not-a-number.
// Purchase prices, audience comparisons and the measurement engine's
// numeric texts go through it, so "0.1" is 0.1 and not the nearest binary
// fraction.
//
// - Parsing follows the "en_US" locale: optional blanks, a sign, digits with
//   at most one "." (".5", "3." are numbers), an optional exponent "e" or
//   "E" with a sign and digits. Anything else (grouping commas, "0x10",
//   trailing text, "") gives not-a-number. Digits beyond the 38th are
//   rounded half away from zero ("half-up"); an exponent out of range gives
//   not-a-number.
// - Printing writes the value in plain notation with no trailing zeros and
//   no exponent: "1.50" prints "1.5", "1e3" prints "1000", "-0" prints "0".
// - Multiplying rounds the exact product to 38 digits the same way; a
//   product whose exponent leaves the range is not-a-number (too large) or 0
//   (too small).
//
// A value type; copy freely, use from any thread.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace ns {

class DecimalNumber {
 public:
  static constexpr int kMaxDigits = 38;
  static constexpr int kMinExponent = -128;
  static constexpr int kMaxExponent = 127;

  // Zero.
  DecimalNumber() = default;
  explicit DecimalNumber(int64_t value);
  // mantissa x 10^exponent, rounded to 38 digits; not-a-number when the
  // exponent leaves the range.
  DecimalNumber(unsigned __int128 mantissa, int exponent, bool negative);

  static DecimalNumber notANumber();
  // The "en_US" reading of `text` (see above).
  static DecimalNumber fromString(std::string_view text);

  bool isNaN() const { return nan_; }
  bool isZero() const { return !nan_ && mantissa_ == 0; }
  bool isNegative() const { return negative_; }
  // Normalised: no trailing zero digit in the mantissa (0 has exponent 0).
  unsigned __int128 mantissa() const { return mantissa_; }
  int exponent() const { return exponent_; }

  // Plain notation (see above); "NaN" for not-a-number.
  std::string stringValue() const;
  // The integer part (truncated toward zero), saturated at the int64 range;
  // 0 for not-a-number.
  int64_t int64Value() const;
  double doubleValue() const;

  DecimalNumber multiply(const DecimalNumber& other) const;
  DecimalNumber negated() const;

  // Numeric order; not-a-number sorts below every number and equals itself.
  std::strong_ordering compare(const DecimalNumber& other) const;
  bool operator==(const DecimalNumber& other) const { return compare(other) == 0; }
  std::strong_ordering operator<=>(const DecimalNumber& other) const { return compare(other); }

 private:
  bool nan_ = false;
  bool negative_ = false;
  unsigned __int128 mantissa_ = 0;
  int exponent_ = 0;
};

}  // namespace ns

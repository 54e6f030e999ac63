// Numbers of the measurement library: the random 64-bit number and decimal
// texts read without losing digits (purchase values, numeric parameters).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Platform/Foundation/DecimalNumber.h"

class MSRNumericUtil {
 public:
  MSRNumericUtil() = delete;
  // 8 bytes of the library's random source (MSRRandom) as a signed number.
  static int64_t randomInt64();
};

// A text of an optional sign and decimal digits with at most one point
// ("+.5", "-3.", "007"); no exponent, no hexadecimal, not empty.
bool MSRIsValidDecimalString(const std::string& text);

// The decimal number of such a text, or none, logged at level 2: 26001 not a
// decimal text, 26002 not readable as a number, 26003 more significant
// digits than a decimal number keeps (38), so the value would change.
std::optional<ns::DecimalNumber> MSRDecimalNumberFromString(const std::string& text);

// Seconds as whole milliseconds, truncated toward zero; saturated at the
// int64 range, NaN as 0 (times come from other libraries and stored rows,
// and an out-of-range conversion would be undefined).
int64_t MSRMillisecondsFromSeconds(double seconds);

// a + b, held at the int64 range instead of wrapping (sums of times and
// counts some of which come from a server).
int64_t MSRSaturatingAdd(int64_t a, int64_t b);

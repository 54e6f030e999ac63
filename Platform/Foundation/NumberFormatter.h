// A number formatter of the decimal style, used here to read numbers out of
// text ("90000", "-900", "1,234.5" in an English locale).
//
// A formatter whose locale was never set reads in the device locale of the
// moment it parses. Parsing takes the whole text as one number: "1x",
// "true", "" and a text with trailing characters give none. Parsing is
// safe from any thread; set the locale before the formatter is shared.
#pragma once

#include <optional>
#include <string_view>

#include "Platform/Foundation/Locale.h"

namespace ns {

class NumberFormatter {
 public:
  NumberFormatter() = default;

  // The locale set, or the device locale of the moment when none was set.
  Locale locale() const;
  void setLocale(const Locale& locale) { locale_ = locale; }

  std::optional<double> numberFromString(std::string_view text) const;

 private:
  std::optional<Locale> locale_;
};

}  // namespace ns

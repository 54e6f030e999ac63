// A text made safe as one value of a URL query: everything but ASCII
// letters, digits and "-._~" is percent-encoded, so the value can neither
// end itself ("&", "=", "#") nor carry characters a URL may not hold.
#pragma once

#include <string>
#include <string_view>

#include "Platform/Foundation/URL.h"

inline std::string percentEncodedQueryValue(std::string_view text) {
  return ns::percentEncode(text, [](char32_t c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                  c == '.' || c == '_' || c == '~';
         }).value_or("");
}

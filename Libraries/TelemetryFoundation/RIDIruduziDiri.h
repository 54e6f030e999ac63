// RIDIruduziDiri: the device's network on demand: the cellular provider's
// codes, the radio access technology, and whether the default route is
// mobile. There is no cellular side here (Platform/Network/
// TelephonyNetworkInfo.h), so the codes and the technology are absent and
// the network type is 1 (a route) or -1 (none). Safe from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Platform/Network/TelephonyNetworkInfo.h"

class RIDIruduziDiri {
 public:
  // The process's one telephony information object.
  static const net::TelephonyNetworkInfo& getNetworkInfo();
  static std::optional<std::string> getNetworkMobileCountryCode();
  static std::optional<std::string> getNetworkMobileNetworkCode();
  // The country code (3 characters) followed by the network code (2 or 3),
  // when both are given and the result is all decimal digits.
  static std::optional<std::string> formatMcc(const std::optional<std::string>& mcc,
                                              const std::optional<std::string>& mnc);
  // -1 no route, 0 mobile, 1 other: the flags of one reachability handle
  // for a fixed host name, made once (a name only; nothing is contacted).
  static int32_t getNetworkType();
  static std::optional<std::string> getNetworkRadioType();
};

// The device's cellular side (the platform's telephony network
// information). This host has no cellular modem: there is no provider and
// no radio access technology, as a device without a SIM answers.
#pragma once

#include <optional>
#include <string>

namespace net {

struct CellularProvider {
  std::optional<std::string> mobileCountryCode;
  std::optional<std::string> mobileNetworkCode;
};

class TelephonyNetworkInfo {
 public:
  std::optional<CellularProvider> subscriberCellularProvider() const { return std::nullopt; }
  std::optional<std::string> currentRadioAccessTechnology() const { return std::nullopt; }
};

}  // namespace net

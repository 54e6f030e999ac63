// The system's install-attribution service for ads. This device has no
// such service: every call is recorded, for tests and the host program to
// read back, and nothing is sent anywhere.
#pragma once

#include <cstddef>

namespace sk {

class AdNetwork {
 public:
  // Registers the app for ad attribution: recorded, nothing sent.
  static void registerAppForAdNetworkAttribution();
  // How many times the app registered in this process.
  static size_t registrationCount();
};

}  // namespace sk

// The system's install-attribution service for ads. This device has no
// such service: every call is recorded, for tests and the host program to
// read back, and nothing is sent anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Error.h"

namespace sk {

// The coarse conversion values a postback may carry.
inline constexpr const char* kAdNetworkCoarseConversionValueLow = "low";
inline constexpr const char* kAdNetworkCoarseConversionValueMedium = "medium";
inline constexpr const char* kAdNetworkCoarseConversionValueHigh = "high";

// The domain of the service's errors.
inline constexpr const char* kAdNetworkErrorDomain = "SKANErrorDomain";

// One postback update as the app asked for it.
struct PostbackUpdate {
  int64_t fineValue = 0;
  std::string coarseValue;
  bool lockWindow = false;

  bool operator==(const PostbackUpdate&) const = default;
};

class AdNetwork {
 public:
  using CompletionHandler = std::function<void(std::optional<ns::Error> error)>;

  // Registers the app for ad attribution: recorded, nothing sent.
  static void registerAppForAdNetworkAttribution();
  // How many times the app registered in this process.
  static size_t registrationCount();

  // Asks for the postback's conversion values to become these: recorded,
  // then the completion hears the answer set by setPostbackUpdateError
  // (none: success). As on a device, the completion runs on a queue of the
  // service's own (the default global queue), never the caller's.
  static void updatePostbackConversionValue(int64_t fineValue, const std::string& coarseValue, bool lockWindow,
                                            CompletionHandler completionHandler);
  // The updates asked for in this process, oldest first.
  static std::vector<PostbackUpdate> postbackUpdates();
  // What the following updates answer: an error, or none for success.
  static void setPostbackUpdateError(std::optional<ns::Error> error);
  // Forgets the recorded updates and answers with success again.
  static void resetPostbackUpdates();
};

}  // namespace sk

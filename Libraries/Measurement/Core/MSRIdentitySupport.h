// The advertising identifier and the tracking authorisation, which the
// platform offers only through classes found by name at run time.
//
// MSRPlatformIdentitySupport asks those classes ("ATTrackingManager",
// "ASIdentifierManager"); MSRDefaultIdentitySupport is what the identity
// uses: it forwards to the platform support and bounds how long a caller
// waits for the advertising identifier.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Runtime/Runtime.h"

class MSRIdentitySupport {
 public:
  virtual ~MSRIdentitySupport() = default;
  virtual bool hasAppDataConsentStatus() = 0;
  virtual uint64_t appDataConsentStatus() = 0;
  virtual bool hasLimitedAdTracking() = 0;
  virtual bool limitedAdTracking() = 0;
  virtual std::optional<std::string> resettableDeviceID() = 0;
};

// The class the default support finds by name; registered by this library.
inline constexpr const char* kMSRPlatformIdentitySupportClassName = "MSRPlatformIdentitySupport";

// Selectors of the platform classes, as the stand-ins of tests answer them:
//   "ATTrackingManager" class method "trackingAuthorizationStatus":
//     uint64_t(const rt::Class&)
//   "ASIdentifierManager" class method "sharedManager":
//     std::shared_ptr<void>(const rt::Class&); instance methods
//     "isAdvertisingTrackingEnabled": bool(const std::shared_ptr<void>&) and
//     "advertisingIdentifier":
//       std::optional<std::string>(const std::shared_ptr<void>&) (UUID text)
class MSRPlatformIdentitySupport : public MSRIdentitySupport {
 public:
  static std::shared_ptr<MSRPlatformIdentitySupport> sharedInstance();

  bool hasAppDataConsentStatus() override;
  uint64_t appDataConsentStatus() override;
  bool hasLimitedAdTracking() override;
  bool limitedAdTracking() override;
  std::optional<std::string> resettableDeviceID() override;
};

class MSRDefaultIdentitySupport : public MSRIdentitySupport {
 public:
  static std::shared_ptr<MSRDefaultIdentitySupport> sharedInstance();
  // Over `platform` (null: no platform support); for tests.
  explicit MSRDefaultIdentitySupport(std::shared_ptr<MSRIdentitySupport> platform);

  // The host models a current system.
  static bool iOS14OrAbove() { return true; }

  bool hasAppDataConsentStatus() override;
  uint64_t appDataConsentStatus() override;
  bool hasLimitedAdTracking() override;
  bool limitedAdTracking() override;
  // Asks the platform on the support's queue and waits at most 10 ms; then
  // the last identifier read, which is an earlier call's while the
  // platform is slow.
  std::optional<std::string> resettableDeviceID() override;

 private:
  // Owned by the support and shared with the platform call, so that a call
  // that finishes after its caller gave up writes into live state.
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<std::string> lastIdentifier;
    uint64_t finishedCalls = 0;
  };

  std::shared_ptr<MSRIdentitySupport> platform_;
  std::shared_ptr<State> state_;
  std::shared_ptr<dispatch::Queue> queue_;
  std::mutex callsMutex_;
  uint64_t startedCalls_ = 0;
};

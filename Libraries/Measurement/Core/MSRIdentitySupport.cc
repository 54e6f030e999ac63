#include "Libraries/Measurement/Core/MSRIdentitySupport.h"

#include <chrono>

namespace {

constexpr const char* kTrackingManager = "ATTrackingManager";
constexpr const char* kIdentifierManager = "ASIdentifierManager";

std::shared_ptr<void> identifierManager() {
  auto cls = rt::classFromString(kIdentifierManager);
  if (!cls) return nullptr;
  auto shared = rt::functionOf<std::shared_ptr<void>(const rt::Class&)>(
      rt::methodImplementation(*cls, "sharedManager", rt::MethodKind::Class));
  return shared ? shared(*cls) : nullptr;
}

// The platform support is found by name like the platform's own classes,
// so a program without it simply has none.
class PlatformIdentitySupportClass : public rt::Class {
 public:
  PlatformIdentitySupportClass() : rt::Class(kMSRPlatformIdentitySupportClassName, {"sharedInstance"}) {}
  std::shared_ptr<MSRIdentitySupport> sharedInstance() const { return MSRPlatformIdentitySupport::sharedInstance(); }
};

const bool registered = [] {
  rt::registerClass(std::make_shared<PlatformIdentitySupportClass>());
  return true;
}();

}  // namespace

std::shared_ptr<MSRPlatformIdentitySupport> MSRPlatformIdentitySupport::sharedInstance() {
  static const auto instance = std::make_shared<MSRPlatformIdentitySupport>();
  return instance;
}

bool MSRPlatformIdentitySupport::hasAppDataConsentStatus() { return rt::classFromString(kTrackingManager) != nullptr; }

uint64_t MSRPlatformIdentitySupport::appDataConsentStatus() {
  auto cls = rt::classFromString(kTrackingManager);
  if (!cls) return ~uint64_t{0};
  auto status = rt::functionOf<uint64_t(const rt::Class&)>(
      rt::methodImplementation(*cls, "trackingAuthorizationStatus", rt::MethodKind::Class));
  return status ? status(*cls) : ~uint64_t{0};
}

bool MSRPlatformIdentitySupport::hasLimitedAdTracking() { return identifierManager() != nullptr; }

bool MSRPlatformIdentitySupport::limitedAdTracking() {
  auto cls = rt::classFromString(kIdentifierManager);
  auto manager = identifierManager();
  if (!manager) return false;
  auto enabled = rt::functionOf<bool(const std::shared_ptr<void>&)>(
      rt::methodImplementation(*cls, "isAdvertisingTrackingEnabled", rt::MethodKind::Instance));
  return enabled ? !enabled(manager) : false;
}

std::optional<std::string> MSRPlatformIdentitySupport::resettableDeviceID() {
  auto cls = rt::classFromString(kIdentifierManager);
  auto manager = identifierManager();
  if (!manager) return std::nullopt;
  auto identifier = rt::functionOf<std::optional<std::string>(const std::shared_ptr<void>&)>(
      rt::methodImplementation(*cls, "advertisingIdentifier", rt::MethodKind::Instance));
  return identifier ? identifier(manager) : std::nullopt;
}

std::shared_ptr<MSRDefaultIdentitySupport> MSRDefaultIdentitySupport::sharedInstance() {
  static const auto instance = [] {
    std::shared_ptr<MSRIdentitySupport> platform;
    (void)registered;
    if (auto cls = std::dynamic_pointer_cast<PlatformIdentitySupportClass>(
            rt::classFromString(kMSRPlatformIdentitySupportClassName))) {
      platform = cls->sharedInstance();
    }
    return std::make_shared<MSRDefaultIdentitySupport>(std::move(platform));
  }();
  return instance;
}

MSRDefaultIdentitySupport::MSRDefaultIdentitySupport(std::shared_ptr<MSRIdentitySupport> platform)
    : platform_(std::move(platform)),
      state_(std::make_shared<State>()),
      queue_(dispatch::Queue::serial("MSRDefaultIdentitySupport")) {}

bool MSRDefaultIdentitySupport::hasAppDataConsentStatus() {
  return platform_ ? platform_->hasAppDataConsentStatus() : false;
}

uint64_t MSRDefaultIdentitySupport::appDataConsentStatus() {
  return platform_ ? platform_->appDataConsentStatus() : ~uint64_t{0};
}

bool MSRDefaultIdentitySupport::hasLimitedAdTracking() { return platform_ ? platform_->hasLimitedAdTracking() : false; }

bool MSRDefaultIdentitySupport::limitedAdTracking() {
  if (iOS14OrAbove()) {
    auto identifier = resettableDeviceID();
    return !identifier || *identifier == "00000000-0000-0000-0000-000000000000";
  }
  return platform_ ? platform_->limitedAdTracking() : false;
}

std::optional<std::string> MSRDefaultIdentitySupport::resettableDeviceID() {
  if (!platform_) return std::nullopt;
  uint64_t call;
  {
    std::lock_guard lock(callsMutex_);
    call = ++startedCalls_;
  }
  queue_->async([platform = platform_, state = state_] {
    auto identifier = platform->resettableDeviceID();
    std::lock_guard lock(state->mutex);
    state->lastIdentifier = std::move(identifier);
    ++state->finishedCalls;
    state->changed.notify_all();
  });
  std::unique_lock lock(state_->mutex);
  state_->changed.wait_for(lock, std::chrono::milliseconds(10), [&] { return state_->finishedCalls >= call; });
  return state_->lastIdentifier;
}

#include "Libraries/Measurement/Core/MSRAnalytics.h"

#include <memory>

#include "Libraries/Measurement/Storage/MSRUserDefaults.h"

namespace {

constexpr const char* kSuiteName = "MSRAnalyticsSuiteName";
constexpr const char* kPersistentConfigInApplicationSupportEnabledKey =
    "persistent_config_in_application_support_enabled";

MSRUserDefaults& analyticsDefaults() {
  static const auto* defaults = new std::shared_ptr<MSRUserDefaults>(std::make_shared<MSRUserDefaults>(kSuiteName));
  return **defaults;
}

}  // namespace

bool MSRAnalytics::persistentConfigInApplicationSupportEnabled() {
  return analyticsDefaults().boolForKey(kPersistentConfigInApplicationSupportEnabledKey);
}

void MSRAnalytics::setPersistentConfigInApplicationSupportEnabled(bool enabled) {
  analyticsDefaults().setBool(enabled, kPersistentConfigInApplicationSupportEnabledKey);
}

#include "Libraries/Measurement/Core/MSRAnalytics.h"

#include <memory>
#include <mutex>

#include "Libraries/Measurement/Storage/MSRUserDefaults.h"
#include "Platform/Foundation/Clock.h"

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

namespace {

constexpr const char* kResetRetryCountKey = "reset_retry_count";
constexpr const char* kNeedFirstOpenAfterResetKey = "need_first_open_after_reset";
constexpr const char* kAppInstanceIDAfterResetKey = "app_instance_id_after_reset";
constexpr const char* kDeferredAnalyticsCollectionKey = "deferred_analytics_collection";
constexpr const char* kDeferredConsentResetKey = "deferred_consent_reset";

struct LoadTime {
  std::mutex mutex;
  std::optional<double> seconds;
};

LoadTime& loadTime() {
  static auto* instance = new LoadTime();
  return *instance;
}

}  // namespace

int64_t MSRAnalytics::resetRetryCount() {
  auto value = analyticsDefaults().objectForKey(kResetRetryCountKey);
  return value && value->isNumber() ? value->integerValue() : 0;
}

void MSRAnalytics::setResetRetryCount(int64_t count) {
  if (count < 1) {
    analyticsDefaults().removeObjectForKey(kResetRetryCountKey);
  } else {
    analyticsDefaults().setObject(ns::Value(count), kResetRetryCountKey);
  }
}

bool MSRAnalytics::needFirstOpenAfterReset() { return analyticsDefaults().boolForKey(kNeedFirstOpenAfterResetKey); }

void MSRAnalytics::setNeedFirstOpenAfterReset(bool need) { analyticsDefaults().setBool(need, kNeedFirstOpenAfterResetKey); }

void MSRAnalytics::removeNeedFirstOpenAfterReset() { analyticsDefaults().removeObjectForKey(kNeedFirstOpenAfterResetKey); }

std::optional<std::string> MSRAnalytics::appInstanceIDAfterReset() {
  auto value = analyticsDefaults().objectForKey(kAppInstanceIDAfterResetKey);
  if (value && value->asString()) return *value->asString();
  return std::nullopt;
}

void MSRAnalytics::setAppInstanceIDAfterReset(const std::optional<std::string>& appInstanceID) {
  if (appInstanceID) {
    analyticsDefaults().setObject(ns::Value(*appInstanceID), kAppInstanceIDAfterResetKey);
  } else {
    analyticsDefaults().removeObjectForKey(kAppInstanceIDAfterResetKey);
  }
}

std::optional<ns::Value> MSRAnalytics::deferredAnalyticsCollection() {
  return analyticsDefaults().objectForKey(kDeferredAnalyticsCollectionKey);
}

void MSRAnalytics::setDeferredAnalyticsCollection(const std::optional<ns::Value>& value) {
  analyticsDefaults().setObject(value, kDeferredAnalyticsCollectionKey);
}

std::optional<ns::Value> MSRAnalytics::deferredResetOnDeniedConsent() {
  return analyticsDefaults().objectForKey(kDeferredConsentResetKey);
}

void MSRAnalytics::removeDeferredResetOnDeniedConsent() { analyticsDefaults().removeObjectForKey(kDeferredConsentResetKey); }

double MSRAnalytics::loadTimestamp() {
  std::lock_guard lock(loadTime().mutex);
  if (!loadTime().seconds) loadTime().seconds = ns::Clock::now().timeIntervalSince1970();
  return *loadTime().seconds;
}

void MSRAnalytics::setLoadTimestamp(double seconds) {
  std::lock_guard lock(loadTime().mutex);
  loadTime().seconds = seconds;
}

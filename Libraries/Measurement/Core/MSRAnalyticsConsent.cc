// Consent as the app gives it: checked, ranked by source against what is
// in force, persisted for the next launch, and a withdrawal resetting the
// analytics data (at once, or once the engine is ready).
#include <algorithm>

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRAnalyticsState.h"
#include "Libraries/Measurement/Storage/MSRConsentSettingsUtil.h"

namespace {

constexpr const char* kConsentSettingsKey = "consent_settings";
constexpr const char* kConsentSettings3PKey = "consent_settings_3p";
constexpr const char* kConsentSettingsOnStartKey = "consent_settings_on_start";
constexpr const char* kConsentSourceKey = "consent_source";
constexpr const char* kDeferredConsentResetKey = "deferred_consent_reset";

std::optional<ns::Dictionary> storedDictionary(const char* key) {
  auto value = MSRAnalyticsDefaults().objectForKey(key);
  if (value && value->asDictionary()) return *value->asDictionary();
  return std::nullopt;
}

bool isConsentValue(const ns::Value& value) {
  const std::string* text = value.asString();
  return text && (*text == MSRConsentSettingsUtil::kGranted || *text == MSRConsentSettingsUtil::kDenied);
}

}  // namespace

void MSRAnalytics::setConsent(const ns::Dictionary& consent, const std::string& key) {
  if (MSRConsentSettingsUtil::consentSource() == MSRConsentSettingsUtil::kNoSource) loadPersistedConsentSettings();
  auto log = MSRMeasurement::monitor();
  ns::Dictionary settings;
  for (const auto& [name, value] : MSRConsentSettingsUtil::consentSettingsFromDictionary(consent)) {
    if (isConsentValue(value)) {
      settings.set(name, value);
    } else {
      log->logWithLevel(3, 25042, "Valid consent values are 'granted' and 'denied'. Ignoring invalid consent setting",
                        MSRLogContext(value));
    }
  }
  if (settings.empty()) {
    log->logWithLevel(3, 25041, "Discarding empty consent settings");
    return;
  }
  int64_t source = key == kConsentSettings3PKey ? 10 : 30;
  if (!MSRConsentSettingsUtil::isConsentSourceHigherPriority(source)) {
    log->logWithLevel(3, 25043, "Ignoring lower priority consent settings");
    return;
  }
  auto previous = MSRAnalyticsDefaults().objectForKey(key);
  MSRConsentSettingsUtil::updateSettings(settings);
  MSRConsentSettingsUtil::setConsentSource(source);
  persistConsentSettings(MSRConsentSettingsUtil::consentSettings(), source);
  if (!MSRConsentSettingsUtil::didWithdrawPreviousConsent(previous)) return;
  setAppInstanceIDAfterReset(std::nullopt);
  auto engine = MSRAnalyticsEngine();
  if (engine && engine->didInitializeComponents()) {
    resetAnalyticsData();
  } else {
    MSRAnalyticsDefaults().setObject(ns::Value(true), kDeferredConsentResetKey);
  }
}

void MSRAnalytics::loadPersistedConsentSettings() {
  int64_t source = persistedConsentSource();
  if (source == MSRConsentSettingsUtil::kNoSource) return;
  if (auto thirdParty = consentSettings3P()) {
    MSRConsentSettingsUtil::setConsentSettings(thirdParty);
    source = std::min<int64_t>(source, 20);
  } else if (auto firstParty = consentSettings1P()) {
    MSRConsentSettingsUtil::setConsentSettings(firstParty);
    source = std::min<int64_t>(source, 40);
  }
  MSRConsentSettingsUtil::setConsentSource(source);
}

void MSRAnalytics::persistConsentSettings(const std::optional<ns::Dictionary>& settings, int64_t source) {
  const char* key = source <= 20 ? kConsentSettings3PKey : kConsentSettingsKey;
  MSRAnalyticsDefaults().setObject(settings ? std::optional(ns::Value(*settings)) : std::nullopt, key);
  MSRAnalyticsDefaults().setObject(ns::Value(source), kConsentSourceKey);
}

int64_t MSRAnalytics::persistedConsentSource() {
  auto value = MSRAnalyticsDefaults().objectForKey(kConsentSourceKey);
  return value && value->isNumber() ? value->integerValue() : MSRConsentSettingsUtil::kNoSource;
}

void MSRAnalytics::clearConsent() {
  for (const char* key : {kConsentSourceKey, kConsentSettings3PKey, kConsentSettingsKey, kConsentSettingsOnStartKey,
                          kDeferredConsentResetKey}) {
    MSRAnalyticsDefaults().removeObjectForKey(key);
  }
  MSRConsentSettingsUtil::clearAllSettings();
}

std::optional<ns::Dictionary> MSRAnalytics::consentSettings3P() { return storedDictionary(kConsentSettings3PKey); }

std::optional<ns::Dictionary> MSRAnalytics::consentSettings1P() { return storedDictionary(kConsentSettingsKey); }

std::optional<ns::Dictionary> MSRAnalytics::consentSettings1PStart() {
  return storedDictionary(kConsentSettingsOnStartKey);
}

void MSRAnalytics::removeStartUpConsentSettings() { MSRAnalyticsDefaults().removeObjectForKey(kConsentSettingsOnStartKey); }

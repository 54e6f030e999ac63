#include "Libraries/Measurement/Storage/MSRConsentSettingsUtil.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/StringCase.h"

namespace {

constexpr const char* kDefaultAllowAdStorageKey = "ZORORI_ANALYTICS_DEFAULT_ALLOW_AD_STORAGE";
constexpr const char* kDefaultAllowAnalyticsStorageKey = "ZORORI_ANALYTICS_DEFAULT_ALLOW_ANALYTICS_STORAGE";

// Touched only on the consent queue.
struct ConsentState {
  std::optional<ns::Dictionary> settings;
  int64_t source = MSRConsentSettingsUtil::kNoSource;
  int64_t version = 1;
};

ConsentState& state() {
  static ConsentState* instance = new ConsentState();
  return *instance;
}

template <class Read>
auto readOnQueue(Read read) -> decltype(read(state())) {
  decltype(read(state())) result{};
  MSRConsentSettingsUtil::serialQueue()->sync([&] { result = read(state()); });
  return result;
}

template <class Write>
void writeOnQueue(Write write) {
  MSRConsentSettingsUtil::serialQueue()->async([write = std::move(write)] { write(state()); });
}

bool isValue(const ns::Value* value, const char* expected) {
  return value && value->isString() && ns::lowercaseString(*value->asString()) == expected;
}

bool isDenied(const std::optional<ns::Dictionary>& settings, const char* type) {
  return settings && isValue(settings->find(type), MSRConsentSettingsUtil::kDenied);
}

char signalOf(const std::optional<ns::Dictionary>& settings, const char* type) {
  const ns::Value* value = settings ? settings->find(type) : nullptr;
  if (isValue(value, MSRConsentSettingsUtil::kDenied)) return '0';
  if (isValue(value, MSRConsentSettingsUtil::kGranted)) return '1';
  return '-';
}

}  // namespace

const std::shared_ptr<dispatch::Queue>& MSRConsentSettingsUtil::serialQueue() {
  // A function-local static: made exactly once, even when the first calls race.
  static const std::shared_ptr<dispatch::Queue> queue =
      dispatch::Queue::create("MSRConsentSettingsUtilQueue", dispatch::Queue::Kind::Serial, dispatch::Priority::Utility);
  return queue;
}

std::optional<ns::Dictionary> MSRConsentSettingsUtil::consentSettings() {
  return readOnQueue([](ConsentState& s) { return s.settings; });
}

void MSRConsentSettingsUtil::setConsentSettings(const std::optional<ns::Dictionary>& settings) {
  writeOnQueue([settings](ConsentState& s) {
    s.settings = settings;
    if (!settings) s.source = kNoSource;
  });
}

void MSRConsentSettingsUtil::updateSettings(const ns::Dictionary& settings) {
  writeOnQueue([settings](ConsentState& s) {
    ns::Dictionary merged = s.settings.value_or(ns::Dictionary{});
    for (const auto& [type, value] : settings) merged.set(type, value);
    s.settings = std::move(merged);
  });
}

void MSRConsentSettingsUtil::clearAllSettings() {
  writeOnQueue([](ConsentState& s) {
    s.settings.reset();
    s.source = kNoSource;
  });
}

int64_t MSRConsentSettingsUtil::consentSource() {
  return readOnQueue([](ConsentState& s) { return s.source; });
}

void MSRConsentSettingsUtil::setConsentSource(int64_t source) {
  writeOnQueue([source](ConsentState& s) { s.source = source; });
}

bool MSRConsentSettingsUtil::isConsentSourceHigherPriority(int64_t source) { return consentSource() >= source; }

int64_t MSRConsentSettingsUtil::version() {
  return readOnQueue([](ConsentState& s) { return s.version; });
}

void MSRConsentSettingsUtil::setVersion(int64_t version) {
  writeOnQueue([version](ConsentState& s) {
    if (version == 1 || version == 2) s.version = version;
  });
}

bool MSRConsentSettingsUtil::isAdStorageDenied() {
  return readOnQueue([](ConsentState& s) { return isDenied(s.settings, kAdStorage); });
}

bool MSRConsentSettingsUtil::isAnalyticsStorageDenied() {
  return readOnQueue([](ConsentState& s) { return isDenied(s.settings, kAnalyticsStorage); });
}

ns::Dictionary MSRConsentSettingsUtil::consentSettingsFromDictionary(const ns::Dictionary& dictionary) {
  ns::Dictionary settings;
  for (const char* type : {kAdStorage, kAnalyticsStorage})
    if (const ns::Value* value = dictionary.find(type)) settings.set(type, *value);
  return settings;
}

ns::Dictionary MSRConsentSettingsUtil::consentSettingsFromPlist() {
  auto bundle = ns::Bundle::mainBundle();
  ns::Dictionary settings;
  const std::pair<const char*, const char*> keys[] = {{kDefaultAllowAdStorageKey, kAdStorage},
                                                      {kDefaultAllowAnalyticsStorageKey, kAnalyticsStorage}};
  for (const auto& [key, type] : keys) {
    const ns::Value* value = bundle->objectForInfoDictionaryKey(key);
    if (value && value->isNumber()) settings.set(type, value->boolValue() ? kGranted : kDenied);
  }
  return settings;
}

bool MSRConsentSettingsUtil::didWithdrawPreviousConsent(const std::optional<ns::Value>& previous) {
  if (previous && !previous->isDictionary()) return false;
  std::optional<ns::Dictionary> current = consentSettings();
  std::optional<ns::Dictionary> before;
  if (previous) before = *previous->asDictionary();
  if (!current || before == current) return false;
  for (const char* type : {kAdStorage, kAnalyticsStorage})
    if (!isDenied(before, type) && isDenied(current, type)) return true;
  return false;
}

std::string MSRConsentSettingsUtil::consentSignals() {
  return readOnQueue([](ConsentState& s) {
    return std::string("G1") + signalOf(s.settings, kAdStorage) + signalOf(s.settings, kAnalyticsStorage);
  });
}

std::string MSRConsentSettingsUtil::description() {
  return readOnQueue([](ConsentState& s) {
    auto shown = [&](const char* type) {
      const ns::Value* value = s.settings ? s.settings->find(type) : nullptr;
      return value ? value->description() : std::string(kGranted);
    };
    return ns::format("%@ is %@. %@ is %@.", std::string(kAdStorage), shown(kAdStorage),
                      std::string(kAnalyticsStorage), shown(kAnalyticsStorage));
  });
}

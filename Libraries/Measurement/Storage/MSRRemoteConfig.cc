#include "Libraries/Measurement/Storage/MSRRemoteConfig.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "Libraries/Measurement/Core/MSREventNameMap.h"
#include "Libraries/Measurement/Core/MSRIdentifiers.h"
#include "Libraries/Measurement/Core/MSRIdentity.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRNSStringAdditions.h"
#include "Libraries/Measurement/Core/MSRScheduler.h"
#include "Libraries/Measurement/EventEditing/MSREvaluatorLogger.h"
#include "Libraries/Measurement/EventEditing/MSRPEventEditing.h"
#include "Libraries/Measurement/EventEditing/MSRPKeyValueStore.h"
#include "Libraries/Measurement/EventEditing/MSRPMessageLogger.h"
#include "Libraries/Measurement/EventEditing/MSRPObjectProvider.h"
#include "Libraries/Measurement/Storage/MSRConsentSettingsUtil.h"
#include "Libraries/Measurement/Storage/MSRDatabase.h"
#include "Libraries/Measurement/Storage/MSREndpoints.h"
#include "Libraries/Measurement/Storage/testing/MSRRemoteConfigTesting.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/URLComponents.h"

namespace {

// Field indices of the configuration messages.
constexpr int32_t kConfigVersion = 0;
constexpr int32_t kConfigAppID = 1;
constexpr int32_t kConfigSettings = 3;
constexpr int32_t kConfigEventConfigs = 4;
constexpr int32_t kConfigRiVarAppID = 6;
constexpr int32_t kConfigPrograms = 8;
constexpr int32_t kConfigDataControls = 9;
constexpr int32_t kConfigUploadHostPrefix = 10;
constexpr int32_t kSettingName = 0;
constexpr int32_t kSettingValue = 1;
constexpr int32_t kEventConfigName = 0;
constexpr int32_t kEventConfigBlocked = 1;
constexpr int32_t kEventConfigConversion = 2;
constexpr int32_t kEventConfigSamplingRate = 3;
constexpr int32_t kDataControlName = 0;

// The experiment flags this configuration registers, all with 0.
constexpr const char* kEfficientEngagement = "efficient_engagement_reporting_enabled";
constexpr const char* kRedundantEngagement = "redundant_engagement_removal_enabled";
constexpr const char* kNetworkBackgroundSession = "network_background_session_enabled";
constexpr const char* kPersistentConfig = "persistent_config_in_application_support_enabled";

std::shared_ptr<MSRMonitor> monitor() { return MSRMeasurement::monitor(); }

struct DebugModeOverride {
  std::mutex mutex;
  std::optional<bool> enabled;
};

DebugModeOverride& debugModeOverride() {
  static DebugModeOverride* instance = new DebugModeOverride();
  return *instance;
}

bool isDebugModeEnabled() {
  {
    std::lock_guard lock(debugModeOverride().mutex);
    if (debugModeOverride().enabled) return *debugModeOverride().enabled;
  }
  return monitor()->isDebugModeEnabled();
}

// A number's integer part as the platform's numbers give it: saturating at
// the type's limits, NaN as 0.
int64_t int64Of(double value) { return ns::Value(value).integerValue(); }
int32_t int32Of(double value) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64Of(value), std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// A checked number as the cache keeps it: whole numbers as integers, so
// that their text (what programs read of the cache) is "90", not "9e+01".
ns::Value cachedNumber(double number) {
  if (std::trunc(number) == number && std::fabs(number) < 9.0e15) return ns::Value(static_cast<int64_t>(number));
  return ns::Value(number);
}

bool isPublicEventName(const std::string& name) { return !name.empty() && name[0] != '_'; }

// A host label the server may put in front of the upload host: letters,
// digits, "-" and "." only, so that it can change nothing but the host.
bool isSafeHostPrefix(const std::string& prefix) {
  if (prefix.empty()) return false;
  for (unsigned char c : prefix) {
    if (!std::isalnum(c) && c != '-' && c != '.') return false;
  }
  return true;
}

template <class T>
std::vector<std::shared_ptr<T>> messagesOf(const NANOMessageBase* message, int32_t index) {
  std::vector<std::shared_ptr<T>> out;
  if (auto array = MSRPBMessageGetArray<T>(message, index)) {
    for (const auto& element : *array) {
      if (auto item = MSRPBArrayElementMessage<T>(element)) out.push_back(std::move(item));
    }
  }
  return out;
}

}  // namespace

// ---- Creation

MSRRemoteConfig::MSRRemoteConfig(std::string appID, const std::shared_ptr<MSRDatabase>& database,
                                 std::shared_ptr<MSREManager> experimentManager)
    : appID_(std::move(appID)),
      database_(database),
      experimentManager_(std::move(experimentManager)),
      isDefaultInstance_(!database && appID_.empty()) {}

std::shared_ptr<MSRRemoteConfig> MSRRemoteConfig::defaultInstance() {
  static const std::shared_ptr<MSRRemoteConfig> instance = [] {
    std::shared_ptr<MSRRemoteConfig> config(new MSRRemoteConfig({}, nullptr, nullptr));
    config->start(nullptr);
    return config;
  }();
  return instance;
}

std::shared_ptr<MSRRemoteConfig> MSRRemoteConfig::initWithAppID(const std::string& appID,
                                                                const std::shared_ptr<MSRDatabase>& database,
                                                                std::shared_ptr<MSREManager> experimentManager) {
  if (appID.empty()) {
    monitor()->logWithLevel(1, 29000, "Cannot init remote configuration without valid Zorori App ID");
    return nullptr;
  }
  if (!database) {
    monitor()->logWithLevel(1, 29001, "Cannot init remote configuration without valid database");
    return nullptr;
  }
  return initWithAppID(appID, database, nullptr, std::move(experimentManager));
}

std::shared_ptr<MSRRemoteConfig> MSRRemoteConfig::initWithAppID(
    const std::string& appID, const std::shared_ptr<MSRDatabase>& database,
    std::shared_ptr<MSRPBMeasurementConfig> measurementConfig, std::shared_ptr<MSREManager> experimentManager) {
  std::shared_ptr<MSRRemoteConfig> config(new MSRRemoteConfig(appID, database, std::move(experimentManager)));
  config->start(std::move(measurementConfig));
  return config;
}

void MSRRemoteConfig::start(std::shared_ptr<MSRPBMeasurementConfig> measurementConfig) {
  registerWithExperiments();
  if (isDefaultInstance_) return;
  if (measurementConfig) {
    updateMeasurementConfig(measurementConfig);
    return;
  }
  auto stored = measurementConfigFromDatabase();
  {
    std::lock_guard lock(mutex_);
    remoteConfigProto_ = stored;
  }
  if (stored) parseRemoteConfigFromMeasurementConfig(stored);
}

void MSRRemoteConfig::registerWithExperiments() {
  if (!experimentManager_) return;
  sdkProperty_ = std::make_shared<MSRESDKProperty>("app_measurement");
  sdkProperty_->setVersion(MSRIdentity::dudUziroruvozaLibraryVersion());
  sdkProperty_->setDelegate(std::static_pointer_cast<MSRESDKPropertyProviderDelegate>(shared_from_this()));
  ns::Dictionary defaultFlags{{kEfficientEngagement, 0},
                              {kRedundantEngagement, 0},
                              {kNetworkBackgroundSession, 0},
                              {kPersistentConfig, 0}};
  experimentClient_ = experimentManager_->registerSDKProperty(sdkProperty_, defaultFlags);
  if (!experimentClient_) return;
  experimentClient_->setDelegate(std::static_pointer_cast<MSREExperimentObserverDelegate>(shared_from_this()));
  ns::Error error;
  if (!experimentClient_->activateLatestSnapshot(&error) && !error.domain().empty()) {
    monitor()->logWithLevel(2, 29023, "Cannot activate stale snapshot. Error", error);
  }
}

// ---- Applying and reading configurations

bool MSRRemoteConfig::updateMeasurementConfig(const std::shared_ptr<MSRPBMeasurementConfig>& measurementConfig) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("updateMeasurementConfig:");
  if (isDefaultInstance_) {
    monitor()->logWithLevel(2, 29002, "Cannot update the default measurement configuration");
    return false;
  }
  if (!measurementConfig) {
    monitor()->logWithLevel(5, 29003, "Cannot set empty measurement config to database");
    return false;
  }
  if (MSRIdentifiers::sharedInstance()->origin() == "am" &&
      MSRPBMessageGetString(measurementConfig.get(), kConfigRiVarAppID) != appID_) {
    monitor()->logWithLevel(2, 29022, "Cannot set measurement config when RiVar App ID does not match");
    return false;
  }
  if (MSRPBMessageGetString(measurementConfig.get(), kConfigAppID) != appID_) {
    monitor()->logWithLevel(2, 29004, "Cannot set measurement config when Zorori App ID does not match");
    return false;
  }
  // Any refusal of the store fails, with or without an error: a
  // configuration applied but never stored would be lost at the next
  // launch while the fetch counted as done.
  ns::Error error;
  std::shared_ptr<MSRDatabase> database = database_.lock();
  if (!database || !database->updateRemoteConfig(measurementConfig, &error)) {
    if (!error.domain().empty()) {
      monitor()->logWithLevel(1, 29005, "Cannot store config into the database", error);
    } else {
      monitor()->logWithLevel(1, 29005, "Cannot store config into the database");
    }
    return false;
  }
  {
    std::lock_guard lock(mutex_);
    remoteConfigProto_ = measurementConfig;
  }
  parseRemoteConfigFromMeasurementConfig(measurementConfig);
  return true;
}

void MSRRemoteConfig::parseRemoteConfigFromMeasurementConfig(
    const std::shared_ptr<MSRPBMeasurementConfig>& measurementConfig) {
  auto settings = messagesOf<MSRPBSetting>(measurementConfig.get(), kConfigSettings);
  if (settings.empty()) {
    monitor()->logWithLevel(2, 29012, "Cannot parse empty measurement config. Using default values");
    return;
  }
  if (MSRPBMessageGetString(measurementConfig.get(), kConfigAppID) != appID_) return;

  cachedValueByRemoteConfigKeys_.removeAllObjects();
  for (const auto& setting : settings) {
    std::optional<std::string> value = MSRPBMessageGetString(setting.get(), kSettingValue);
    cacheValue(value ? std::optional<ns::Value>(*value) : std::nullopt,
               MSRPBMessageGetString(setting.get(), kSettingName).value_or(""));
  }

  cachedEventConfigByEventName_.removeAllObjects();
  for (auto& eventConfig : messagesOf<MSRPBEventConfig>(measurementConfig.get(), kConfigEventConfigs)) {
    std::string name = MSRPBMessageGetString(eventConfig.get(), kEventConfigName).value_or("");
    if (name.empty()) {
      monitor()->logWithLevel(5, 29013, "Cannot cache event configuration with an empty configuration name");
      continue;
    }
    const auto& reserved = MSREventNameMap();
    if (auto internal = reserved.find(name); internal != reserved.end()) name = internal->second;
    cachedEventConfigByEventName_.setObject(std::move(eventConfig), std::move(name));
  }

  if (MSRPBMessageHasField(measurementConfig.get(), kConfigVersion)) {
    monitor()->logWithLevel(7, 29014, "Successfully parsed a configuration. Version",
                            MSRPBMessageGetInt64(measurementConfig.get(), kConfigVersion));
  }

  auto programs = MSRPBMessageGetArray<MSRPBProgram>(measurementConfig.get(), kConfigPrograms);
  if (programs && !programs->empty()) loadEventEditing(measurementConfig, programs->size());

  // Read whatever became of the program: the data controls keep fields out
  // of uploads, and keeping the previous list would send them.
  std::vector<std::string> dataControls;
  for (const auto& control : messagesOf<MSRPBDataControl>(measurementConfig.get(), kConfigDataControls)) {
    std::string name = MSRPBMessageGetString(control.get(), kDataControlName).value_or("");
    if (!name.empty()) dataControls.push_back(std::move(name));
  }
  std::lock_guard lock(mutex_);
  cachedDataControls_ = std::move(dataControls);
}

void MSRRemoteConfig::loadEventEditing(const std::shared_ptr<MSRPBMeasurementConfig>& measurementConfig,
                                       size_t programCount) {
  auto engine = std::make_shared<MSRPEventEditing>();
  std::weak_ptr<MSRRemoteConfig> weakSelf = weak_from_this();
  engine->setModuleCreator(
      [weakSelf]() -> MSRPValueRef {
        return std::make_shared<MSRPKeyValueStore>(
            "internal.remoteConfig", [weakSelf](const std::string& key) -> std::optional<std::string> {
              auto self = weakSelf.lock();
              if (!self) return std::nullopt;
              auto value = self->cachedValueByRemoteConfigKeys_.objectForKey(key);
              if (!value) return std::nullopt;
              return value->stringValue();
            });
      },
      u"internal.remoteConfig");
  engine->setModuleCreator(
      [] {
        return std::make_shared<MSRPObjectProvider>("internal.appMetadata", []() -> std::optional<ns::Value> {
          ns::Dictionary metadata{{"platform", "ios"}};
          auto bundle = ns::Bundle::mainBundle();
          if (auto identifier = bundle ? bundle->bundleIdentifier() : std::nullopt) {
            metadata.set("package_name", *identifier);
          }
          metadata.set("zmp_version", MSRIdentity::dudUziroruvozaLibraryVersion());
          auto measurement = MSRMeasurement::sharedInstance();
          auto identity = measurement ? measurement->identity() : nullptr;
          if (!identity) identity = MSRIdentity::sharedInstance();
          if (identity && identity->appVersion()) metadata.set("app_version", *identity->appVersion());
          return ns::Value(std::move(metadata));
        });
      },
      u"internal.appMetadata");
  engine->setModuleCreator(
      [] { return std::make_shared<MSRPMessageLogger>(std::make_shared<MSREvaluatorLogger>()); }, u"internal.logger");

  auto first = MSRPBMessageGetArray<MSRPBProgram>(measurementConfig.get(), kConfigPrograms);
  std::shared_ptr<MSRPBProgram> program = first ? MSRPBArrayElementMessage<MSRPBProgram>(first->front()) : nullptr;
  ns::Error error;
  if (program) engine->loadProgram(*program, error);
  if (!program || !error.domain().empty()) {
    monitor()->logWithLevel(1, 29026, "Failed to initiate event editing instance");
    std::lock_guard lock(mutex_);
    eventEditing_.reset();
    return;
  }
  monitor()->logWithLevel(7, 29027, "Loading Event Modification and Creation programs",
                          static_cast<int64_t>(programCount));
  std::lock_guard lock(mutex_);
  eventEditing_ = std::move(engine);
}

std::shared_ptr<MSRPBMeasurementConfig> MSRRemoteConfig::measurementConfigFromDatabase() {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("measurementConfigFromDatabase");
  if (isDefaultInstance_) {
    monitor()->logWithLevel(
        2, 29015, "Cannot retrieve a measurement configuration from the database for the default instance");
    return nullptr;
  }
  ns::Error error;
  std::shared_ptr<MSRDatabase> database = database_.lock();
  auto config = database ? database->queryMeasurementConfigWithError(&error) : nullptr;
  if (config) return config;
  if (!error.domain().empty()) {
    monitor()->logWithLevel(2, 29016, "Cannot retrieve configuration data from database. Error", error);
  } else {
    monitor()->logWithLevel(7, 29017,
                            "Configuration was not found in database. The configuration will be fetched from the "
                            "network when necessary");
  }
  return nullptr;
}

void MSRRemoteConfig::reset() {
  cachedValueByRemoteConfigKeys_.removeAllObjects();
  cachedEventConfigByEventName_.removeAllObjects();
  {
    std::lock_guard lock(mutex_);
    cachedDataControls_.clear();
    if (!isDefaultInstance_) remoteConfigProto_.reset();
  }
  if (experimentManager_) experimentManager_->reset();
}

std::shared_ptr<MSRPBMeasurementConfig> MSRRemoteConfig::currentConfig() const {
  std::lock_guard lock(mutex_);
  return remoteConfigProto_;
}

int64_t MSRRemoteConfig::version() const {
  auto config = currentConfig();
  if (!config || !MSRPBMessageHasField(config.get(), kConfigVersion)) return -1;
  return MSRPBMessageGetInt64(config.get(), kConfigVersion);
}

bool MSRRemoteConfig::isExpired() const {
  if (isDefaultInstance_) {
    monitor()->logWithLevel(2, 29007, "Cannot fetch the last update timestamp from the default configuration");
    return false;
  }
  double age = std::fabs(ns::Date::now().timeIntervalSince1970() - lastRemoteConfigUpdateTimestamp());
  return age >= remoteConfigCacheTimeInterval();
}

double MSRRemoteConfig::lastRemoteConfigUpdateTimestamp() const {
  if (isDefaultInstance_) {
    monitor()->logWithLevel(2, 29008, "Cannot fetch the last configuration update timestamp from the default instance");
    return 0;
  }
  std::shared_ptr<MSRDatabase> database = database_.lock();
  if (!database) return 0;
  ns::Error error;
  std::optional<double> timestamp = database->lastRemoteConfigUpdateTimestamp(&error);
  if (timestamp) return *timestamp;
  if (!error.domain().empty()) {
    monitor()->logWithLevel(4, 29009, "Failed to query last configuration update timestamp. Error", error);
  }
  return 0;
}

std::optional<ns::URL> MSRRemoteConfig::remoteConfigURLWithAppInstanceID(
    const std::optional<std::string>& appInstanceID, const std::optional<std::string>& platform, int64_t SDKVersion,
    int64_t runtimeVersion) const {
  std::string instance = appInstanceID.value_or("");
  if (MSRConsentSettingsUtil::isAnalyticsStorageDenied()) {
    instance.clear();
  } else if (instance.empty() || platform.value_or("").empty()) {
    monitor()->logWithLevel(2, 29010,
                            "Cannot create a URL to fetch a configuration with empty app instance ID or empty "
                            "platform (app instance, platform)",
                            appInstanceID ? ns::Value(*appInstanceID) : ns::Value(),
                            platform ? ns::Value(*platform) : ns::Value());
    return std::nullopt;
  }
  ns::URLComponents components = ns::URLComponents::withURL(MSREndpoints::configURL());
  components.setPath("/config/app/" + appID_);
  components.setPercentEncodedQuery(msr_queryString(ns::Dictionary{{"app_instance_id", instance},
                                                                   {"platform", platform.value_or("")},
                                                                   {"runtime_version", runtimeVersion},
                                                                   {"zmp_version", SDKVersion}}));
  return components.url();
}

ns::URL MSRRemoteConfig::uploadURL() const {
  ns::URLComponents components = ns::URLComponents::withURL(MSREndpoints::uploadURL());
  components.setPath("/a");
  auto config = currentConfig();
  std::string prefix = config ? MSRPBMessageGetString(config.get(), kConfigUploadHostPrefix).value_or("") : "";
  if (isSafeHostPrefix(prefix)) components.setHost(prefix + "." + components.host().value_or(""));
  auto url = components.url();
  return url ? *url : MSREndpoints::uploadURL();
}

std::vector<std::string> MSRRemoteConfig::dataControls() const {
  std::lock_guard lock(mutex_);
  return cachedDataControls_;
}

std::vector<int64_t> MSRRemoteConfig::experimentIDs() const {
  return experimentManager_ ? experimentManager_->experimentIDs() : std::vector<int64_t>{};
}

std::shared_ptr<MSRPEventEditing> MSRRemoteConfig::eventEditing() const {
  std::lock_guard lock(mutex_);
  return eventEditing_;
}

// ---- Per-event configuration

std::shared_ptr<MSRPBEventConfig> MSRRemoteConfig::eventConfigWithName(const std::string& eventName) const {
  if (eventName.empty()) {
    monitor()->logWithLevel(5, 29006, "Cannot find event config with empty event name");
    return nullptr;
  }
  return cachedEventConfigByEventName_.objectForKey(eventName).value_or(nullptr);
}

bool MSRRemoteConfig::isEventBlocklisted(const std::string& eventName) const {
  auto config = eventConfigWithName(eventName);
  if (config && MSRPBMessageHasField(config.get(), kEventConfigBlocked) &&
      MSRPBMessageGetBool(config.get(), kEventConfigBlocked)) {
    return true;
  }
  return isPublicEventName(eventName) ? blocklistPublic() : blocklistInternal();
}

bool MSRRemoteConfig::isEventCustomConversion(const std::string& eventName) const {
  auto config = eventConfigWithName(eventName);
  return config && MSRPBMessageHasField(config.get(), kEventConfigConversion) &&
         MSRPBMessageGetBool(config.get(), kEventConfigConversion);
}

bool MSRRemoteConfig::eventHasSamplingRate(const std::string& eventName) const {
  auto config = eventConfigWithName(eventName);
  return config && MSRPBMessageHasField(config.get(), kEventConfigSamplingRate);
}

int32_t MSRRemoteConfig::samplingRateForEvent(const std::string& eventName) const {
  auto config = eventConfigWithName(eventName);
  if (!config) return 1;
  int32_t rate = MSRPBMessageGetInt32(config.get(), kEventConfigSamplingRate);
  return rate >= 2 && rate <= 65535 ? rate : 1;
}

// ---- Experiments

bool MSRRemoteConfig::activateNewSnapshot() {
  {
    std::lock_guard lock(mutex_);
    if (!hasNewSnapshot_) return false;
  }
  if (!experimentClient_) return false;
  ns::Error error;
  if (!experimentClient_->activateLatestSnapshot(&error)) {
    monitor()->logWithLevel(2, 29024, "Cannot activate snapshot. Error", error);
    return false;
  }
  std::lock_guard lock(mutex_);
  hasNewSnapshot_ = false;
  return true;
}

bool MSRRemoteConfig::hasNewSnapshot() const {
  std::lock_guard lock(mutex_);
  return hasNewSnapshot_;
}

void MSRRemoteConfig::clientDidReceiveNewSnapshot(MSREClient&) {
  std::lock_guard lock(mutex_);
  hasNewSnapshot_ = true;
}

void MSRRemoteConfig::client(MSREClient&, const ns::Error& didReceiveFetchError) {
  monitor()->logWithLevel(2, 29025, "Cannot fetch experiment. Error", didReceiveFetchError);
}

bool MSRRemoteConfig::shouldFetchExperimentsForClient(MSREClient&) {
  auto measurement = MSRMeasurement::sharedInstance();
  return measurement && measurement->isEnabled();
}

bool MSRRemoteConfig::respondsToSelector(std::string_view selector) const {
  return selector == "clientDidReceiveNewSnapshot:" || selector == "client:didReceiveFetchError:" ||
         selector == "shouldFetchExperimentsForClient:";
}

std::optional<bool> MSRRemoteConfig::experimentFlag(const std::string& name) const {
  if (!experimentClient_) return std::nullopt;
  auto value = experimentClient_->objectForKeyedSubscript(name);
  if (!value || value->isNull()) return std::nullopt;
  return value->boolValue();
}

// ---- Flag readers

std::optional<ns::Value> MSRRemoteConfig::cacheValue(const std::optional<ns::Value>& value, const std::string& key) {
  if (key.empty() || !value || value->isNull()) {
    monitor()->logWithLevel(5, 29019, "Cannot cache empty configuration value");
    return std::nullopt;
  }
  cachedValueByRemoteConfigKeys_.setObject(*value, key);
  return value;
}

std::optional<double> MSRRemoteConfig::numberFromString(const ns::Value& value) const {
  const std::string* text = value.asString();
  if (!text) {
    monitor()->logWithLevel(2, 29018, "Cannot parse number from non-string", value);
    return std::nullopt;
  }
  return numberFormatter_.numberFromString(*text);
}

std::optional<double> MSRRemoteConfig::numberFromCacheWithKey(const std::string& key, double defaultValue,
                                                              std::optional<double> maxValue,
                                                              std::optional<double> minValue,
                                                              const std::function<double(double)>& block) const {
  if (key.empty()) {
    monitor()->logWithLevel(7, 29020, "Cannot get setting with empty key from cache");
    return std::nullopt;
  }
  std::optional<ns::Value> cached = cachedValueByRemoteConfigKeys_.objectForKey(key);
  if (!cached) {
    cachedValueByRemoteConfigKeys_.setObject(cachedNumber(defaultValue), key);
    return defaultValue;
  }
  if (cached->isNumber()) return cached->doubleValue();
  std::optional<double> number = numberFromString(*cached);
  if (number && block) number = block(*number);
  if (!number || (minValue && *number < *minValue) || (maxValue && *number > *maxValue)) number = defaultValue;
  cachedValueByRemoteConfigKeys_.setObject(cachedNumber(*number), key);
  return number;
}

double MSRRemoteConfig::timeIntervalInSecondsFromCacheWithKey(const std::string& key, double defaultValue,
                                                              double maxValue, double minValue) const {
  return numberFromCacheWithKey(key, defaultValue, maxValue, minValue,
                                [](double milliseconds) {
                                  return static_cast<double>(int64Of(milliseconds)) / 1000.0;
                                })
      .value_or(0.0);
}

int32_t MSRRemoteConfig::intValueFromCacheWithKey(const std::string& key, int32_t defaultValue, int32_t maxValue,
                                                  int32_t minValue) const {
  return int32Of(numberFromCacheWithKey(key, defaultValue, maxValue, minValue).value_or(0.0));
}

int64_t MSRRemoteConfig::int64ValueFromCacheWithKey(const std::string& key, int64_t defaultValue, int64_t maxValue,
                                                    int64_t minValue) const {
  return int64Of(numberFromCacheWithKey(key, static_cast<double>(defaultValue),
                                                   static_cast<double>(maxValue), static_cast<double>(minValue))
                                .value_or(0.0));
}

int64_t MSRRemoteConfig::int64ValueFromCacheWithKey(const std::string& key, int64_t defaultValue) const {
  return int64Of(
      numberFromCacheWithKey(key, static_cast<double>(defaultValue), std::nullopt, std::nullopt).value_or(0.0));
}

bool MSRRemoteConfig::boolValueFromCacheWithKey(const std::string& key, bool defaultValue) const {
  return intValueFromCacheWithKey(key, defaultValue ? 1 : 0, 1, 0) == 1;
}

// ---- Flags

double MSRRemoteConfig::uploadingBackoffInterval() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.upload.backoff_period", 43200, 604800, 3600);
}
int32_t MSRRemoteConfig::maxAudienceCount() const {
  return intValueFromCacheWithKey("measurement.audience.max_count", 100, 500, 0);
}
int32_t MSRRemoteConfig::maxFiltersPerAudience() const {
  return intValueFromCacheWithKey("measurement.audience.filter_max_count_per_audience", 10, 100, 0);
}
int32_t MSRRemoteConfig::maxFilterResultCount() const {
  return intValueFromCacheWithKey("measurement.audience.filter_result_max_count", 200, 2000, 0);
}
int32_t MSRRemoteConfig::maxParametersPerFilter() const {
  return intValueFromCacheWithKey("measurement.audience.parameter_max_count_filter", 25, 250, 0);
}
double MSRRemoteConfig::databaseDeleteStaleBundlesInterval() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.upload.stale_data_deletion_interval", 86400, 604800, 3600);
}
double MSRRemoteConfig::maxQueueTime() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.upload.max_queue_time", 2419200, 7862400, 604800);
}
double MSRRemoteConfig::adIDCacheTime() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.ad_id_cache_time", 1, 86400, 0);
}
bool MSRRemoteConfig::gateIDFAOnATTMASEnabled() const {
  return boolValueFromCacheWithKey("measurement.attmas_gate", false);
}
double MSRRemoteConfig::monitoringSamplePeriod() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.monitoring.sample_period_millis", 86400, 604800, 0);
}
bool MSRRemoteConfig::isNetworkBackgroundSessionEnabled() const {
  if (auto flag = experimentFlag(kNetworkBackgroundSession)) return *flag;
  return boolValueFromCacheWithKey("measurement.network.background_session_enabled", false);
}
double MSRRemoteConfig::networkTimeout() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.network.network_timeout", 60, 3600, 30);
}
double MSRRemoteConfig::sessionDefaultMinimumInterval() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.session.default_minimum_interval", 10, 86400, 0);
}
double MSRRemoteConfig::sessionDefaultTimeoutInterval() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.session.default_timeout_interval", 1800, 86400, 0);
}
double MSRRemoteConfig::sessionEventUserEngagementInterval() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.session.event_user_engagement_interval", 3600, 86400, 0);
}
bool MSRRemoteConfig::efficientEngagementReportingEnabled() const {
  if (auto flag = experimentFlag(kEfficientEngagement)) return *flag;
  return boolValueFromCacheWithKey("measurement.collection.efficient_engagement_reporting_enabled", false);
}
bool MSRRemoteConfig::redundantEngagementRemovalEnabled() const {
  if (auto flag = experimentFlag(kRedundantEngagement)) return *flag;
  return boolValueFromCacheWithKey("measurement.collection.redundant_engagement_removal_enabled", false);
}
int32_t MSRRemoteConfig::maxConversionsPerDay() const {
  return intValueFromCacheWithKey("measurement.upload.max_conversions_per_day", 10000, 1000000, 0);
}
int32_t MSRRemoteConfig::maxEventsPerDay() const {
  return intValueFromCacheWithKey("measurement.upload.max_events_per_day", 100000, 1000000, 0);
}
int32_t MSRRemoteConfig::maxPublicEventsPerDay() const {
  return intValueFromCacheWithKey("measurement.upload.max_public_events_per_day", 50000, 1000000, 0);
}
int32_t MSRRemoteConfig::maxErrorEventsPerDay() const {
  return intValueFromCacheWithKey("measurement.upload.max_error_events_per_day", 1000, 1000000, 0);
}
int32_t MSRRemoteConfig::maxTrackedCurrencies() const {
  return intValueFromCacheWithKey("measurement.lifetimevalue.max_currency_tracked", 4, 100, 1);
}
int32_t MSRRemoteConfig::maxPublicUserProperties() const {
  return intValueFromCacheWithKey("measurement.upload.max_public_user_properties", 25, 100, 25);
}
int32_t MSRRemoteConfig::maxEventNameCardinality() const {
  return intValueFromCacheWithKey("measurement.upload.max_event_name_cardinality", 500, 2000, 500);
}
int32_t MSRRemoteConfig::maxPublicEventParams() const {
  return intValueFromCacheWithKey("measurement.upload.max_public_event_params", 25, 100, 25);
}
int32_t MSRRemoteConfig::maxEventsStored() const {
  return intValueFromCacheWithKey("measurement.store.max_stored_events_per_app", 100000, 1000000, 0);
}
double MSRRemoteConfig::uploadingInterval() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.upload.interval", 3600, 86400, 15);
}
double MSRRemoteConfig::uploadingInitialDelayInterval() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.upload.initial_upload_delay_time", 15, 86400, 1);
}
int64_t MSRRemoteConfig::uploadMaxBundlesLimit() const {
  return int64ValueFromCacheWithKey("measurement.upload.max_bundles", 100, 10000, 1);
}
int64_t MSRRemoteConfig::uploadMaxEventsPerBundle() const {
  return int64ValueFromCacheWithKey("measurement.upload.max_events_per_bundle", 1000, 1000000, 1);
}
int64_t MSRRemoteConfig::uploadMaxSizeLimitBytes() const {
  return int64ValueFromCacheWithKey("measurement.upload.max_batch_size", 65536, 10485760, 0);
}
int32_t MSRRemoteConfig::uploadingRetryCount() const {
  return intValueFromCacheWithKey("measurement.upload.retry_count", 6, 24, 1);
}
double MSRRemoteConfig::uploadingRetryInterval() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.upload.retry_time", 1800, 86400, 60);
}
int64_t MSRRemoteConfig::maxBundlesCreatedPerIteration() const {
  return int64Of(
      timeIntervalInSecondsFromCacheWithKey("measurement.upload.max_bundles_created_per_iteration", 100, 10000, 1));
}
int32_t MSRRemoteConfig::maxRealtimeEventCountPerDay() const {
  return intValueFromCacheWithKey("measurement.upload.max_realtime_events_per_day", 10, 10, 0);
}
double MSRRemoteConfig::uploadingDebugModeInterval() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.upload.debug_upload_interval", 1, 15, 1);
}
double MSRRemoteConfig::uploadingRealTimeInterval() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.upload.realtime_upload_interval", 10, 15, 10);
}
bool MSRRemoteConfig::blocklistInternal() const {
  return boolValueFromCacheWithKey("measurement.upload.blacklist_internal", false);
}
bool MSRRemoteConfig::blocklistPublic() const {
  return boolValueFromCacheWithKey("measurement.upload.blacklist_public", false);
}
bool MSRRemoteConfig::isEventSamplingEnabled() const {
  return boolValueFromCacheWithKey("measurement.event_sampling_enabled", false);
}
int32_t MSRRemoteConfig::analyticsAccountTimeZoneOffsetMinutes() const {
  return intValueFromCacheWithKey("measurement.account.time_zone_offset_minutes", 0, 900, -900);
}
bool MSRRemoteConfig::checksumEnabled() const {
  return boolValueFromCacheWithKey("measurement.quality.checksum", false);
}
bool MSRRemoteConfig::appBackgroundedEventEnabled() const {
  return boolValueFromCacheWithKey("measurement.lifecycle.app_backgrounded_tracking", false);
}
bool MSRRemoteConfig::appInBackgroundParameterEnabled() const {
  return boolValueFromCacheWithKey("measurement.lifecycle.app_in_background_parameter", true);
}
bool MSRRemoteConfig::eesFeatureEnabled() const {
  return boolValueFromCacheWithKey("measurement.ees_feature_enabled", true);
}
bool MSRRemoteConfig::itemScopedCustomParameterEnabled() const {
  return boolValueFromCacheWithKey("measurement.item_scoped_custom_parameter_enabled", true);
}
int32_t MSRRemoteConfig::maxItemScopedCustomParameters() const {
  return intValueFromCacheWithKey("measurement.upload.max_item_scoped_custom_parameters", 27, 35, 10);
}
bool MSRRemoteConfig::PSMFeatureEnabled() const { return boolValueFromCacheWithKey("measurement.psm_enabled", true); }
int32_t MSRRemoteConfig::maxPSMStartCount() const {
  if (isDebugModeEnabled()) return 10;
  return intValueFromCacheWithKey("measurement.psm_start_count", 3, 10, 0);
}
int32_t MSRRemoteConfig::maxPSMRetryCount() const {
  return intValueFromCacheWithKey("measurement.psm_retry_count", 5, 10, 0);
}
double MSRRemoteConfig::PSMRetryInterval() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.psm_retry_interval", 300, 1800, 30);
}
bool MSRRemoteConfig::isDeferredDeepLinkEnabled() const {
  return boolValueFromCacheWithKey("measurement.ddl.enabled", true);
}
int32_t MSRRemoteConfig::maxDeferredDeepLinkRetryCount() const {
  return intValueFromCacheWithKey("measurement.ddl.retry_count", 5, 10, 0);
}
double MSRRemoteConfig::attributionCacheTTLInterval() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.attribution.cache.ttl", 604800, 2592000, 86400);
}
double MSRRemoteConfig::remoteConfigCacheTimeInterval() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.config.cache_time", 3600, 86400, 60);
}
bool MSRRemoteConfig::isSessionIDEnabled() const {
  return boolValueFromCacheWithKey("measurement.api.session_id", true);
}
bool MSRRemoteConfig::persistentConfigInApplicationSupportEnabled() const {
  if (auto flag = experimentFlag(kPersistentConfig)) return *flag;
  return boolValueFromCacheWithKey("measurement.persistent_config_in_application_support_enabled", false);
}
bool MSRRemoteConfig::sessionStitchingTokenFeatureEnabled() const {
  if (auto flag = experimentFlag("session_stitching_token_feature_enabled")) return *flag;
  return boolValueFromCacheWithKey("measurement.session_stitching_token_enabled", false);
}
bool MSRRemoteConfig::SKANUpdateConversionValueEnabled() const {
  if (auto flag = experimentFlag("skan_update_conversion_value_feature_enabled")) return *flag;
  return boolValueFromCacheWithKey("measurement.skan.update_conversion_value_enabled", false);
}
double MSRRemoteConfig::SKANInitialCVFetchDelay() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.skan.initial_cv_fetch_delay_sec", 120, 3600, 30);
}
double MSRRemoteConfig::SKANCVFetchRetryInterval() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.skan.cv_fetch_retry_interval_sec", 120, 3600, 30);
}
int32_t MSRRemoteConfig::SKANCVFetchRetryLimit() const {
  return intValueFromCacheWithKey("measurement.skan.cv_fetch_retry_limit", 4, 10, 1);
}
double MSRRemoteConfig::SKANFirstWindowCVFetchDelay() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.skan.first_window.initial_cv_fetch_delay_sec", 20, 3600, 1);
}
double MSRRemoteConfig::SKANFirstWindowCVFetchRetryInterval() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.skan.first_window.cv_fetch_retry_interval_sec", 120, 3600,
                                               30);
}
int32_t MSRRemoteConfig::SKANFirstWindowCVFetchRetryLimit() const {
  return intValueFromCacheWithKey("measurement.skan.first_window.cv_fetch_retry_limit", 4, 10, 1);
}
double MSRRemoteConfig::SKANFirstWindowUploadInterval() const {
  return timeIntervalInSecondsFromCacheWithKey("measurement.skan.first_window.upload_interval_sec", 1800, 86400, 15);
}

// ---- For tests

std::shared_ptr<MSRRemoteConfig> MSRRemoteConfigWithPersistentConfigFlagForTesting(bool enabled) {
  std::shared_ptr<MSRRemoteConfig> config(new MSRRemoteConfig("1:testing", nullptr, nullptr));
  config->cacheValue(ns::Value(enabled ? "1" : "0"),
                     "measurement.persistent_config_in_application_support_enabled");
  return config;
}

void MSRRemoteConfigSetDebugModeForTesting(std::optional<bool> enabled) {
  std::lock_guard lock(debugModeOverride().mutex);
  debugModeOverride().enabled = enabled;
}

std::shared_ptr<MSRRemoteConfig> MSRRemoteConfigWithDatabaseLimitsForTesting(int32_t maxEventsStored,
                                                                             double maxQueueTime,
                                                                             double databaseDeleteStaleBundlesInterval) {
  std::shared_ptr<MSRRemoteConfig> config(new MSRRemoteConfig("1:testing", nullptr, nullptr));
  // As a fetched configuration sends them: counts plain, intervals in milliseconds.
  auto milliseconds = [](double seconds) { return std::to_string(static_cast<int64_t>(seconds * 1000)); };
  config->cacheValue(ns::Value(std::to_string(maxEventsStored)), "measurement.store.max_stored_events_per_app");
  config->cacheValue(ns::Value(milliseconds(maxQueueTime)), "measurement.upload.max_queue_time");
  config->cacheValue(ns::Value(milliseconds(databaseDeleteStaleBundlesInterval)),
                     "measurement.upload.stale_data_deletion_interval");
  return config;
}

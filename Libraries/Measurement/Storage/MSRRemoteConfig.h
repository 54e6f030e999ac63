// The measurement configuration the server sends for one app, and the
// flags read from it.
//
//   auto config = MSRRemoteConfig::initWithAppID(appID, database, experimentManager);
//   config->updateMeasurementConfig(fetched);   // on the worker queue
//   config->uploadingInterval();                // 3,600 s until a setting says else
//
// A configuration holds the server's settings (name -> text), per-event
// configurations (blocked, conversion, sampling rate) under the events'
// internal names, the data controls (fields kept out of uploads) and the
// event-editing engine built from its first program. Each one applied
// through updateMeasurementConfig is stored in the database first, then
// replaces all of that; at creation the stored one is read back.
//
// Flags. Each flag reads its setting once: the text is parsed as a decimal
// number of the device locale (the whole text, or it is no number),
// intervals arrive in milliseconds and answer seconds, and a number out of
// the flag's bounds or a text that is no number gives the flag's default,
// never the nearer bound. The first answer is cached in place of the text
// and holds until the next configuration. Booleans are YES only for 1.
// Six booleans ask the experiments client first: the four this
// configuration registers with the default 0 (efficient engagement,
// redundant engagement removal, network background session, persistent
// configuration in Application Support) therefore answer NO while the
// experiments give no other value.
//
// The default instance (no app, no database) answers every flag with its
// default, has no version (-1) and never expires.
//
// Messages go to the measurement monitor with the codes 29000 to 29027;
// nothing raises. updateMeasurementConfig and measurementConfigFromDatabase
// run on the measurement worker queue (a main-thread call logs 30001 and
// goes on); every other operation is safe from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/Measurement/Reporters/MSREClient.h"
#include "Libraries/Measurement/Reporters/MSREExperimentObserverDelegate.h"
#include "Libraries/Measurement/Reporters/MSREManager.h"
#include "Libraries/Measurement/Reporters/MSRESDKPropertyProviderDelegate.h"
#include "Libraries/TelemetryFoundation/ZULMutableDictionary.h"
#include "Libraries/WireMessages/MSRPBConfigurationMessages.h"
#include "Platform/Foundation/NumberFormatter.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"

class MSRDatabase;
class MSRPEventEditing;

class MSRRemoteConfig final : public MSREExperimentObserverDelegate,
                              public MSRESDKPropertyProviderDelegate,
                              public std::enable_shared_from_this<MSRRemoteConfig> {
 public:
  // ---- Creation

  // The one configuration of built-in defaults, used before an engine runs.
  static std::shared_ptr<MSRRemoteConfig> defaultInstance();
  // Over the configuration stored in the database (none: every flag at its
  // default). Null for an empty app id (29000) or without a database
  // (29001). The database is held weakly.
  static std::shared_ptr<MSRRemoteConfig> initWithAppID(const std::string& appID,
                                                        const std::shared_ptr<MSRDatabase>& database,
                                                        std::shared_ptr<MSREManager> experimentManager);
  // The same with a configuration to apply at once (none: the stored one).
  // Registers "app_measurement" with the experiments manager, when given,
  // and activates its latest snapshot (a failure logs 29023).
  static std::shared_ptr<MSRRemoteConfig> initWithAppID(const std::string& appID,
                                                        const std::shared_ptr<MSRDatabase>& database,
                                                        std::shared_ptr<MSRPBMeasurementConfig> measurementConfig,
                                                        std::shared_ptr<MSREManager> experimentManager);

  bool isDefaultInstance() const { return isDefaultInstance_; }
  const std::string& appID() const { return appID_; }

  // ---- Applying and reading configurations

  // Checks the configuration (not the default instance: 29002; none:
  // 29003; for the origin "am" its RiVar app id must be this app's: 29022;
  // its Zorori app id must be this app's: 29004), stores it in the
  // database (a failure, with or without an error, logs 29005 and answers
  // false with nothing changed), then makes it the current one and parses
  // it.
  bool updateMeasurementConfig(const std::shared_ptr<MSRPBMeasurementConfig>& measurementConfig);
  // Replaces the flag cache, the event configurations and the data
  // controls by the configuration's, and the event-editing engine when it
  // carries programs. Without settings nothing changes (29012); another
  // app's configuration changes nothing. Only the first program is loaded;
  // one that fails to load (29026) leaves no engine, and the data controls
  // are read all the same.
  void parseRemoteConfigFromMeasurementConfig(const std::shared_ptr<MSRPBMeasurementConfig>& measurementConfig);
  // The stored configuration; none for the default instance (29015), on a
  // failure (29016) or when none is stored (29017).
  std::shared_ptr<MSRPBMeasurementConfig> measurementConfigFromDatabase();
  // Empties the flag cache, the event configurations and the data
  // controls, drops the current configuration (not on the default
  // instance) and resets the experiments manager. The event-editing engine
  // stays.
  void reset();

  // The current configuration's version; -1 without one.
  int64_t version() const;
  // Whether the configuration is at least "measurement.config.cache_time"
  // old; never for the default instance (29007).
  bool isExpired() const;
  // Seconds since 1970 of the last stored configuration; 0 for the default
  // instance (29008), when none was stored, or on a failure (29009).
  double lastRemoteConfigUpdateTimestamp() const;
  // The configuration endpoint with the path "/config/app/<app id>" and the
  // query "app_instance_id", "platform", "runtime_version", "zmp_version".
  // With analytics storage denied the app instance id is sent empty;
  // otherwise a missing one, or a missing platform, gives none (29010).
  std::optional<ns::URL> remoteConfigURLWithAppInstanceID(const std::optional<std::string>& appInstanceID,
                                                         const std::optional<std::string>& platform,
                                                         int64_t SDKVersion, int64_t runtimeVersion) const;
  // The upload endpoint with the path "/a". A host prefix in the current
  // configuration ("eu") becomes "<prefix>.<endpoint host>" when it holds
  // only letters, digits, "-" and "." (anything else could send uploads to
  // another host); otherwise the endpoint's own host.
  ns::URL uploadURL() const;
  std::vector<std::string> dataControls() const;
  std::vector<int64_t> experimentIDs() const;
  // The engine built from the current configuration's program, or null.
  std::shared_ptr<MSRPEventEditing> eventEditing() const;

  // ---- Per-event configuration (events by their internal names)

  // None for an empty name (29006) or an event without configuration.
  std::shared_ptr<MSRPBEventConfig> eventConfigWithName(const std::string& eventName) const;
  // The event's own "blocked" when set and true; otherwise blocklistPublic
  // for a public name (not beginning with "_"), blocklistInternal else.
  bool isEventBlocklisted(const std::string& eventName) const;
  bool isEventCustomConversion(const std::string& eventName) const;
  bool eventHasSamplingRate(const std::string& eventName) const;
  // The configured rate when it lies in 2..65,535; 1 otherwise.
  int32_t samplingRateForEvent(const std::string& eventName) const;

  // ---- Experiments

  // Activates the snapshot the experiments client announced; false when
  // none waits, or when activation fails (29024; the snapshot still waits).
  bool activateNewSnapshot();
  bool hasNewSnapshot() const;
  void clientDidReceiveNewSnapshot(MSREClient& client) override;
  void client(MSREClient& client, const ns::Error& didReceiveFetchError) override;  // logs 29025
  // Whether the measurement engine runs and is enabled.
  bool shouldFetchExperimentsForClient(MSREClient& client) override;
  // The three above; no queue of its own (the main queue).
  bool respondsToSelector(std::string_view selector) const override;

  // ---- Flag readers (keys of any setting)

  // The general reader. An empty key answers none (29020). No cached value:
  // the default is cached and answered. A cached number answers itself.
  // A cached text is parsed and converted by `block`; a text that is no
  // number, or a number below `minValue` or above `maxValue`, is replaced
  // by the default. The answer replaces the text in the cache.
  std::optional<double> numberFromCacheWithKey(const std::string& key, double defaultValue,
                                               std::optional<double> maxValue, std::optional<double> minValue,
                                               const std::function<double(double)>& block = {}) const;
  // Milliseconds in the text, seconds in the answer (the whole
  // milliseconds divided by 1,000); bounds and default in seconds.
  double timeIntervalInSecondsFromCacheWithKey(const std::string& key, double defaultValue, double maxValue,
                                               double minValue) const;
  int32_t intValueFromCacheWithKey(const std::string& key, int32_t defaultValue, int32_t maxValue,
                                   int32_t minValue) const;
  int64_t int64ValueFromCacheWithKey(const std::string& key, int64_t defaultValue, int64_t maxValue,
                                     int64_t minValue) const;
  int64_t int64ValueFromCacheWithKey(const std::string& key, int64_t defaultValue) const;
  // An integer flag of bounds 0..1: YES exactly for 1.
  bool boolValueFromCacheWithKey(const std::string& key, bool defaultValue) const;
  // A text as a number of the device locale; none for a text that is not
  // one, and for a value that is no text (29018).
  std::optional<double> numberFromString(const ns::Value& value) const;
  // Stores the value under the key and answers it; none for an empty key
  // or a missing value (29019).
  std::optional<ns::Value> cacheValue(const std::optional<ns::Value>& value, const std::string& key);

  // ---- Flags (key, default, bounds)

  double uploadingBackoffInterval() const;                  // upload.backoff_period 43,200 s, 3,600..604,800
  int32_t maxAudienceCount() const;                         // audience.max_count 100, 0..500
  int32_t maxFiltersPerAudience() const;                    // audience.filter_max_count_per_audience 10, 0..100
  int32_t maxFilterResultCount() const;                     // audience.filter_result_max_count 200, 0..2,000
  int32_t maxParametersPerFilter() const;                   // audience.parameter_max_count_filter 25, 0..250
  double databaseDeleteStaleBundlesInterval() const;        // upload.stale_data_deletion_interval 86,400 s
  double maxQueueTime() const;                              // upload.max_queue_time 2,419,200 s
  double adIDCacheTime() const;                             // ad_id_cache_time 1 s, 0..86,400
  bool gateIDFAOnATTMASEnabled() const;                     // attmas_gate NO
  double monitoringSamplePeriod() const;                    // monitoring.sample_period_millis 86,400 s
  bool isNetworkBackgroundSessionEnabled() const;           // experiment first; network.background_session_enabled
  double networkTimeout() const;                            // network.network_timeout 60 s, 30..3,600
  double sessionDefaultMinimumInterval() const;             // session.default_minimum_interval 10 s
  double sessionDefaultTimeoutInterval() const;             // session.default_timeout_interval 1,800 s
  double sessionEventUserEngagementInterval() const;        // session.event_user_engagement_interval 3,600 s
  bool efficientEngagementReportingEnabled() const;         // experiment first
  bool redundantEngagementRemovalEnabled() const;           // experiment first
  int32_t maxConversionsPerDay() const;                     // 10,000
  int32_t maxEventsPerDay() const;                          // 100,000
  int32_t maxPublicEventsPerDay() const;                    // 50,000
  int32_t maxErrorEventsPerDay() const;                     // 1,000
  int32_t maxTrackedCurrencies() const;                     // 4, 1..100
  int32_t maxPublicUserProperties() const;                  // 25, 25..100
  int32_t maxEventNameCardinality() const;                  // 500, 500..2,000
  int32_t maxPublicEventParams() const;                     // 25, 25..100
  int32_t maxEventsStored() const;                          // store.max_stored_events_per_app 100,000
  double uploadingInterval() const;                         // upload.interval 3,600 s, 15..86,400
  double uploadingInitialDelayInterval() const;             // 15 s, 1..86,400
  int64_t uploadMaxBundlesLimit() const;                    // upload.max_bundles 100, 1..10,000
  int64_t uploadMaxEventsPerBundle() const;                 // 1,000, 1..1,000,000
  int64_t uploadMaxSizeLimitBytes() const;                  // upload.max_batch_size 65,536, 0..10,485,760
  int32_t uploadingRetryCount() const;                      // 6, 1..24
  double uploadingRetryInterval() const;                    // upload.retry_time 1,800 s, 60..86,400
  int64_t maxBundlesCreatedPerIteration() const;            // interval reader, truncated: 100, 1..10,000
  int32_t maxRealtimeEventCountPerDay() const;              // 10, 0..10
  double uploadingDebugModeInterval() const;                // 1 s, 1..15
  double uploadingRealTimeInterval() const;                 // 10 s, 10..15
  bool blocklistInternal() const;                           // upload.blacklist_internal NO
  bool blocklistPublic() const;                             // upload.blacklist_public NO
  bool isEventSamplingEnabled() const;                      // NO
  int32_t analyticsAccountTimeZoneOffsetMinutes() const;    // 0, -900..900
  bool checksumEnabled() const;                             // NO
  bool appBackgroundedEventEnabled() const;                 // NO
  bool appInBackgroundParameterEnabled() const;             // YES
  bool eesFeatureEnabled() const;                           // YES
  bool itemScopedCustomParameterEnabled() const;            // YES
  int32_t maxItemScopedCustomParameters() const;            // 27, 10..35
  bool PSMFeatureEnabled() const;                           // YES
  int32_t maxPSMStartCount() const;                         // 3, 0..10; 10 in the monitor's debug mode
  int32_t maxPSMRetryCount() const;                         // 5, 0..10
  double PSMRetryInterval() const;                          // 300 s, 30..1,800
  bool isDeferredDeepLinkEnabled() const;                   // YES
  int32_t maxDeferredDeepLinkRetryCount() const;            // 5, 0..10
  double attributionCacheTTLInterval() const;               // 604,800 s, 86,400..2,592,000
  double remoteConfigCacheTimeInterval() const;             // config.cache_time 3,600 s, 60..86,400
  bool isSessionIDEnabled() const;                          // api.session_id YES
  bool persistentConfigInApplicationSupportEnabled() const; // experiment first
  bool sessionStitchingTokenFeatureEnabled() const;         // experiment first
  bool SKANUpdateConversionValueEnabled() const;            // experiment first
  double SKANInitialCVFetchDelay() const;                   // 120 s, 30..3,600
  double SKANCVFetchRetryInterval() const;                  // 120 s, 30..3,600
  int32_t SKANCVFetchRetryLimit() const;                    // 4, 1..10
  double SKANFirstWindowCVFetchDelay() const;               // 20 s, 1..3,600
  double SKANFirstWindowCVFetchRetryInterval() const;       // 120 s, 30..3,600
  int32_t SKANFirstWindowCVFetchRetryLimit() const;         // 4, 1..10
  double SKANFirstWindowUploadInterval() const;             // 1,800 s, 15..86,400
  // Fixed lengths in characters.
  int32_t maxPublicEventParameterValueLength() const { return 100; }
  int32_t maxInternalEventParameterValueLength() const { return 256; }

 private:
  MSRRemoteConfig(std::string appID, const std::shared_ptr<MSRDatabase>& database,
                  std::shared_ptr<MSREManager> experimentManager);
  void registerWithExperiments();
  void start(std::shared_ptr<MSRPBMeasurementConfig> measurementConfig);
  // The experiment flag's answer when the client has one.
  std::optional<bool> experimentFlag(const std::string& name) const;
  std::shared_ptr<MSRPBMeasurementConfig> currentConfig() const;
  void loadEventEditing(const std::shared_ptr<MSRPBMeasurementConfig>& measurementConfig, size_t programCount);
  friend std::shared_ptr<MSRRemoteConfig> MSRRemoteConfigWithPersistentConfigFlagForTesting(bool enabled);
  friend std::shared_ptr<MSRRemoteConfig> MSRRemoteConfigWithDatabaseLimitsForTesting(
      int32_t maxEventsStored, double maxQueueTime, double databaseDeleteStaleBundlesInterval);

  const std::string appID_;
  const std::weak_ptr<MSRDatabase> database_;
  const std::shared_ptr<MSREManager> experimentManager_;
  const bool isDefaultInstance_;
  ns::NumberFormatter numberFormatter_;
  // Setting name -> its text, or the checked number once read.
  mutable ZULMutableDictionary<std::string, ns::Value> cachedValueByRemoteConfigKeys_;
  ZULMutableDictionary<std::string, std::shared_ptr<MSRPBEventConfig>> cachedEventConfigByEventName_;
  std::shared_ptr<MSREClient> experimentClient_;
  std::shared_ptr<MSRESDKProperty> sdkProperty_;

  // Guards what follows.
  mutable std::mutex mutex_;
  std::shared_ptr<MSRPBMeasurementConfig> remoteConfigProto_;
  std::vector<std::string> cachedDataControls_;
  std::shared_ptr<MSRPEventEditing> eventEditing_;
  bool hasNewSnapshot_ = false;
};

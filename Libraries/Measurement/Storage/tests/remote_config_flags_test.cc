// Every measurement flag: its default, its bounds taken and one step past
// either giving the default, a text that is no number giving the default,
// the first answer held until the next configuration, and the flags the
// experiments answer first. Configurations are protoc-encoded and applied
// to a real database.
#include <cmath>
#include <functional>

#include "Libraries/Measurement/Storage/tests/RemoteConfigTestSupport.h"

namespace msr_testing {
namespace {

enum class Kind { Interval, Int32, Int64, Bool };

struct Flag {
  const char* key;
  Kind kind;
  std::function<double(const MSRRemoteConfig&)> read;
  double defaultValue;
  double minimum;  // booleans: 0
  double maximum;  // booleans: 1
};

#define READ(property) [](const MSRRemoteConfig& c) { return static_cast<double>(c.property()); }

const std::vector<Flag>& flags() {
  static const std::vector<Flag> table = {
      {"measurement.upload.backoff_period", Kind::Interval, READ(uploadingBackoffInterval), 43200, 3600, 604800},
      {"measurement.audience.max_count", Kind::Int32, READ(maxAudienceCount), 100, 0, 500},
      {"measurement.audience.filter_max_count_per_audience", Kind::Int32, READ(maxFiltersPerAudience), 10, 0, 100},
      {"measurement.audience.filter_result_max_count", Kind::Int32, READ(maxFilterResultCount), 200, 0, 2000},
      {"measurement.audience.parameter_max_count_filter", Kind::Int32, READ(maxParametersPerFilter), 25, 0, 250},
      {"measurement.upload.stale_data_deletion_interval", Kind::Interval, READ(databaseDeleteStaleBundlesInterval),
       86400, 3600, 604800},
      {"measurement.upload.max_queue_time", Kind::Interval, READ(maxQueueTime), 2419200, 604800, 7862400},
      {"measurement.ad_id_cache_time", Kind::Interval, READ(adIDCacheTime), 1, 0, 86400},
      {"measurement.attmas_gate", Kind::Bool, READ(gateIDFAOnATTMASEnabled), 0, 0, 1},
      {"measurement.monitoring.sample_period_millis", Kind::Interval, READ(monitoringSamplePeriod), 86400, 0, 604800},
      {"measurement.network.background_session_enabled", Kind::Bool, READ(isNetworkBackgroundSessionEnabled), 0, 0,
       1},
      {"measurement.network.network_timeout", Kind::Interval, READ(networkTimeout), 60, 30, 3600},
      {"measurement.session.default_minimum_interval", Kind::Interval, READ(sessionDefaultMinimumInterval), 10, 0,
       86400},
      {"measurement.session.default_timeout_interval", Kind::Interval, READ(sessionDefaultTimeoutInterval), 1800, 0,
       86400},
      {"measurement.session.event_user_engagement_interval", Kind::Interval,
       READ(sessionEventUserEngagementInterval), 3600, 0, 86400},
      {"measurement.collection.efficient_engagement_reporting_enabled", Kind::Bool,
       READ(efficientEngagementReportingEnabled), 0, 0, 1},
      {"measurement.collection.redundant_engagement_removal_enabled", Kind::Bool,
       READ(redundantEngagementRemovalEnabled), 0, 0, 1},
      {"measurement.upload.max_conversions_per_day", Kind::Int32, READ(maxConversionsPerDay), 10000, 0, 1000000},
      {"measurement.upload.max_events_per_day", Kind::Int32, READ(maxEventsPerDay), 100000, 0, 1000000},
      {"measurement.upload.max_public_events_per_day", Kind::Int32, READ(maxPublicEventsPerDay), 50000, 0, 1000000},
      {"measurement.upload.max_error_events_per_day", Kind::Int32, READ(maxErrorEventsPerDay), 1000, 0, 1000000},
      {"measurement.lifetimevalue.max_currency_tracked", Kind::Int32, READ(maxTrackedCurrencies), 4, 1, 100},
      {"measurement.upload.max_public_user_properties", Kind::Int32, READ(maxPublicUserProperties), 25, 25, 100},
      {"measurement.upload.max_event_name_cardinality", Kind::Int32, READ(maxEventNameCardinality), 500, 500, 2000},
      {"measurement.upload.max_public_event_params", Kind::Int32, READ(maxPublicEventParams), 25, 25, 100},
      {"measurement.store.max_stored_events_per_app", Kind::Int32, READ(maxEventsStored), 100000, 0, 1000000},
      {"measurement.upload.interval", Kind::Interval, READ(uploadingInterval), 3600, 15, 86400},
      {"measurement.upload.initial_upload_delay_time", Kind::Interval, READ(uploadingInitialDelayInterval), 15, 1,
       86400},
      {"measurement.upload.max_bundles", Kind::Int64, READ(uploadMaxBundlesLimit), 100, 1, 10000},
      {"measurement.upload.max_events_per_bundle", Kind::Int64, READ(uploadMaxEventsPerBundle), 1000, 1, 1000000},
      {"measurement.upload.max_batch_size", Kind::Int64, READ(uploadMaxSizeLimitBytes), 65536, 0, 10485760},
      {"measurement.upload.retry_count", Kind::Int32, READ(uploadingRetryCount), 6, 1, 24},
      {"measurement.upload.retry_time", Kind::Interval, READ(uploadingRetryInterval), 1800, 60, 86400},
      {"measurement.upload.max_bundles_created_per_iteration", Kind::Interval, READ(maxBundlesCreatedPerIteration),
       100, 1, 10000},
      {"measurement.upload.max_realtime_events_per_day", Kind::Int32, READ(maxRealtimeEventCountPerDay), 10, 0, 10},
      {"measurement.upload.debug_upload_interval", Kind::Interval, READ(uploadingDebugModeInterval), 1, 1, 15},
      {"measurement.upload.realtime_upload_interval", Kind::Interval, READ(uploadingRealTimeInterval), 10, 10, 15},
      {"measurement.upload.blacklist_internal", Kind::Bool, READ(blocklistInternal), 0, 0, 1},
      {"measurement.upload.blacklist_public", Kind::Bool, READ(blocklistPublic), 0, 0, 1},
      {"measurement.event_sampling_enabled", Kind::Bool, READ(isEventSamplingEnabled), 0, 0, 1},
      {"measurement.account.time_zone_offset_minutes", Kind::Int32, READ(analyticsAccountTimeZoneOffsetMinutes), 0,
       -900, 900},
      {"measurement.quality.checksum", Kind::Bool, READ(checksumEnabled), 0, 0, 1},
      {"measurement.lifecycle.app_backgrounded_tracking", Kind::Bool, READ(appBackgroundedEventEnabled), 0, 0, 1},
      {"measurement.lifecycle.app_in_background_parameter", Kind::Bool, READ(appInBackgroundParameterEnabled), 1, 0,
       1},
      {"measurement.ees_feature_enabled", Kind::Bool, READ(eesFeatureEnabled), 1, 0, 1},
      {"measurement.item_scoped_custom_parameter_enabled", Kind::Bool, READ(itemScopedCustomParameterEnabled), 1, 0,
       1},
      {"measurement.upload.max_item_scoped_custom_parameters", Kind::Int32, READ(maxItemScopedCustomParameters), 27,
       10, 35},
      {"measurement.psm_enabled", Kind::Bool, READ(PSMFeatureEnabled), 1, 0, 1},
      {"measurement.psm_start_count", Kind::Int32, READ(maxPSMStartCount), 3, 0, 10},
      {"measurement.psm_retry_count", Kind::Int32, READ(maxPSMRetryCount), 5, 0, 10},
      {"measurement.psm_retry_interval", Kind::Interval, READ(PSMRetryInterval), 300, 30, 1800},
      {"measurement.ddl.enabled", Kind::Bool, READ(isDeferredDeepLinkEnabled), 1, 0, 1},
      {"measurement.ddl.retry_count", Kind::Int32, READ(maxDeferredDeepLinkRetryCount), 5, 0, 10},
      {"measurement.attribution.cache.ttl", Kind::Interval, READ(attributionCacheTTLInterval), 604800, 86400,
       2592000},
      {"measurement.config.cache_time", Kind::Interval, READ(remoteConfigCacheTimeInterval), 3600, 60, 86400},
      {"measurement.api.session_id", Kind::Bool, READ(isSessionIDEnabled), 1, 0, 1},
      {"measurement.persistent_config_in_application_support_enabled", Kind::Bool,
       READ(persistentConfigInApplicationSupportEnabled), 0, 0, 1},
      {"measurement.session_stitching_token_enabled", Kind::Bool, READ(sessionStitchingTokenFeatureEnabled), 0, 0, 1},
      {"measurement.skan.update_conversion_value_enabled", Kind::Bool, READ(SKANUpdateConversionValueEnabled), 0, 0,
       1},
      {"measurement.skan.initial_cv_fetch_delay_sec", Kind::Interval, READ(SKANInitialCVFetchDelay), 120, 30, 3600},
      {"measurement.skan.cv_fetch_retry_interval_sec", Kind::Interval, READ(SKANCVFetchRetryInterval), 120, 30, 3600},
      {"measurement.skan.cv_fetch_retry_limit", Kind::Int32, READ(SKANCVFetchRetryLimit), 4, 1, 10},
      {"measurement.skan.first_window.initial_cv_fetch_delay_sec", Kind::Interval, READ(SKANFirstWindowCVFetchDelay),
       20, 1, 3600},
      {"measurement.skan.first_window.cv_fetch_retry_interval_sec", Kind::Interval,
       READ(SKANFirstWindowCVFetchRetryInterval), 120, 30, 3600},
      {"measurement.skan.first_window.cv_fetch_retry_limit", Kind::Int32, READ(SKANFirstWindowCVFetchRetryLimit), 4,
       1, 10},
      {"measurement.skan.first_window.upload_interval_sec", Kind::Interval, READ(SKANFirstWindowUploadInterval), 1800,
       15, 86400},
  };
  return table;
}

#undef READ

// The setting's text for a value in the flag's own unit: intervals travel
// in milliseconds.
std::string textFor(const Flag& flag, double value) {
  double remote = flag.kind == Kind::Interval ? value * 1000 : value;
  return std::to_string(static_cast<long long>(std::llround(remote)));
}

// One step past a bound, in the setting's unit: a millisecond for an
// interval, 1 otherwise.
std::string pastBound(const Flag& flag, double bound, int direction) {
  long long remote = std::llround(flag.kind == Kind::Interval ? bound * 1000 : bound);
  return std::to_string(remote + direction);
}

class RemoteConfigFlagsTest : public RemoteConfigTest {
 protected:
  // Applies one configuration that sets every flag's text as `text` makes
  // it, and checks each answer against `expected`.
  void expectEveryFlag(const char* scenario, const std::function<std::string(const Flag&)>& text,
                       const std::function<double(const Flag&)>& expected) {
    SCOPED_TRACE(scenario);
    std::string fields = "version: 1 ";
    for (const Flag& flag : flags()) fields += setting(flag.key, text(flag));
    ASSERT_TRUE(apply(appConfig(fields)));
    for (const Flag& flag : flags()) {
      SCOPED_TRACE(flag.key);
      double want = expected(flag);
      if (flag.key == std::string("measurement.upload.max_bundles_created_per_iteration")) want = std::trunc(want);
      EXPECT_EQ(flag.read(*remoteConfig_), want);
      EXPECT_EQ(flag.read(*remoteConfig_), want) << "a second read";
    }
  }
};

TEST_F(RemoteConfigFlagsTest, EveryFlagKeepsItsBoundsAndFallsBackToItsDefault) {
  for (const Flag& flag : flags()) {
    SCOPED_TRACE(flag.key);
    EXPECT_EQ(flag.read(*MSRRemoteConfig::defaultInstance()), flag.defaultValue) << "default instance";
  }
  makeRemoteConfig();
  for (const Flag& flag : flags()) {
    SCOPED_TRACE(flag.key);
    EXPECT_EQ(flag.read(*remoteConfig_), flag.defaultValue) << "before any configuration";
  }
  auto defaultOf = [](const Flag& f) { return f.defaultValue; };
  expectEveryFlag("at the minimum", [](const Flag& f) { return textFor(f, f.minimum); },
                  [](const Flag& f) { return f.minimum; });
  expectEveryFlag("at the maximum", [](const Flag& f) { return textFor(f, f.maximum); },
                  [](const Flag& f) { return f.maximum; });
  expectEveryFlag("below the minimum", [](const Flag& f) { return pastBound(f, f.minimum, -1); }, defaultOf);
  expectEveryFlag("above the maximum", [](const Flag& f) { return pastBound(f, f.maximum, +1); }, defaultOf);
  expectEveryFlag("no number", [](const Flag&) { return std::string("1x"); }, defaultOf);
  expectEveryFlag("a word", [](const Flag&) { return std::string("true"); }, defaultOf);
  expectEveryFlag("empty", [](const Flag&) { return std::string(); }, defaultOf);
}

TEST_F(RemoteConfigFlagsTest, TextsAreReadAsTheirUnitsSay) {
  makeRemoteConfig();
  ASSERT_TRUE(apply(appConfig(setting("measurement.upload.retry_time", "90000") +
                              setting("measurement.upload.interval", "15999") +
                              setting("measurement.upload.max_bundles_created_per_iteration", "2500") +
                              setting("measurement.upload.max_bundles", "10000") +
                              setting("measurement.account.time_zone_offset_minutes", "-900") +
                              setting("measurement.upload.retry_count", "2.9") +
                              setting("measurement.attmas_gate", "1") + setting("measurement.ddl.enabled", "0") +
                              setting("measurement.quality.checksum", "2"))));
  EXPECT_EQ(remoteConfig_->uploadingRetryInterval(), 90.0);
  EXPECT_EQ(remoteConfig_->uploadingInterval(), 15.999) << "milliseconds count";
  EXPECT_EQ(remoteConfig_->maxBundlesCreatedPerIteration(), 2) << "2.5 s truncated";
  EXPECT_EQ(remoteConfig_->uploadMaxBundlesLimit(), 10000);
  EXPECT_EQ(remoteConfig_->analyticsAccountTimeZoneOffsetMinutes(), -900);
  EXPECT_EQ(remoteConfig_->uploadingRetryCount(), 2);
  EXPECT_TRUE(remoteConfig_->gateIDFAOnATTMASEnabled());
  EXPECT_FALSE(remoteConfig_->isDeferredDeepLinkEnabled());
  EXPECT_FALSE(remoteConfig_->checksumEnabled()) << "2 is no boolean";
  EXPECT_EQ(remoteConfig_->maxPublicEventParameterValueLength(), 100);
  EXPECT_EQ(remoteConfig_->maxInternalEventParameterValueLength(), 256);
}

TEST_F(RemoteConfigFlagsTest, TheFirstReadHoldsUntilTheNextConfiguration) {
  makeRemoteConfig();
  // Read before any configuration: the default is cached, and a
  // configuration without the key leaves the default.
  EXPECT_EQ(remoteConfig_->networkTimeout(), 60.0);
  ASSERT_TRUE(apply(appConfig(setting("measurement.upload.retry_time", "90000"))));
  EXPECT_EQ(remoteConfig_->networkTimeout(), 60.0);
  EXPECT_EQ(remoteConfig_->uploadingRetryInterval(), 90.0);
  // The cached answer is a number now: a reader of other bounds takes it
  // as it is.
  EXPECT_EQ(remoteConfig_->intValueFromCacheWithKey("measurement.upload.retry_time", 5, 10, 0), 90);

  ASSERT_TRUE(apply(appConfig(setting("measurement.upload.retry_time", "120000") +
                              setting("measurement.network.network_timeout", "45000"))));
  EXPECT_EQ(remoteConfig_->uploadingRetryInterval(), 120.0);
  EXPECT_EQ(remoteConfig_->networkTimeout(), 45.0);
}

TEST_F(RemoteConfigFlagsTest, ReadersRefuseEmptyKeysAndNonTexts) {
  makeRemoteConfig();
  monitor_.clear();
  EXPECT_EQ(remoteConfig_->numberFromCacheWithKey("", 5, std::nullopt, std::nullopt), std::nullopt);
  EXPECT_EQ(remoteConfig_->intValueFromCacheWithKey("", 5, 10, 0), 0);
  EXPECT_FALSE(remoteConfig_->boolValueFromCacheWithKey("", true));
  EXPECT_TRUE(monitor_.contains(29020));
  EXPECT_EQ(remoteConfig_->numberFromString(ns::Value(12)), std::nullopt);
  EXPECT_TRUE(monitor_.contains(29018));
  EXPECT_EQ(remoteConfig_->numberFromString(ns::Value("-900")), -900.0);
  EXPECT_EQ(remoteConfig_->cacheValue(std::nullopt, "key"), std::nullopt);
  EXPECT_EQ(remoteConfig_->cacheValue(ns::Value("1"), ""), std::nullopt);
  EXPECT_TRUE(monitor_.contains(29019));
  // Without bounds any number is taken.
  ASSERT_TRUE(remoteConfig_->cacheValue(ns::Value("-123456789012"), "measurement.any"));
  EXPECT_EQ(remoteConfig_->int64ValueFromCacheWithKey("measurement.any", 5), -123456789012);
}

TEST_F(RemoteConfigFlagsTest, MaxPSMStartCountIsTenInDebugMode) {
  makeRemoteConfig();
  ASSERT_TRUE(apply(appConfig(setting("measurement.psm_start_count", "1"))));
  MSRRemoteConfigSetDebugModeForTesting(true);
  EXPECT_EQ(remoteConfig_->maxPSMStartCount(), 10);
  MSRRemoteConfigSetDebugModeForTesting(false);
  EXPECT_EQ(remoteConfig_->maxPSMStartCount(), 1);
}

// The six booleans the experiments answer first, with their settings all
// "1" and the experiments manager as it is today (no snapshot fetched).
TEST_F(RemoteConfigFlagsTest, TheExperimentsAnswerSixFlagsFirst) {
  struct Override {
    const char* key;
    bool (MSRRemoteConfig::*read)() const;
    bool registered;  // registered with 0, so NO whatever the setting says
  } overrides[] = {
      {"measurement.collection.efficient_engagement_reporting_enabled",
       &MSRRemoteConfig::efficientEngagementReportingEnabled, true},
      {"measurement.collection.redundant_engagement_removal_enabled",
       &MSRRemoteConfig::redundantEngagementRemovalEnabled, true},
      {"measurement.network.background_session_enabled", &MSRRemoteConfig::isNetworkBackgroundSessionEnabled, true},
      {"measurement.persistent_config_in_application_support_enabled",
       &MSRRemoteConfig::persistentConfigInApplicationSupportEnabled, true},
      {"measurement.session_stitching_token_enabled", &MSRRemoteConfig::sessionStitchingTokenFeatureEnabled, false},
      {"measurement.skan.update_conversion_value_enabled", &MSRRemoteConfig::SKANUpdateConversionValueEnabled, false},
  };
  std::string fields;
  for (const auto& o : overrides) fields += setting(o.key, "1");
  makeRemoteConfig(std::make_shared<MSREManager>());
  ASSERT_TRUE(apply(appConfig(fields)));
  for (const auto& o : overrides) {
    SCOPED_TRACE(o.key);
    EXPECT_EQ((remoteConfig_.get()->*o.read)(), !o.registered);
  }
}

TEST_F(RemoteConfigFlagsTest, AnExperimentFlagWinsOverTheSetting) {
  auto manager = std::make_shared<ScriptedManager>();
  makeRemoteConfig(manager);
  ASSERT_TRUE(apply(appConfig(setting("measurement.network.background_session_enabled", "0") +
                              setting("measurement.skan.update_conversion_value_enabled", "1"))));
  manager->client->setFlag("network_background_session_enabled", 1);
  manager->client->setFlag("skan_update_conversion_value_feature_enabled", 0);
  EXPECT_TRUE(remoteConfig_->isNetworkBackgroundSessionEnabled());
  EXPECT_FALSE(remoteConfig_->SKANUpdateConversionValueEnabled());
}

}  // namespace
}  // namespace msr_testing

// The persisted configuration on a real device, over both stores: every
// property, the delayed synchronisation on the virtual clock, the midnight
// offset and the switch between stores across launches of the
// configuration child.
#include <cstring>

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Storage/MSRPersistedConfig.h"
#include "Libraries/Measurement/Storage/MSRPersistentDictionary.h"
#include "Libraries/Measurement/Storage/MSRUserDefaults.h"
#include "Libraries/Measurement/Storage/testing/MSRRemoteConfigTesting.h"
#include "Libraries/Measurement/Storage/tests/ConfigTestSupport.h"
#include "Platform/Dispatch/MainThread.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/UserDefaults.h"

namespace msr_testing {
namespace {

std::string key(const std::string& name) { return "/zorori/measurement/" + name; }

template <class T>
ns::Value valueOf(const std::optional<T>& value) {
  return value ? ns::Value(*value) : ns::Value();
}

enum class Store { Defaults, PropertyList };

const char* nameOf(Store store) { return store == Store::Defaults ? "defaults suite" : "property list"; }

class PersistedConfigTest : public ConfigTest {
 protected:
  // A configuration of `suite` over the store asked for.
  static std::shared_ptr<MSRPersistedConfig> make(const std::string& suite, Store store = Store::Defaults) {
    MSRAnalytics::setPersistentConfigInApplicationSupportEnabled(store == Store::PropertyList);
    auto config = MSRPersistedConfig::initWithSuiteName(suite);
    EXPECT_TRUE(config);
    return config;
  }
  // The file the store of `suite` keeps.
  static std::string fileOf(const std::string& suite, Store store) {
    return store == Store::Defaults ? MSRPreferencesPlistPath(suite) : MSRApplicationSupportPlistPath(suite);
  }
  static bool isPropertyList(const MSRPersistedConfig& config) {
    return std::dynamic_pointer_cast<MSRPersistentDictionary>(config.userDefaults()) != nullptr;
  }
  static bool excluded(const std::string& path) { return ns::FileManager::defaultManager().isExcludedFromBackup(path); }
  // Waits for what the configuration's queue holds so far.
  static void drain(MSRPersistedConfig& config) { config.boolForKey("barrier"); }
  // The synchronisation (it excludes the suite's file from backups) is due
  // exactly one second from now, not earlier.
  static void expectSynchronisationInOneSecond(MSRPersistedConfig& config, const std::string& file) {
    ns::Clock::advance(0.999);
    drain(config);
    EXPECT_FALSE(excluded(file));
    ns::Clock::advance(0.001);
    drain(config);
    EXPECT_TRUE(excluded(file));
  }
  // Replaces the random source by one handing out `values`, in turn.
  static void drawing(std::vector<uint64_t> values, int* draws) {
    MSRRandomSetSourceForTesting([values, draws](uint8_t* bytes, size_t count) {
      uint64_t value = values.at(std::min<size_t>(static_cast<size_t>((*draws)++), values.size() - 1));
      ASSERT_EQ(count, sizeof value);
      std::memcpy(bytes, &value, sizeof value);
    });
  }
};

// One property of the table: how to set it, how it reads, what it reads
// while absent and what its key then holds in the store.
struct Property {
  const char* name;
  std::function<void(MSRPersistedConfig&)> set;
  std::function<ns::Value(MSRPersistedConfig&)> get;
  ns::Value absent;
  ns::Value stored;
};

std::vector<Property> properties() {
  using C = MSRPersistedConfig;
  auto real = [](const char* name, void (C::*set)(double), double (C::*get)(), double value) {
    return Property{name, [=](C& c) { (c.*set)(value); }, [=](C& c) { return ns::Value((c.*get)()); }, 0.0, value};
  };
  auto integer = [](const char* name, void (C::*set)(int64_t), int64_t (C::*get)(), int64_t value) {
    return Property{name, [=](C& c) { (c.*set)(value); },
                    [=](C& c) { return ns::Value(static_cast<long long>((c.*get)())); }, 0, value};
  };
  auto text = [](const char* name, void (C::*set)(const std::optional<std::string>&),
                 std::optional<std::string> (C::*get)(), const char* value) {
    return Property{name, [=](C& c) { (c.*set)(std::string(value)); }, [=](C& c) { return valueOf((c.*get)()); },
                    ns::Value(), value};
  };
  auto object = [](const char* name, void (C::*set)(const std::optional<ns::Value>&),
                   std::optional<ns::Value> (C::*get)(), ns::Value value) {
    return Property{name, [=](C& c) { (c.*set)(value); }, [=](C& c) { return valueOf((c.*get)()); }, ns::Value(),
                    value};
  };
  auto flag = [](const char* name, void (C::*set)(bool), bool (C::*get)()) {
    return Property{name, [=](C& c) { (c.*set)(true); }, [=](C& c) { return ns::Value((c.*get)()); }, false, 1};
  };
  ns::Dictionary parameters{{"currency", "EUR"}, {"items", ns::Array{1, 2}}};
  return {
      real("last_delete_stale", &C::setLastDeleteStaleBundlesTimestamp, &C::lastDeleteStaleBundlesTimestamp, 1.7e9),
      object("is_search_ad_campaign", &C::setSearchAdCampaignValue, &C::searchAdCampaignValue, true),
      real("search_ad_last_attempt_timestamp", &C::setLastSearchAdLookUpTimestamp, &C::lastSearchAdLookUpTimestamp,
           1.7e9 + 1),
      integer("search_ad_number_of_retries", &C::setSearchAdRetryCount, &C::searchAdRetryCount, 3),
      text("app_instance_id", &C::setAppInstanceID, &C::appInstanceID, "0123456789abcdef0123456789abcdef"),
      text("zmp_app_id", &C::setAppIDFromZMP, &C::appIDFromZMP, "1:123:ios:abc"),
      text("rivar_app_id", &C::setAppIDFromRiVar, &C::appIDFromRiVar, "riv-1"),
      text("hashed_idfa", &C::setHashedResettableDeviceID, &C::hashedResettableDeviceID, "hash"),
      text("diversion_key", &C::setDiversionKey, &C::diversionKey, "diversion"),
      real("last_backoff", &C::setLastBackoffTimestamp, &C::lastBackoffTimestamp, 1.7e9 + 2),
      real("last_successful_upload", &C::setLastSuccessfulUploadTimestamp, &C::lastSuccessfulUploadTimestamp,
           1.7e9 + 3),
      real("last_failed_upload", &C::setLastFailedUploadTimestamp, &C::lastFailedUploadTimestamp, 1.7e9 + 4),
      text("app_version", &C::setAppVersion, &C::appVersion, "2.4.1"),
      text("os_version", &C::setOSVersion, &C::osVersion, "17.2"),
      real("last_monitor_data_sampled_timestamp", &C::setLastMonitorDataSampledTimestamp,
           &C::lastMonitorDataSampledTimestamp, 1.7e9 + 5),
      integer("first_open_timestamp_ms", &C::setFirstOpenTimestampMilliseconds, &C::firstOpenTimestampMilliseconds,
              1700000000123),
      Property{"last_modified_since_key",
               [](C& c) { c.setConfigServerLastModifiedString(std::string("Wed, 21 Oct 2015 07:28:00 GMT")); },
               [](C& c) { return valueOf(c.configServerLastModifiedString()); }, ns::Value(),
               "Wed, 21 Oct 2015 07:28:00 GMT"},
      text("config_etag", &C::setConfigServerETag, &C::configServerETag, "\"33a64df5\""),
      object("load_timestamp", &C::setLoadTimestampValue, &C::loadTimestampValue, 1.7e9 + 6),
      object("allow_personalized_ads", &C::setAllowPersonalizedAds, &C::allowPersonalizedAds, false),
      text("dozaveve_feature_rollouts", &C::setDozaveveFeatureRollouts, &C::dozaveveFeatureRollouts, "rollout=1"),
      object("deep_link_retrieval_complete", &C::setDeferredDeepLinkRetrievalComplete,
             &C::deferredDeepLinkRetrievalComplete, true),
      integer("deep_link_retry_count", &C::setDeferredDeepLinkRetryCount, &C::deferredDeepLinkRetryCount, 2),
      flag("set_last_advertising_id_reset", &C::setShouldSetLastAdvertisingIDResetUserProperty,
           &C::shouldSetLastAdvertisingIDResetUserProperty),
      flag("unmatched_first_open", &C::setUnmatchedFirstOpenWithoutIDFA, &C::unmatchedFirstOpenWithoutIDFA),
      object("previous_first_open_count", &C::setPreviousFirstOpenCount, &C::previousFirstOpenCount, 4),
      real("last_engagement_end", &C::setLastSessionActivityClockTime, &C::lastSessionActivityClockTime, 1.7e9 + 7),
      integer("session_number", &C::setSessionNumber, &C::sessionNumber, 12),
      Property{"default_event_parameters", [=](C& c) { c.setDefaultEventParameters(parameters); },
               [](C& c) { return valueOf(c.defaultEventParameters()); }, ns::Value(), parameters},
      integer("last_uploaded_event_millis", &C::setLastUploadedEventTimestampMillis,
              &C::lastUploadedEventTimestampMillis, 1700000000456),
      integer("skan_evaluation_event_time_millis", &C::setSKANEvaluationEventTimeMillis,
              &C::SKANEvaluationEventTimeMillis, 1700000000789),
      integer("skan_evaluation_update_backoff_millis", &C::setSKANEvaluationUpdateBackoffMillis,
              &C::SKANEvaluationUpdateBackoffMillis, 86400000),
  };
}

TEST_F(PersistedConfigTest, EveryPropertyIsKeptUnderItsKeyInEitherStore) {
  for (Store store : {Store::Defaults, Store::PropertyList}) {
    SCOPED_TRACE(nameOf(store));
    const std::string suite = std::string("properties ") + nameOf(store);
    auto config = make(suite, store);
    EXPECT_EQ(isPropertyList(*config), store == Store::PropertyList);
    for (const auto& p : properties()) {
      SCOPED_TRACE(p.name);
      EXPECT_EQ(p.get(*config), p.absent);
      p.set(*config);
      EXPECT_EQ(p.get(*config), p.stored);
      EXPECT_EQ(valueOf(config->userDefaults()->objectForKey(key(p.name))), p.stored);
    }
    config.reset();

    // A second reader of the file, then a new configuration over it.
    auto file = plistutilDictionary(fileOf(suite, store));
    ASSERT_TRUE(file);
    auto again = make(suite, store);
    for (const auto& p : properties()) {
      SCOPED_TRACE(p.name);
      const ns::Value* inFile = file->find(key(p.name));
      EXPECT_EQ(inFile ? *inFile : ns::Value(), p.stored);
      EXPECT_EQ(p.get(*again), p.stored);
    }
    EXPECT_EQ(file->size(), properties().size()) << "nothing else was written";
  }
}

TEST_F(PersistedConfigTest, OddValuesReadAsTheirKindAllows) {
  auto config = make("odd");
  config->setString(std::string("12"), key("session_number"));
  EXPECT_EQ(config->sessionNumber(), 0) << "a string is no number";
  EXPECT_EQ(config->int64ForKey(key("session_number")), 0);
  EXPECT_EQ(config->numberForKey(key("session_number")), ns::Value("12"));

  config->setSearchAdCampaignValue(ns::Value(true));
  config->setSearchAdCampaignValue(ns::Value("yes"));
  config->setSearchAdCampaignValue(std::nullopt);
  EXPECT_EQ(config->searchAdCampaignValue(), ns::Value(true)) << "only numbers are taken";

  config->setNumber(ns::Value(5), key("last_modified_since_key"));
  EXPECT_EQ(config->configServerLastModifiedString(), ns::Value(5)) << "read without a kind check";

  config->setInt64(7, key("unmatched_first_open"));
  EXPECT_TRUE(config->unmatchedFirstOpenWithoutIDFA());
  config->setAppInstanceID(std::nullopt);
  config->setAppInstanceID(std::string("id"));
  config->setAppInstanceID(std::nullopt);
  EXPECT_FALSE(config->appInstanceID()) << "none removes";

  EXPECT_EQ(config->int64ForKey(""), 0);
  EXPECT_FALSE(config->stringForKey(""));
  EXPECT_TRUE(loggedCodes().empty()) << "an empty key never reaches the store";
}

TEST_F(PersistedConfigTest, TheMeasurementEnabledStateIsInTheAppsOwnDefaultsAtOnce) {
  for (Store store : {Store::Defaults, Store::PropertyList}) {
    SCOPED_TRACE(nameOf(store));
    auto config = make(std::string("enabled ") + nameOf(store), store);
    config->setMeasurementEnabledState(2);
    const std::string standardFile = MSRPreferencesPlistPath(ns::UserDefaults::applicationDomainName());
    EXPECT_EQ(ns::readDictionaryFile(standardFile)->find(key("measurement_enabled_state"))->integerValue(), 2);
    EXPECT_FALSE(config->userDefaults()->objectForKey(key("measurement_enabled_state")));

    // Where the analytics switch writes it.
    ns::UserDefaults::standardUserDefaults()->setInteger(1, key("measurement_enabled_state"));
    EXPECT_EQ(config->measurementEnabledState(), 1);
  }
}

TEST_F(PersistedConfigTest, ABurstOfWritesEndsInOneSynchronisationASecondAfterItsLast) {
  ns::Clock::useVirtual(ns::Date(1000));
  auto config = make("burst");
  const std::string file = fileOf("burst", Store::Defaults);
  // 200 writes within half a second.
  for (int i = 0; i < 200; ++i) {
    if (i > 0) ns::Clock::advance(0.0025);
    config->setSessionNumber(i);
  }
  ASSERT_TRUE(exists(file)) << "each write is in the file at once";
  // The synchronisation waits for a second without writes, though the
  // first write is a second old by then.
  expectSynchronisationInOneSecond(*config, file);
  EXPECT_EQ(plistutilDictionary(file), (ns::Dictionary{{key("session_number"), 199}}));
}

TEST_F(PersistedConfigTest, ASynchronisationAskedForOnTheMainThreadIsMadeASecondLater) {
  ASSERT_TRUE(dispatch::isMainThread());
  ns::Clock::useVirtual(ns::Date(1000));
  MSRUserDefaults("main").setObject(ns::Value(1), key("session_number"));
  auto config = make("main");
  const std::string file = fileOf("main", Store::Defaults);
  config->synchronizeToDisk();
  EXPECT_FALSE(excluded(file));
  expectSynchronisationInOneSecond(*config, file);
}

TEST_F(PersistedConfigTest, AReleasedConfigurationDropsItsPendingSynchronisation) {
  ns::Clock::useVirtual(ns::Date(1000));
  auto config = make("released");
  config->setSessionNumber(1);
  auto barrier = make("barrier");
  config.reset();
  ns::Clock::advance(1.0);
  drain(*barrier);
  EXPECT_FALSE(excluded(fileOf("released", Store::Defaults)));
}

TEST_F(PersistedConfigTest, TheMidnightOffsetIsDrawnOnceAndKeptAcrossLaunches) {
  constexpr uint64_t kDay = 86400000;
  struct Case {
    Store store;
    uint64_t draw;  // a draw the unbiased reduction keeps as it is, modulo a day
    double offset;
  } cases[] = {
      {Store::Defaults, kDay * 1000000 + 12345678, 12345.678},
      {Store::PropertyList, kDay * 1000000 + kDay - 1, 86399.999},
      {Store::Defaults, kDay * 1000000, 0.0},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset);
    const std::string suite = "midnight " + std::to_string(++n);
    int draws = 0;
    drawing({c.draw, 1}, &draws);
    auto config = make(suite, c.store);
    EXPECT_EQ(config->midnightOffset(), c.offset);
    EXPECT_EQ(config->midnightOffset(), c.offset);
    EXPECT_EQ(draws, 1);
    config.reset();
    EXPECT_EQ(child({"midnight", suite}), std::vector<std::string>{ns::format("%.3f", c.offset)});
  }

  // A stored value that is not a number is replaced by a fresh draw.
  int draws = 0;
  drawing({kDay * 1000000 + 1000}, &draws);
  auto config = make("midnight 1");
  config->setString(std::string("noon"), key("midnight_offset"));
  EXPECT_EQ(config->midnightOffset(), 1.0);
  EXPECT_EQ(config->doubleForKey(key("midnight_offset")), 1.0);

  // The real source, in a launch of its own.
  double offset = std::stod(child({"midnight", "midnight real"}).at(0));
  EXPECT_GE(offset, 0.0);
  EXPECT_LT(offset, 86400.0);
  EXPECT_EQ(child({"midnight", "midnight real"}), std::vector<std::string>{ns::format("%.3f", offset)});
}

TEST_F(PersistedConfigTest, AStoreSwitchTakesEffectAtTheNextLaunchAndCarriesEveryValueBothWays) {
  const std::string suite = "com.zorori.zmp.measurement";
  const std::string defaultsFile = fileOf(suite, Store::Defaults), listFile = fileOf(suite, Store::PropertyList);
  const std::string instance = key("app_instance_id"), version = key("app_version"), etag = key("config_etag");

  // A launch before any configuration was fetched keeps the defaults suite.
  EXPECT_EQ(child({"write", suite, instance + "=one", version + "=1.0"}), std::vector<std::string>{"defaults"});
  auto config = MSRPersistedConfig::initWithSuiteName(suite);
  config->setSessionNumber(3);
  EXPECT_TRUE(config->shouldCheckConfigStoreMigrationFlag()) << "the default configuration decides nothing";
  EXPECT_FALSE(exists(MSRPreferencesPlistPath("MSRAnalyticsSuiteName")));

  // This launch fetched a configuration asking for the property list: its
  // next write records the choice, its own store stays.
  MSRMeasurementSetRemoteConfigForTesting(MSRRemoteConfigWithPersistentConfigFlagForTesting(true));
  config->setSessionNumber(4);
  EXPECT_FALSE(config->shouldCheckConfigStoreMigrationFlag());
  EXPECT_TRUE(MSRAnalytics::persistentConfigInApplicationSupportEnabled());
  EXPECT_FALSE(isPropertyList(*config));
  config.reset();

  EXPECT_EQ(child({"read", suite, instance, version}), (std::vector<std::string>{"plist", "one", "1.0"}));
  EXPECT_FALSE(exists(defaultsFile)) << "the suite's domain is gone";
  EXPECT_FALSE(MSRUserDefaults(suite).objectForKey(instance));
  EXPECT_EQ(plistutilDictionary(listFile),
            (ns::Dictionary{{instance, "one"}, {version, "1.0"}, {key("session_number"), 4}}));

  // And back, once a fetched configuration says no.
  EXPECT_EQ(child({"write", suite, etag + "=tag"}), std::vector<std::string>{"plist"});
  MSRMeasurementSetRemoteConfigForTesting(MSRRemoteConfigWithPersistentConfigFlagForTesting(false));
  config = MSRPersistedConfig::initWithSuiteName(suite);
  EXPECT_TRUE(isPropertyList(*config));
  config->setSessionNumber(5);
  EXPECT_FALSE(MSRAnalytics::persistentConfigInApplicationSupportEnabled());
  config.reset();

  EXPECT_EQ(child({"read", suite, instance, version, etag}),
            (std::vector<std::string>{"defaults", "one", "1.0", "tag"}));
  EXPECT_FALSE(exists(listFile));
  EXPECT_EQ(plistutilDictionary(defaultsFile),
            (ns::Dictionary{{instance, "one"}, {version, "1.0"}, {key("session_number"), 5}, {etag, "tag"}}));
}

TEST_F(PersistedConfigTest, ADictionaryWithANullInsideIsRefusedAndTheOldOneKept) {
  struct Case {
    Store store;
    bool monitor27002;  // else the store's own warning 43003
  } cases[] = {{Store::Defaults, true}, {Store::PropertyList, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(nameOf(c.store));
    auto config = make(std::string("parameters ") + nameOf(c.store), c.store);
    config->setDefaultEventParameters(ns::Dictionary{{"p", 1}});
    monitor_.clear();
    clearLog();
    config->setDefaultEventParameters(ns::Dictionary{{"p", 2}, {"bad", ns::Value()}});
    EXPECT_EQ(config->defaultEventParameters(), (ns::Dictionary{{"p", 1}}));
    EXPECT_EQ(monitor_.contains(27002), c.monitor27002);
    EXPECT_EQ(logged(43003), !c.monitor27002);
    if (c.monitor27002) {
      EXPECT_EQ(monitor_.messages().at(0).level, 1);
      EXPECT_EQ(monitor_.messages().at(0).message, "Unsupported value passed in dictionary");
    }
    config.reset();
    EXPECT_EQ(plistutilDictionary(fileOf(std::string("parameters ") + nameOf(c.store), c.store)),
              (ns::Dictionary{{key("default_event_parameters"), ns::Dictionary{{"p", 1}}}}));
  }
}

TEST_F(PersistedConfigTest, NoConfigurationWithoutAName) {
  EXPECT_FALSE(MSRPersistedConfig::initWithSuiteName(""));
  auto shared = MSRPersistedConfig::sharedInstance();
  ASSERT_TRUE(shared);
  EXPECT_EQ(shared, MSRPersistedConfig::sharedInstance());
  EXPECT_EQ(shared->name(), "com.zorori.zmp.measurement");
}

}  // namespace
}  // namespace msr_testing

// The remote configuration over a real database: protoc-encoded
// configurations checked, stored, parsed and read back by a new instance
// and by a later launch; the default instance; expiry on the virtual
// clock; reset; the fetch and upload URLs.
#include "Libraries/Measurement/Storage/tests/RemoteConfigTestSupport.h"
#include "Platform/Foundation/URLComponents.h"

namespace msr_testing {
namespace {

TEST_F(RemoteConfigTest, CreationNeedsAnAppAndADatabase) {
  monitor_.clear();
  worker([&] {
    EXPECT_EQ(MSRRemoteConfig::initWithAppID("", database_, nullptr), nullptr);
    EXPECT_EQ(MSRRemoteConfig::initWithAppID(kAppID, nullptr, nullptr), nullptr);
  });
  EXPECT_EQ(monitor_.codes(), (std::vector<int64_t>{29000, 29001}));
  makeRemoteConfig();
  EXPECT_FALSE(remoteConfig_->isDefaultInstance());
  EXPECT_TRUE(monitor_.contains(29017)) << "nothing stored yet";
  EXPECT_EQ(remoteConfig_->version(), -1);
}

TEST_F(RemoteConfigTest, AConfigurationIsStoredParsedAndReadBackByANewInstanceAndALaterLaunch) {
  makeRemoteConfig();
  ASSERT_TRUE(apply(appConfig("version: 42 " + setting("measurement.upload.retry_time", "90000") +
                              "event_config { name: \"session_start\" field_2: true } "
                              "data_controls { field_1: \"user_id\" } data_controls { field_1: \"os_version\" } "
                              "data_controls { field_3: true }")));
  EXPECT_TRUE(monitor_.contains(29014));
  EXPECT_EQ(remoteConfig_->version(), 42);
  EXPECT_EQ(remoteConfig_->uploadingRetryInterval(), 90.0);
  EXPECT_EQ(remoteConfig_->dataControls(), (std::vector<std::string>{"user_id", "os_version"}));
  // A reserved public name is kept under its internal one.
  EXPECT_TRUE(remoteConfig_->isEventBlocklisted("_s"));
  EXPECT_NE(remoteConfig_->eventConfigWithName("_s"), nullptr);
  EXPECT_EQ(remoteConfig_->eventConfigWithName("session_start"), nullptr);
  EXPECT_NE(sqlite(path_, "SELECT length(remote_config_data) FROM app_metadata"), "");

  std::shared_ptr<MSRRemoteConfig> again;
  worker([&] { again = MSRRemoteConfig::initWithAppID(kAppID, database_, nullptr); });
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->version(), 42);
  EXPECT_EQ(again->uploadingRetryInterval(), 90.0);
  EXPECT_EQ(again->dataControls(), remoteConfig_->dataControls());
  EXPECT_TRUE(again->isEventBlocklisted("_s"));

  EXPECT_EQ(configChild(device_, {"remote-config", kAppID}),
            (std::vector<std::string>{"42", "90", "user_id,os_version", "blocked"}));
}

TEST_F(RemoteConfigTest, ConfigurationsThatMustNotApplyChangeNothing) {
  makeRemoteConfig();
  ASSERT_TRUE(apply(appConfig("version: 1 " + setting("measurement.upload.interval", "60000") +
                              "data_controls { field_1: \"user_id\" }")));
  struct Case {
    const char* name;
    std::string text;
    int64_t code;
  } cases[] = {
      {"another app", "zmp_app_id: \"1:999:ios:other\" version: 2 " + setting("measurement.upload.interval", "120000"),
       29004},
      {"no app id", "version: 2 " + setting("measurement.upload.interval", "120000"), 29004},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    monitor_.clear();
    EXPECT_FALSE(apply(configFromText(c.text)));
    EXPECT_TRUE(monitor_.contains(c.code));
    EXPECT_EQ(remoteConfig_->version(), 1);
    EXPECT_EQ(remoteConfig_->uploadingInterval(), 60.0);
    EXPECT_EQ(remoteConfig_->dataControls(), std::vector<std::string>{"user_id"});
  }
  monitor_.clear();
  EXPECT_FALSE(apply(nullptr));
  EXPECT_TRUE(monitor_.contains(29003));
  // The stored one is still the first.
  std::shared_ptr<MSRRemoteConfig> again;
  worker([&] { again = MSRRemoteConfig::initWithAppID(kAppID, database_, nullptr); });
  EXPECT_EQ(again->version(), 1);
}

TEST_F(RemoteConfigTest, AConfigurationWithoutSettingsLeavesTheFlags) {
  makeRemoteConfig();
  ASSERT_TRUE(apply(appConfig("version: 1 " + setting("measurement.upload.interval", "60000"))));
  monitor_.clear();
  EXPECT_TRUE(apply(appConfig("version: 2 event_config { name: \"_e\" field_2: true }")));
  EXPECT_TRUE(monitor_.contains(29012));
  EXPECT_EQ(remoteConfig_->uploadingInterval(), 60.0);
  EXPECT_FALSE(remoteConfig_->isEventBlocklisted("_e"));
}

// Whether the store refuses with an error or without one (the database is
// gone), the configuration is neither applied nor reported as stored.
TEST_F(RemoteConfigTest, AStoreFailureRefusesTheConfiguration) {
  makeRemoteConfig();
  ASSERT_TRUE(apply(appConfig("version: 1 " + setting("measurement.upload.interval", "60000"))));
  worker([&] { database_.reset(); });
  monitor_.clear();
  EXPECT_FALSE(apply(appConfig("version: 2 " + setting("measurement.upload.interval", "120000"))));
  EXPECT_TRUE(monitor_.contains(29005));
  EXPECT_EQ(remoteConfig_->version(), 1);
  EXPECT_EQ(remoteConfig_->uploadingInterval(), 60.0);
}

TEST_F(RemoteConfigTest, TheRiVarOriginNeedsItsOwnAppID) {
  makeRemoteConfig();
  MSRIdentifiers::sharedInstance()->setOrigin("am");
  monitor_.clear();
  EXPECT_FALSE(apply(appConfig("version: 1")));
  EXPECT_FALSE(apply(appConfig("version: 1 field_7: \"1:999:ios:other\"")));
  EXPECT_EQ(monitor_.codes(), (std::vector<int64_t>{29022, 29022}));
  EXPECT_TRUE(apply(appConfig("version: 1 field_7: \"" + std::string(kAppID) + "\"")));
  EXPECT_EQ(remoteConfig_->version(), 1);

  // Another origin does not look at it.
  MSRIdentifiers::sharedInstance()->setOrigin("fa");
  EXPECT_TRUE(apply(appConfig("version: 2")));
}

TEST_F(RemoteConfigTest, EventRulesAndSamplingRates) {
  makeRemoteConfig();
  ASSERT_TRUE(apply(appConfig(
      setting("measurement.upload.blacklist_public", "1") +
      "event_config { name: \"zero\" field_4: 0 } event_config { name: \"one\" field_4: 1 } "
      "event_config { name: \"two\" field_4: 2 } event_config { name: \"top\" field_4: 65535 } "
      "event_config { name: \"over\" field_4: 65536 } event_config { name: \"negative\" field_4: -5 } "
      "event_config { name: \"_conv\" field_3: true field_2: false } event_config { name: \"plain\" } "
      "event_config { field_2: true }")));
  struct Case {
    const char* event;
    bool hasRate;
    int32_t rate;
  } rates[] = {{"zero", true, 1},  {"one", true, 1},       {"two", true, 2},   {"top", true, 65535},
               {"over", true, 1},  {"negative", true, 1}, {"plain", false, 1}, {"unknown", false, 1}};
  for (const auto& c : rates) {
    SCOPED_TRACE(c.event);
    EXPECT_EQ(remoteConfig_->eventHasSamplingRate(c.event), c.hasRate);
    EXPECT_EQ(remoteConfig_->samplingRateForEvent(c.event), c.rate);
  }
  EXPECT_TRUE(monitor_.contains(29013)) << "the nameless event configuration";

  // "blacklist_public" blocks public events only, configured or not.
  EXPECT_TRUE(remoteConfig_->isEventBlocklisted("unknown"));
  EXPECT_TRUE(remoteConfig_->isEventBlocklisted("plain"));
  EXPECT_FALSE(remoteConfig_->isEventBlocklisted("_internal"));
  EXPECT_FALSE(remoteConfig_->isEventBlocklisted("_conv"));
  EXPECT_TRUE(remoteConfig_->isEventCustomConversion("_conv"));
  EXPECT_FALSE(remoteConfig_->isEventCustomConversion("plain"));
  monitor_.clear();
  EXPECT_EQ(remoteConfig_->eventConfigWithName(""), nullptr);
  EXPECT_TRUE(monitor_.contains(29006));
}

TEST_F(RemoteConfigTest, TheDefaultInstanceAnswersDefaultsAndNeverExpires) {
  auto defaults = MSRRemoteConfig::defaultInstance();
  EXPECT_EQ(defaults, MSRRemoteConfig::defaultInstance());
  EXPECT_TRUE(defaults->isDefaultInstance());
  monitor_.clear();
  EXPECT_EQ(defaults->version(), -1);
  EXPECT_FALSE(defaults->isExpired());
  EXPECT_EQ(defaults->lastRemoteConfigUpdateTimestamp(), 0.0);
  worker([&] {
    EXPECT_FALSE(defaults->updateMeasurementConfig(appConfig("version: 3")));
    EXPECT_EQ(defaults->measurementConfigFromDatabase(), nullptr);
  });
  EXPECT_EQ(monitor_.codes(), (std::vector<int64_t>{29007, 29008, 29002, 29015}));
  EXPECT_EQ(defaults->version(), -1);
  EXPECT_EQ(defaults->uploadURL().absoluteString(), "https://upload.measurement.invalid/a");
}

TEST_F(RemoteConfigTest, ExpiryFollowsTheCacheTimeOnTheClock) {
  makeRemoteConfig();
  EXPECT_TRUE(remoteConfig_->isExpired()) << "never stored";
  ASSERT_TRUE(apply(appConfig(setting("measurement.config.cache_time", "120000"))));
  EXPECT_EQ(remoteConfig_->lastRemoteConfigUpdateTimestamp(), kNow);
  struct Case {
    double offset;
    bool expired;
  } cases[] = {{0, false}, {119.5, false}, {120, true}, {-119, false}, {-120, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset);
    ns::Clock::useVirtual(ns::Date::fromUnixTime(kNow + c.offset));
    EXPECT_EQ(remoteConfig_->isExpired(), c.expired);
  }
}

TEST_F(RemoteConfigTest, ResetEmptiesTheCachesAndTheExperiments) {
  auto manager = std::make_shared<ScriptedManager>();
  makeRemoteConfig(manager);
  ASSERT_TRUE(apply(appConfig("version: 5 " + setting("measurement.upload.interval", "60000") +
                              "event_config { name: \"_e\" field_2: true } data_controls { field_1: \"user_id\" } "
                              "dynamic_event_editing { } field_11: \"eu\"")));
  auto engine = remoteConfig_->eventEditing();
  ASSERT_NE(engine, nullptr);
  remoteConfig_->reset();
  EXPECT_EQ(remoteConfig_->version(), -1);
  EXPECT_EQ(remoteConfig_->uploadingInterval(), 3600.0);
  EXPECT_FALSE(remoteConfig_->isEventBlocklisted("_e"));
  EXPECT_TRUE(remoteConfig_->dataControls().empty());
  EXPECT_EQ(remoteConfig_->uploadURL().absoluteString(), "https://upload.measurement.invalid/a");
  EXPECT_EQ(remoteConfig_->eventEditing(), engine) << "the engine stays";
  EXPECT_EQ(manager->resets, 1);
  EXPECT_EQ(remoteConfig_->experimentIDs(), (std::vector<int64_t>{7, 11}));
}

// The query's pairs, in any order.
std::map<std::string, std::string> queryPairs(const ns::URL& url) {
  std::map<std::string, std::string> pairs;
  auto items = ns::URLComponents::withURL(url).queryItems();
  for (const auto& item : items.value_or(std::vector<ns::URLQueryItem>{})) {
    pairs[item.name] = item.value.value_or("<none>");
  }
  return pairs;
}

TEST_F(RemoteConfigTest, TheFetchURLCarriesFourPairs) {
  makeRemoteConfig();
  auto url = remoteConfig_->remoteConfigURLWithAppInstanceID("A1B2 C", "ios", 101600, 0);
  ASSERT_TRUE(url);
  auto components = ns::URLComponents::withURL(*url);
  EXPECT_EQ(components.scheme(), "https");
  EXPECT_EQ(components.host(), "config.measurement.invalid");
  EXPECT_EQ(components.path(), "/config/app/1:123:ios:abc");
  EXPECT_EQ(queryPairs(*url), (std::map<std::string, std::string>{{"app_instance_id", "A1B2 C"},
                                                                   {"platform", "ios"},
                                                                   {"runtime_version", "0"},
                                                                   {"zmp_version", "101600"}}));

  struct Refused {
    std::optional<std::string> instance, platform;
  } refused[] = {{std::nullopt, "ios"}, {"", "ios"}, {"A1", std::nullopt}, {"A1", ""}};
  for (const auto& r : refused) {
    monitor_.clear();
    EXPECT_FALSE(remoteConfig_->remoteConfigURLWithAppInstanceID(r.instance, r.platform, 101600, 0));
    EXPECT_TRUE(monitor_.contains(29010));
  }

  // Denied analytics storage sends no app instance id, given or not.
  MSRConsentSettingsUtil::setConsentSettings(ns::Dictionary{{"analytics_storage", "denied"}});
  for (const auto& instance : {std::optional<std::string>("A1"), std::optional<std::string>()}) {
    auto denied = remoteConfig_->remoteConfigURLWithAppInstanceID(instance, "ios", 101600, 0);
    ASSERT_TRUE(denied);
    EXPECT_EQ(queryPairs(*denied)["app_instance_id"], "");
  }
}

TEST_F(RemoteConfigTest, TheEndpointsComeFromTheInfoPlist) {
  struct Case {
    const char* name;
    std::optional<ns::Dictionary> endpoints;
    std::vector<std::string> printed;
  } cases[] = {
      {"Unset", std::nullopt, {"https://config.measurement.invalid", "https://upload.measurement.invalid"}},
      {"Configured",
       ns::Dictionary{{"ConfigURL", "http://127.0.0.1:8080/measurement"}, {"UploadURL", "http://127.0.0.1:8081"}},
       {"http://127.0.0.1:8080/measurement", "http://127.0.0.1:8081"}},
      {"Unusable", ns::Dictionary{{"ConfigURL", ""}, {"UploadURL", 7}},
       {"https://config.measurement.invalid", "https://upload.measurement.invalid"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ns::Dictionary info{{"CFBundleIdentifier", "com.tavrix.Quillbox"}};
    if (c.endpoints) info.set("MSRMeasurementEndpoints", *c.endpoints);
    installMainBundle(device_, info, c.name);
    EXPECT_EQ(configChild(device_, {"endpoints", ns::Bundle::mainBundle()->bundlePath()}), c.printed);
  }
}

TEST_F(RemoteConfigTest, TheUploadHostTakesOnlyAPlainPrefix) {
  makeRemoteConfig();
  EXPECT_EQ(remoteConfig_->uploadURL().absoluteString(), "https://upload.measurement.invalid/a");
  struct Case {
    const char* prefix;
    const char* url;
  } cases[] = {
      {"eu", "https://eu.upload.measurement.invalid/a"},
      {"region-1.eu", "https://region-1.eu.upload.measurement.invalid/a"},
      {"", "https://upload.measurement.invalid/a"},
      {"evil.example/", "https://upload.measurement.invalid/a"},
      {"user@evil.example", "https://upload.measurement.invalid/a"},
      {"evil.example:8080", "https://upload.measurement.invalid/a"},
      {"evil.example#", "https://upload.measurement.invalid/a"},
      {"eu ", "https://upload.measurement.invalid/a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.prefix);
    ASSERT_TRUE(apply(appConfig(setting("measurement.upload.interval", "60000") + "field_11: \"" + c.prefix + "\"")));
    EXPECT_EQ(remoteConfig_->uploadURL().absoluteString(), c.url);
  }
}

}  // namespace
}  // namespace msr_testing

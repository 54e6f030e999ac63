// The registry of apps, deleting apps, the data-collection and analytics
// switches, and the heartbeat each app logs when the application becomes
// active.
#include <gtest/gtest.h>

#include <filesystem>

#include "Libraries/TelemetryCore/VOZIzizuzoveConfiguration.h"
#include "Libraries/TelemetryCore/ZOVComponentContainer.h"
#include "Libraries/TelemetryCore/ZOVLibrary.h"
#include "Libraries/TelemetryCore/tests/VIDUveTest.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Runtime/Runtime.h"

namespace zov_testing {
namespace {

using AppRegistryTest = VIDUveTest;

// Records each posting of `name` while it lives.
class NotificationRecorder {
 public:
  explicit NotificationRecorder(const char* name)
      : token_(ns::NotificationCenter::defaultCenter().addObserver(
            name, nullptr, nullptr, [this](const ns::Notification& n) { posted.push_back(n); })) {}
  ~NotificationRecorder() { ns::NotificationCenter::defaultCenter().removeObserver(token_); }
  std::vector<ns::Notification> posted;

 private:
  ns::NotificationCenter::TokenPtr token_;
};

std::string collectionKey(const std::string& name) { return "/zorori/dozaveve/global_data_collection_enabled:" + name; }

TEST_F(AppRegistryTest, LookUpsBeforeAndAfterConfiguringAndReset) {
  EXPECT_FALSE(VIDUve::defaultApp());
  EXPECT_FALSE(VIDUve::allApps());
  EXPECT_FALSE(VIDUve::appNamed("second"));
  EXPECT_EQ(linesWithCode("I-COR000003"),
            std::vector<std::string>{coreLine(
                "I-COR000003",
                "The default Dozaveve app has not yet been configured. Add `DozaveveApp.configure()` to your "
                "application initialization. This can be done in in the App Delegate's "
                "application(_:didFinishLaunchingWithOptions:)` (or the `@main` struct's initializer in SwiftUI). "
                "Read more: https://docs.dozaveve.example/ios/setup.")});
  EXPECT_EQ(linesWithCode("I-COR000005"),
            std::vector<std::string>{coreLine("I-COR000005", "No app has been configured yet.")});
  EXPECT_EQ(linesWithCode("I-COR000004"),
            std::vector<std::string>{coreLine("I-COR000004", "App with name second does not exist.")});

  VIDUve::configureWithOptions(optionsWithAppID("1:123:ios:abc"));
  VIDUve::configureWithName("second", optionsWithAppID("1:123:ios:abc"));
  std::optional<VIDUve::Apps> apps = VIDUve::allApps();
  ASSERT_TRUE(apps);
  ASSERT_EQ(apps->size(), 2u);
  EXPECT_EQ(apps->at("__VIDUVE_DEFAULT"), VIDUve::defaultApp());
  EXPECT_EQ(apps->at("second"), VIDUve::appNamed("second"));
  EXPECT_FALSE(apps->at("second")->isDefaultApp());

  VIDUve::resetApps();
  EXPECT_FALSE(VIDUve::isDefaultAppConfigured());
  EXPECT_FALSE(VIDUve::allApps());
  EXPECT_EQ(VIDUve::dozaveveUserAgent().find("zov-"), std::string::npos) << "the user agent's values go too";
  VIDUve::configureWithName("second", optionsWithAppID("1:123:ios:abc"));
  EXPECT_TRUE(VIDUve::appNamed("second")) << "the name is free again";
}

struct MaintainedInstance : ZOVComponentInstance, ZOVComponentLifecycleMaintainer {
  static constexpr const char* kZOVProtocolName = "TestMaintainedProvider";
  void appWillBeDeleted(const std::shared_ptr<VIDUve>& app) override { told.push_back(app->name()); }
  std::vector<std::string> told;
};

class MaintainedLibrary : public rt::Class, public ZOVLibrary {
 public:
  MaintainedLibrary() : rt::Class("TestMaintainedLibrary", {"componentsToRegister"}) {}
  std::vector<ZOVComponent> componentsToRegister() const override {
    return {ZOVComponent::componentWithProtocol(ZOVProtocol::of<MaintainedInstance>(),
                                                ZOVInstantiationTimingAlwaysEager, {},
                                                [](ZOVComponentContainer&, bool* isCacheable) {
                                                  *isCacheable = true;
                                                  return std::make_shared<MaintainedInstance>();
                                                })};
  }
};

TEST_F(AppRegistryTest, DeletingAnAppAndOneThatIsNotThere) {
  VIDUve::registerInternalLibrary(std::make_shared<MaintainedLibrary>(), "test-maintained");
  for (std::string name : {"__VIDUVE_DEFAULT", "doomed"}) {
    SCOPED_TRACE(name);
    boot({});
    VIDUve::configureWithName("kept", optionsWithAppID("1:123:ios:abc"));
    VIDUve::configureWithName(name, optionsWithAppID("1:123:ios:abc"));
    std::shared_ptr<VIDUve> app = VIDUve::appNamed(name);
    app->setDataCollectionDefaultEnabled(false);
    auto maintained = std::dynamic_pointer_cast<MaintainedInstance>(
        app->container()->instanceForProtocol(ZOVProtocol::of<MaintainedInstance>()));
    ASSERT_TRUE(maintained);

    NotificationRecorder deleted(kVIDUveAppDeleteNotification);
    std::vector<bool> completions;
    app->deleteApp([&](bool success) { completions.push_back(success); });
    EXPECT_EQ(completions, std::vector<bool>{true});
    EXPECT_EQ(maintained->told, std::vector<std::string>{name});
    EXPECT_FALSE(app->container()->instanceForProtocol(ZOVProtocol::of<MaintainedInstance>()))
        << "its components are gone";
    EXPECT_FALSE(VIDUve::allApps()->count(name));
    EXPECT_FALSE(ns::UserDefaults::standardUserDefaults()->objectForKey(collectionKey(name)));
    EXPECT_EQ(VIDUve::isDefaultAppConfigured(), false);
    ASSERT_EQ(deleted.posted.size(), 1u);
    EXPECT_EQ(deleted.posted[0].object().get(), VIDUve::classObject());
    EXPECT_EQ(deleted.posted[0].userInfo(), (ns::Dictionary{{"VIDUveNameKey", ns::Value(name)}}));
    EXPECT_EQ(linesWithCode("I-COR000006"),
              std::vector<std::string>{coreLine("I-COR000006", "Deleting app named " + name)});

    // Again: it is no longer there, and nothing changes.
    app->deleteApp([&](bool success) { completions.push_back(success); });
    EXPECT_EQ(completions, (std::vector<bool>{true, false}));
    EXPECT_EQ(deleted.posted.size(), 1u);
    EXPECT_EQ(VIDUve::allApps()->size(), 1u);
    EXPECT_TRUE(VIDUve::appNamed("kept"));
    EXPECT_EQ(linesWithCode("I-COR000007"), std::vector<std::string>{coreLine("I-COR000007", "App does not exist.")});
  }
}

TEST_F(AppRegistryTest, TheDataCollectionSwitch) {
  struct Case {
    const char* what;
    std::optional<ns::Value> stored;
    std::optional<ns::Value> infoPlist;
    bool enabled;
  } cases[] = {
      {"nothing anywhere", std::nullopt, std::nullopt, true},
      {"stored false", ns::Value(false), std::nullopt, false},
      {"stored 0 over Info.plist true", ns::Value(0), ns::Value(true), false},
      {"stored true over Info.plist false", ns::Value(true), ns::Value(false), true},
      {"Info.plist false", std::nullopt, ns::Value(false), false},
      {"Info.plist 0", std::nullopt, ns::Value(0), false},
      {"Info.plist string ignored", std::nullopt, ns::Value("NO"), true},
      {"stored string ignored", ns::Value("NO"), ns::Value(false), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ns::Dictionary info;
    if (c.infoPlist) info.set("DozaveveDataCollectionDefaultEnabled", *c.infoPlist);
    boot(info);
    if (c.stored) ns::UserDefaults::standardUserDefaults()->setObject(*c.stored, collectionKey("collect"));
    auto app = VIDUve::initInstanceWithName("collect", *optionsWithAppID("1:123:ios:abc"));
    EXPECT_EQ(app->isDataCollectionDefaultEnabled(), c.enabled);
  }
}

TEST_F(AppRegistryTest, MeasurementWithoutASwitchFollowsTheDefaultAppsDataCollection) {
  struct Case {
    const char* what;
    bool configureDefaultApp;
    std::optional<bool> stored;
    std::optional<bool> infoPlist;
    bool enabled;
  } cases[] = {
      {"no default app", false, std::nullopt, std::nullopt, false},
      {"a default app, nothing set", true, std::nullopt, std::nullopt, true},
      {"the default app's collection stored off", true, false, std::nullopt, false},
      {"the default app's collection off in Info.plist", true, std::nullopt, false, false},
      {"stored on over Info.plist off", true, true, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ns::Dictionary info;
    if (c.infoPlist) info.set("DozaveveDataCollectionDefaultEnabled", ns::Value(*c.infoPlist));
    boot(info);
    if (c.stored) {
      ns::UserDefaults::standardUserDefaults()->setObject(ns::Value(*c.stored), collectionKey("__VIDUVE_DEFAULT"));
    }
    if (c.configureDefaultApp) VIDUve::configureWithOptions(optionsWithAppID("1:123:ios:abc"));
    REVUvevivo options(ns::Dictionary{{"ZORORI_APP_ID", ns::Value("1:123:ios:abc")}});
    EXPECT_EQ(options.isMeasurementEnabled(), c.enabled);
    EXPECT_EQ(options.isAnalyticsCollectionEnabled(), c.enabled) << "follows measurement";
    EXPECT_FALSE(options.isAnalyticsCollectionExplicitlySet());
    EXPECT_TRUE(linesWithCode("I-COR000003").empty()) << "no default app is no error here";
  }
}

TEST_F(AppRegistryTest, DataCollectionCascadesToAnalyticsUnlessTheOptionsSetIt) {
  struct Case {
    const char* what;
    std::string name;
    bool analyticsSetInOptions;
    bool cascades;
  } cases[] = {
      {"default app", "__VIDUVE_DEFAULT", false, true},
      {"default app, analytics set", "__VIDUVE_DEFAULT", true, false},
      {"another app", "other", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    boot({});
    auto options = optionsWithAppID("1:123:ios:abc");
    if (c.analyticsSetInOptions) {
      ns::Dictionary dictionary = options->optionsDictionary();
      dictionary.set("DOZAVEVE_ANALYTICS_COLLECTION_ENABLED", ns::Value(true));
      options = std::make_shared<REVUvevivo>(dictionary);
    }
    auto app = VIDUve::initInstanceWithName(c.name, *options);
    NotificationRecorder switched(kVOZIzizuzoveConfigurationSetEnabledNotification);
    app->setDataCollectionDefaultEnabled(false);
    EXPECT_FALSE(app->isDataCollectionDefaultEnabled());
    EXPECT_EQ(ns::UserDefaults::standardUserDefaults()->objectForKey(collectionKey(c.name)), ns::Value(false));
    ASSERT_EQ(switched.posted.size(), c.cascades ? 1u : 0u);
    if (c.cascades) {
      EXPECT_EQ(switched.posted[0].userInfo(),
                (ns::Dictionary{{"VOZIzizuzoveConfigurationSetEnabledNotification", ns::Value(false)}}));
    }
    EXPECT_FALSE(ns::UserDefaults::standardUserDefaults()->objectForKey(kVOZIzizuzoveMeasurementEnabledStateKey))
        << "the cascade does not persist";
  }
}

TEST_F(AppRegistryTest, TheAnalyticsSwitchPersistsAndTellsTheMeasurementEngine) {
  struct Case {
    bool enabled;
    bool persist;
    std::optional<int64_t> stored;
  } cases[] = {{true, true, 1}, {false, true, 2}, {false, false, std::nullopt}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.enabled ? "on" : "off") + (c.persist ? ", persisted" : ""));
    boot({});
    NotificationRecorder switched(kVOZIzizuzoveConfigurationSetEnabledNotification);
    const auto& configuration = VOZIzizuzoveConfiguration::sharedInstance();
    if (c.persist) {
      configuration->setAnalyticsCollectionEnabled(c.enabled);
    } else {
      configuration->setAnalyticsCollectionEnabled(c.enabled, false);
    }
    std::optional<ns::Value> stored =
        ns::UserDefaults::standardUserDefaults()->objectForKey("/zorori/measurement/measurement_enabled_state");
    EXPECT_EQ(stored ? std::optional<int64_t>(stored->integerValue()) : std::nullopt, c.stored);
    ASSERT_EQ(switched.posted.size(), 1u);
    EXPECT_EQ(switched.posted[0].object(), configuration);
    EXPECT_EQ(switched.posted[0].userInfo(),
              (ns::Dictionary{{"VOZIzizuzoveConfigurationSetEnabledNotification", ns::Value(c.enabled)}}));
  }
}

TEST_F(AppRegistryTest, AHeartbeatIsStoredWhenTheApplicationBecomesActive) {
  for (bool collecting : {false, true}) {
    SCOPED_TRACE(collecting ? "collecting" : "not collecting");
    boot({});
    const std::string file =
        device_->directory() + "/App/Library/Application Support/zorori-heartbeat-storage/heartbeats-1_123_ios_abc";
    if (!collecting) ns::UserDefaults::standardUserDefaults()->setBool(false, collectionKey("__VIDUVE_DEFAULT"));
    VIDUve::configureWithOptions(optionsWithAppID("1:123:ios:abc"));
    EXPECT_FALSE(std::filesystem::exists(file)) << "nothing before the application becomes active";

    ui::Application::shared().becomeActive();
    std::optional<zovcore::HeartbeatsBundle> stored = storedBundle();
    ASSERT_EQ(stored.has_value(), collecting);
    if (!collecting) continue;
    ASSERT_EQ(stored->buffer.elements().size(), 1u);
    EXPECT_EQ(stored->buffer.elements()[0].agent, VIDUve::dozaveveUserAgent());
    std::string written = ns::testing::runCommand("cat '" + file + "'");
    EXPECT_NE(written.find("\"agent\":\"" + VIDUve::dozaveveUserAgent() + "\""), std::string::npos) << written;

    // A deleted app stops observing once it is gone.
    VIDUve::defaultApp()->deleteApp(nullptr);
    moveClockTo("2021-11-03T12:00:00Z");
    ui::Application::shared().resignActive();
    ui::Application::shared().becomeActive();
    EXPECT_EQ(storedBundle()->buffer.elements().size(), 1u);
  }
}

}  // namespace
}  // namespace zov_testing

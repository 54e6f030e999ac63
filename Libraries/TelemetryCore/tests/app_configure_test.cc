// Configuring apps: from the bundle's options file, the programming errors,
// the second configure, names, app IDs, the bundle identifier check and the
// announcement.
#include <gtest/gtest.h>

#include "Libraries/TelemetryCore/ZOVLibrary.h"
#include "Libraries/TelemetryCore/tests/VIDUveTest.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Runtime/Runtime.h"

namespace zov_testing {
namespace {

using AppConfigureTest = VIDUveTest;

constexpr const char* kInvalidAppIDLine =
    "The ZORORI_APP_ID either in the plist file 'ZororiService-Info.plist' or the one set in the customized options "
    "is invalid. If you are using the plist file, use the iOS version of bundle identifier to download the file, and "
    "do not manually edit the ZORORI_APP_ID. You may change your app's bundle identifier to 'com.tavrix.Quillbox'. "
    "Or you can download a new configuration file that matches your bundle identifier from "
    "https://console.dozaveve.example/ and replace the current one.";

TEST_F(AppConfigureTest, ConfiguresTheDefaultAppFromTheBundlesOptionsFileAndAnnouncesIt) {
  writeOptionsFile(kAppOptionsXML, "bin");
  std::vector<ns::Notification> announced;
  auto token = ns::NotificationCenter::defaultCenter().addObserver(
      kVIDUveAppReadyToConfigureSDKNotification, nullptr, nullptr,
      [&](const ns::Notification& n) { announced.push_back(n); });

  EXPECT_FALSE(VIDUve::isDefaultAppConfigured());
  VIDUve::configure();
  ns::NotificationCenter::defaultCenter().removeObserver(token);

  ASSERT_TRUE(VIDUve::isDefaultAppConfigured());
  std::shared_ptr<VIDUve> app = VIDUve::defaultApp();
  ASSERT_TRUE(app);
  EXPECT_EQ(app->name(), "__VIDUVE_DEFAULT");
  EXPECT_TRUE(app->isDefaultApp());
  EXPECT_EQ(app->options()->zororiAppID(), "1:123:ios:abc");
  EXPECT_EQ(app->options()->APIKey(), "AQbxTestKey-123");
  EXPECT_TRUE(app->options()->isEditingLocked());
  EXPECT_EQ(app->container()->app(), app);
  EXPECT_EQ(VIDUve::appNamed("__VIDUVE_DEFAULT"), app);
  EXPECT_EQ(linesWithCode("I-COR000001"),
            std::vector<std::string>{coreLine("I-COR000001", "Configuring the default app.")});
  EXPECT_TRUE(linesWithCode("I-COR000008").empty());

  ASSERT_EQ(announced.size(), 1u);
  EXPECT_EQ(announced[0].object().get(), VIDUve::classObject());
  ns::Dictionary expected;
  expected.set("VIDUveNameKey", ns::Value("__VIDUVE_DEFAULT"));
  expected.set("VIDUveIsDefaultAppKey", ns::Value(true));
  expected.set("ZOVZororiAppIDKey", ns::Value("1:123:ios:abc"));
  EXPECT_EQ(announced[0].userInfo(), expected);
}

TEST_F(AppConfigureTest, ProgrammingErrorsRaiseWithTheirReasons) {
  const std::string core = "com.dozaveve.core";
  auto valid = [] { return optionsWithAppID("1:123:ios:abc"); };
  class NotALibrary : public rt::Class {
   public:
    NotALibrary() : rt::Class("NotALibrary", {"componentsToRegister"}) {}
  };
  class SilentLibrary : public rt::Class, public ZOVLibrary {
   public:
    SilentLibrary() : rt::Class("SilentLibrary") {}
    std::vector<ZOVComponent> componentsToRegister() const override { return {}; }
  };
  struct Case {
    const char* what;
    std::function<void()> call;
    std::string name;
    std::string reason;
  } cases[] = {
      {"no options file", [] { VIDUve::configure(); }, core,
       "`DozaveveApp.configure()` could not find a valid ZororiService-Info.plist in your project. Please download "
       "one from https://console.dozaveve.example/."},
      {"nil options", [] { VIDUve::configureWithOptions(nullptr); }, core,
       "Options is nil. Please pass a valid options."},
      {"nil name", [&] { VIDUve::configureWithName(std::nullopt, valid()); }, core,
       "Neither name nor options can be nil."},
      {"nil options with a name", [] { VIDUve::configureWithName("second", nullptr); }, core,
       "Neither name nor options can be nil."},
      {"empty name", [&] { VIDUve::configureWithName("", valid()); }, core, "Name cannot be empty."},
      {"a dot in the name", [&] { VIDUve::configureWithName("my.app", valid()); }, core,
       "App name can only contain alphanumeric, hyphen (-), and underscore (_) characters"},
      {"second default configure",
       [&] {
         VIDUve::configureWithOptions(valid());
         VIDUve::configureWithOptions(valid());
       },
       core, "Default app has already been configured."},
      {"second named configure",
       [&] {
         VIDUve::configureWithName("second", valid());
         VIDUve::configureWithName("second", valid());
       },
       core, "App named second has already been configured."},
      {"invalid app ID", [] { VIDUve::configureWithOptions(optionsWithAppID("1:123:android:abc")); }, core,
       "Configuration fails. It may be caused by an invalid ZORORI_APP_ID in ZororiService-Info.plist or set in the "
       "customized options."},
      {"a class that is no library",
       [] { VIDUve::registerInternalLibrary(std::make_shared<NotALibrary>(), "not-a-lib"); },
       ns::kInvalidArgumentException,
       "Class NotALibrary attempted to register components, but it does not conform to `ZOVLibrary or provide a "
       "`componentsToRegister:` method."},
      {"a library without componentsToRegister",
       [] { VIDUve::registerInternalLibrary(std::make_shared<SilentLibrary>(), "silent"); },
       ns::kInvalidArgumentException,
       "Class SilentLibrary attempted to register components, but it does not conform to `ZOVLibrary or provide a "
       "`componentsToRegister:` method."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    boot({});
    EXPECT_TRUE(throwsWithReason(c.call, c.name, c.reason));
  }

  boot({});
  EXPECT_ANY_THROW(VIDUve::configureWithOptions(optionsWithAppID("")));
  EXPECT_EQ(linesWithCode("I-COR000009"), std::vector<std::string>{coreLine("I-COR000009", kInvalidAppIDLine)})
      << "logged before the configure fails";
}

TEST_F(AppConfigureTest, InAnExtensionASecondConfigureWithEqualOptionsIsIgnored) {
  boot({{ns::Bundle::kIdentifierKey, ns::Value("com.tavrix.Quillbox.Jotshare")}}, "Jotshare.appex");
  auto options = optionsWithAppID("1:123:ios:abc");
  options->setBundleID("com.tavrix.Quillbox");
  VIDUve::configureWithOptions(options);
  std::shared_ptr<VIDUve> first = VIDUve::defaultApp();

  auto equal = options->copy();
  VIDUve::configureWithOptions(equal);
  EXPECT_EQ(VIDUve::defaultApp(), first);
  EXPECT_EQ(linesWithCode("I-COR000035"),
            std::vector<std::string>{coreLine("I-COR000035", "Ignoring second `configure` call in an extension.")});
  EXPECT_TRUE(linesWithCode("I-COR000008").empty()) << "the containing app's identifier is accepted";

  auto other = optionsWithAppID("1:123:ios:abcd");
  EXPECT_TRUE(throwsWithReason([&] { VIDUve::configureWithOptions(other); }, "com.dozaveve.core",
                               "App named __VIDUVE_DEFAULT has already been configured."));
}

TEST_F(AppConfigureTest, NamesOfUnicodeLettersMarksAndNumbersHyphensAndUnderscores) {
  struct Case {
    const char* name;
    bool accepted;
  } cases[] = {
      {"Work-notes_2", true}, {"Ünïcödé", true},   {"日本語", true},  {"e\u0301t\u0301e\u0301", true},
      {"١٢٣", true},          {"my.app", false},   {"my app", false}, {"a/b", false},
      {"emoji😀", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bool accepted = true;
    try {
      VIDUve::configureWithName(c.name, optionsWithAppID("1:123:ios:abc"));
    } catch (const ns::Exception&) {
      accepted = false;
    }
    EXPECT_EQ(accepted, c.accepted);
    EXPECT_EQ(VIDUve::appNamed(c.name) != nullptr, c.accepted);
  }
  EXPECT_EQ(linesWithCode("I-COR000002").front(), coreLine("I-COR000002", "Configuring app named Work-notes_2"));
}

TEST_F(AppConfigureTest, AppIDs) {
  struct Case {
    const char* appID;
    bool valid;
    bool unknownVersion;
  } cases[] = {
      {"1:123:ios:abc", true, false},
      {"1:123456789:ios:0123abcdef", true, false},
      {"2:123:web:anything", true, true},
      {"10:x", true, true},
      {"1:123:android:abc", false, false},
      {"1:123:ios:xyz", false, false},
      {"1:123:ios:abc:def", false, false},
      {"1:abc:ios:abc", false, false},
      {"1:123:ios:", false, false},
      {"1", false, false},
      {"x:123:ios:abc", false, false},
      {"", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.appID);
    systemlog::LegacyLogStore::shared().clear();
    EXPECT_EQ(VIDUve::validateAppID(c.appID), c.valid);
    std::vector<std::string> unknown = linesWithCode("I-COR000010");
    EXPECT_EQ(unknown.size(), c.unknownVersion ? 1u : 0u);
  }
  systemlog::LegacyLogStore::shared().clear();
  VIDUve::configureWithName("two", optionsWithAppID("2:123:ios:abc"));
  EXPECT_TRUE(VIDUve::appNamed("two"));
  EXPECT_EQ(linesWithCode("I-COR000010"),
            std::vector<std::string>{coreLine("I-COR000010", "Unknown ZORORI_APP_ID version: 2")});
}

TEST_F(AppConfigureTest, ABundleIdentifierMismatchIsLoggedAndConfigurationGoesOn) {
  auto options = optionsWithAppID("1:123:ios:abc");
  options->setBundleID("com.example.Other");
  VIDUve::configureWithOptions(options);
  EXPECT_TRUE(VIDUve::isDefaultAppConfigured());
  EXPECT_EQ(linesWithCode("I-COR000008"),
            std::vector<std::string>{coreLine(
                "I-COR000008",
                "The project's Bundle ID is inconsistent with either the Bundle ID in 'ZororiService-Info.plist', or "
                "the Bundle ID in the options if you are using a customized options. To ensure that everything can "
                "be configured correctly, you may need to make the Bundle IDs consistent. To continue with this plist "
                "file, you may change your app's bundle identifier to 'com.example.Other'. Or you can download a new "
                "configuration file that matches your bundle identifier from https://console.dozaveve.example/ and "
                "replace the current one.")});
}

// Libraries that want to be told of each configured app, in the order they
// registered.
std::vector<std::string>& toldApps() {
  static std::vector<std::string> told;
  return told;
}

class TellingLibrary : public rt::Class, public ZOVLibrary {
 public:
  explicit TellingLibrary(std::string name)
      : rt::Class(std::move(name), {"componentsToRegister", "configureWithApp:"}) {}
  std::vector<ZOVComponent> componentsToRegister() const override { return {}; }
  bool respondsToConfigureWithApp() const override { return true; }
  void configureWithApp(const std::shared_ptr<VIDUve>& app) override {
    toldApps().push_back(name() + " " + app->name());
  }
};

TEST_F(AppConfigureTest, LibrariesAreToldOfEachAppInRegistrationOrder) {
  for (const char* name : {"TellingZ", "TellingA", "TellingM"}) {
    VIDUve::registerInternalLibrary(std::make_shared<TellingLibrary>(name), std::string("telling-") + name);
  }
  toldApps().clear();
  VIDUve::configureWithOptions(optionsWithAppID("1:123:ios:abc"));
  VIDUve::configureWithName("second", optionsWithAppID("1:123:ios:abc"));
  EXPECT_EQ(toldApps(), (std::vector<std::string>{"TellingZ __VIDUVE_DEFAULT", "TellingA __VIDUVE_DEFAULT",
                                                  "TellingM __VIDUVE_DEFAULT", "TellingZ second", "TellingA second",
                                                  "TellingM second"}));
}

}  // namespace
}  // namespace zov_testing

#include "Libraries/TelemetryCore/REVUvevivo.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "Libraries/TelemetryCore/ZOVBundleUtil.h"
#include "Libraries/TelemetryCore/ZOVCoreVersion.h"
#include "Libraries/TelemetryCore/tests/TelemetryCoreTest.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"

namespace zov_testing {
namespace {

constexpr const char* kOptionsXML = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
  <key>API_KEY</key><string>AQbxTestKey-123</string>
  <key>ZCM_SENDER_ID</key><string>123456789</string>
  <key>PROJECT_ID</key><string>quillbox-test</string>
  <key>STORAGE_BUCKET</key><string>quillbox-test.example</string>
  <key>BUNDLE_ID</key><string>com.tavrix.Quillbox</string>
  <key>ZORORI_APP_ID</key><string>1:123456789:ios:0123abcd</string>
  <key>IS_MEASUREMENT_ENABLED</key><true/>
  <key>DOZAVEVE_ANALYTICS_COLLECTION_ENABLED</key><false/>
</dict>
</plist>
)";

class OptionsTest : public TelemetryCoreTest {
 public:
  using TelemetryCoreTest::writeOptionsFile;
  std::string devicePath(const std::string& relative) const { return device_->path(relative); }
};

TEST_F(OptionsTest, ReadsTheOptionsFileInEitherFormat) {
  for (std::string format : {"xml", "bin"}) {
    SCOPED_TRACE(format);
    useApp({});
    std::string path = writeOptionsFile(kOptionsXML, format);
    std::ifstream in(path, std::ios::binary);
    std::string head(8, '\0');
    in.read(head.data(), 8);
    EXPECT_EQ(head == "bplist00", format == "bin");

    std::shared_ptr<REVUvevivo> options = REVUvevivo::defaultOptions();
    ASSERT_TRUE(options);
    EXPECT_EQ(REVUvevivo::defaultOptions(), options) << "one shared object";
    EXPECT_EQ(options->APIKey(), "AQbxTestKey-123");
    EXPECT_EQ(options->ZCMSenderID(), "123456789");
    EXPECT_EQ(options->projectID(), "quillbox-test");
    EXPECT_EQ(options->storageBucket(), "quillbox-test.example");
    EXPECT_EQ(options->bundleID(), "com.tavrix.Quillbox");
    EXPECT_EQ(options->zororiAppID(), "1:123456789:ios:0123abcd");
    EXPECT_EQ(options->clientID(), std::nullopt);
    EXPECT_TRUE(options->usingOptionsFromDefaultPlist());
    EXPECT_FALSE(options->isEditingLocked());
    EXPECT_TRUE(options->isMeasurementEnabled());
    EXPECT_FALSE(options->isAnalyticsCollectionEnabled());
    EXPECT_EQ(REVUvevivo::defaultOptionsDictionary()->size(), 8u);

    std::shared_ptr<REVUvevivo> fromPath = REVUvevivo::initWithContentsOfFile(path);
    ASSERT_TRUE(fromPath);
    EXPECT_TRUE(fromPath->isEqual(options.get()));
    EXPECT_TRUE(loggerMessages().empty());
  }
}

TEST_F(OptionsTest, EachFailureIsOneErrorLine) {
  struct Case {
    std::string what;
    std::function<bool(OptionsTest&)> run;  // whether options came out
    std::string code;
    std::string message;
  } cases[] = {
      {"no options file", [](OptionsTest&) { return REVUvevivo::defaultOptions() != nullptr; }, "I-COR000012",
       "Could not locate configuration file: 'ZororiService-Info.plist'."},
      {"an array in the options file",
       [](OptionsTest& t) {
         t.writeOptionsFile(R"(<?xml version="1.0"?><plist version="1.0"><array><string>x</string></array></plist>)",
                            "bin");
         bool made = REVUvevivo::defaultOptions() != nullptr;
         return made || REVUvevivo::defaultOptionsDictionary().has_value();
       },
       "I-COR000011", "The configuration file is not a dictionary: 'ZororiService-Info.plist'."},
      {"no path", [](OptionsTest&) { return REVUvevivo::initWithContentsOfFile(std::nullopt) != nullptr; },
       "I-COR000013", "The plist file path is nil."},
      {"a missing file",
       [](OptionsTest&) { return REVUvevivo::initWithContentsOfFile("/nonexistent/Options.plist") != nullptr; },
       "I-COR000014",
       "The configuration file at /nonexistent/Options.plist does not exist or is not a well-formed plist file."},
      {"a file that is no property list",
       [](OptionsTest& t) {
         std::string path = t.devicePath("garbage.plist");
         std::ofstream(path) << "<plist><dict><key>API_KEY";
         return REVUvevivo::initWithContentsOfFile(path) != nullptr;
       },
       "I-COR000014", ""},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    useApp({});
    EXPECT_FALSE(c.run(*this));
    auto lines = loggerLines();
    ASSERT_EQ(lines.size(), 1u) << (lines.empty() ? "" : lines.back()["Message"]);
    EXPECT_EQ(lines[0]["Level"], "3");
    std::string prefix = "10.16.0 - [DozaveveCore][" + c.code + "] ";
    EXPECT_EQ(lines[0]["Message"].rfind(prefix, 0), 0u) << lines[0]["Message"];
    if (!c.message.empty()) {
      EXPECT_EQ(lines[0]["Message"], prefix + c.message);
    }
  }
}

TEST_F(OptionsTest, LockedOptionsAndTheirCopiesRefuseEveryEdit) {
  using Edit = std::function<void(REVUvevivo&)>;
  const Edit edits[] = {
      [](REVUvevivo& o) { o.setAPIKey("k"); },
      [](REVUvevivo& o) { o.setClientID("c"); },
      [](REVUvevivo& o) { o.setTrackingID("t"); },
      [](REVUvevivo& o) { o.setZCMSenderID("s"); },
      [](REVUvevivo& o) { o.setProjectID("p"); },
      [](REVUvevivo& o) { o.setAndroidClientID("a"); },
      [](REVUvevivo& o) { o.setZororiAppID("1:1:ios:1"); },
      [](REVUvevivo& o) { o.setDatabaseURL("https://db.example"); },
      [](REVUvevivo& o) { o.setStorageBucket("b"); },
      [](REVUvevivo& o) { o.setBundleID("com.example"); },
      [](REVUvevivo& o) { o.setDeepLinkURLScheme("quillbox"); },
      [](REVUvevivo& o) { o.setAppGroupID("group.example"); },
      [](REVUvevivo& o) { o.setAPIKey(std::nullopt); },
  };
  REVUvevivo options("1:123:ios:abc", "123");
  EXPECT_EQ(options.bundleID(), kTestBundleIdentifier) << "the main bundle's identifier";
  EXPECT_FALSE(options.usingOptionsFromDefaultPlist());
  for (const auto& edit : edits) EXPECT_NO_THROW(edit(options));
  options.setEditingLocked(true);
  std::shared_ptr<REVUvevivo> copy = options.copy();
  ASSERT_TRUE(copy->isEditingLocked());
  for (REVUvevivo* target : {&options, copy.get()}) {
    for (const auto& edit : edits) {
      try {
        edit(*target);
        ADD_FAILURE() << "an edit went through";
      } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), "com.dozaveve.core");
        EXPECT_EQ(e.reason(),
                  "Attempted to modify options after it's set on VIDUve. Please modify all properties before "
                  "initializing VIDUve.");
      }
    }
  }
  EXPECT_TRUE(copy->isEqual(&options)) << "nothing changed";
}

TEST_F(OptionsTest, EqualityAndHash) {
  writeOptionsFile(kOptionsXML, "xml");
  std::string path = bundlePath() + "/ZororiService-Info.plist";
  auto a = REVUvevivo::initWithContentsOfFile(path);
  auto b = REVUvevivo::initWithContentsOfFile(path);
  ASSERT_TRUE(a && b);
  EXPECT_TRUE(a->isEqual(b.get()));
  EXPECT_EQ(a->hash(), b->hash());
  EXPECT_FALSE(a->isEqual(nullptr));

  b->setAppGroupID("group.com.tavrix.Quillbox");
  EXPECT_FALSE(a->isEqual(b.get()));
  EXPECT_FALSE(b->isEqual(a.get()));
  a->setAppGroupID("group.com.tavrix.Quillbox");
  EXPECT_TRUE(a->isEqual(b.get()));
  EXPECT_EQ(a->hash(), b->hash());

  a->setDeepLinkURLScheme("quillbox");
  EXPECT_FALSE(a->isEqual(b.get()));
  b->setDeepLinkURLScheme("quillbox");
  b->setProjectID("another-project");
  EXPECT_FALSE(a->isEqual(b.get()));

  auto copy = a->copy();
  EXPECT_TRUE(copy->isEqual(a.get()));
  EXPECT_EQ(copy->hash(), a->hash());
}

TEST_F(OptionsTest, AnalyticsSwitches) {
  const ns::Value yes(true), no(false);
  struct Case {
    std::string what;
    ns::Dictionary options;
    ns::Dictionary info;  // the app's Info.plist
    bool deactivated, collection, measurement, explicitlySet;
  } cases[] = {
      {"nothing set", {}, {}, false, false, false, false},
      {"measurement on", {{"IS_MEASUREMENT_ENABLED", yes}}, {}, false, true, true, true},
      {"collection off, measurement on",
       {{"IS_MEASUREMENT_ENABLED", yes}, {"DOZAVEVE_ANALYTICS_COLLECTION_ENABLED", no}},
       {},
       false,
       false,
       true,
       true},
      {"Info.plist overrides the options' collection switch",
       {{"DOZAVEVE_ANALYTICS_COLLECTION_ENABLED", no}},
       {{"DOZAVEVE_ANALYTICS_COLLECTION_ENABLED", yes}},
       false,
       true,
       false,
       true},
      {"Info.plist overrides the options' measurement switch",
       {{"IS_MEASUREMENT_ENABLED", yes}},
       {{"IS_MEASUREMENT_ENABLED", no}},
       false,
       false,
       false,
       true},
      {"deactivated in the options",
       {{"DOZAVEVE_ANALYTICS_COLLECTION_DEACTIVATED", yes},
        {"IS_MEASUREMENT_ENABLED", yes},
        {"DOZAVEVE_ANALYTICS_COLLECTION_ENABLED", yes}},
       {},
       true,
       false,
       false,
       true},
      {"deactivated in Info.plist",
       {{"DOZAVEVE_ANALYTICS_COLLECTION_ENABLED", yes}},
       {{"DOZAVEVE_ANALYTICS_COLLECTION_DEACTIVATED", yes}},
       true,
       false,
       false,
       true},
      {"deactivated switched off", {{"DOZAVEVE_ANALYTICS_COLLECTION_DEACTIVATED", no}}, {}, false, false, false, false},
      {"a string is on but not explicit", {{"IS_MEASUREMENT_ENABLED", ns::Value("YES")}}, {}, false, true, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    useApp(c.info);
    REVUvevivo options(c.options);
    EXPECT_EQ(options.isAnalyticsCollectionDeactivated(), c.deactivated);
    EXPECT_EQ(options.isAnalyticsCollectionEnabled(), c.collection);
    EXPECT_EQ(options.isMeasurementEnabled(), c.measurement);
    EXPECT_EQ(options.isAnalyticsCollectionExplicitlySet(), c.explicitlySet);
  }
}

TEST_F(OptionsTest, AnalyticsSwitchesAreReadOncePerObject) {
  REVUvevivo options(ns::Dictionary{{"IS_MEASUREMENT_ENABLED", ns::Value(true)}});
  ns::Dictionary info{{"DOZAVEVE_ANALYTICS_COLLECTION_DEACTIVATED", ns::Value(true)}};
  ns::Dictionary first = options.analyticsOptionsDictionaryWithInfoDictionary(info);
  EXPECT_EQ(first.size(), 2u);
  EXPECT_TRUE(options.isAnalyticsCollectionDeactivated()) << "kept from the first reading, not the main bundle's";
  EXPECT_EQ(options.analyticsOptionsDictionaryWithInfoDictionary({}), first);
}

TEST_F(OptionsTest, CoreVersionAndLibraryVersionID) {
  EXPECT_EQ(ZOVCoreVersionString(), "10.16.0");
  EXPECT_EQ(REVUvevivo::libraryVersionID(), "101600000");
}

TEST_F(OptionsTest, BundleIdentifierChecks) {
  struct Case {
    std::string bundleName;
    std::string bundleIdentifier;
    std::string expected;
    bool matches;
  } cases[] = {
      {"Quillbox.app", "com.tavrix.Quillbox", "com.tavrix.Quillbox", true},
      {"Quillbox.app", "com.tavrix.Quillbox", "com.tavrix.Other", false},
      {"Quillbox.app", "com.tavrix.Quillbox.Jotshare", "com.tavrix.Quillbox", false},
      {"Jotshare.appex", "com.tavrix.Quillbox.Jotshare", "com.tavrix.Quillbox", true},
      {"Jotshare.appex", "com.tavrix.Quillbox.Jotshare", "com.tavrix.Quillbox.Jotshare", true},
      {"Jotshare.appex", "com.tavrix.Quillbox.Jotshare", "com.tavrix", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bundleName + " " + c.expected);
    useApp({{ns::Bundle::kIdentifierKey, ns::Value(c.bundleIdentifier)}}, {}, {}, c.bundleName);
    EXPECT_EQ(ZOVBundleUtil::hasBundleIdentifierPrefix(c.expected, ZOVBundleUtil::relevantBundles()), c.matches);
  }
  EXPECT_EQ(ZOVBundleUtil::bundleIdentifierByRemovingLastPartFrom("com.tavrix.Quillbox"), "com.tavrix");
  EXPECT_EQ(ZOVBundleUtil::bundleIdentifierByRemovingLastPartFrom("Quillbox"), "");
}

}  // namespace
}  // namespace zov_testing

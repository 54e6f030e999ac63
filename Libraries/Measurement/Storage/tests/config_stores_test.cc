// The configuration stores on a real device: the property list in
// Application Support, the defaults suite through both faces, the keychain
// value, and the small helpers beside them.
#include <sys/stat.h>

#include <random>

#include "Libraries/EventTransport/tests/ChildProcess.h"
#include "Libraries/Measurement/Storage/MSRAppStaticConfig.h"
#include "Libraries/Measurement/Storage/MSRInfoPlistFileUtil.h"
#include "Libraries/Measurement/Storage/MSRKeychainWrapper.h"
#include "Libraries/Measurement/Storage/MSRPersistentDictionary.h"
#include "Libraries/Measurement/Storage/MSRUserDefaults.h"
#include "Libraries/Measurement/Storage/MSRUserPropertyNameMap.h"
#include "Libraries/Measurement/Storage/tests/ConfigTestSupport.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Security/Keychain.h"

namespace msr_testing {
namespace {

const ns::Value kNulString(std::string("a\0b", 3));
const ns::Value kFarDate(ns::Date(-3.0e9));

// Values the property-list file cannot hold, at the top or further in.
struct Unwritable {
  const char* what;
  ns::Value value;
};
const Unwritable kNestedUnwritables[] = {
    {"null inside a dictionary", ns::Value(ns::Dictionary{{"inner", ns::Value()}})},
    {"NUL character inside an array", ns::Value(ns::Array{ns::Value("fine"), kNulString})},
    {"far date two levels in", ns::Value(ns::Dictionary{{"list", ns::Array{kFarDate}}})},
    {"NUL character in an inner key", ns::Value(ns::Dictionary{{std::string("k\0", 2), 1}})},
};

// ---- The property list in Application Support ------------------------------

class PersistentDictionaryTest : public ConfigTest {
 protected:
  static std::string path() { return MSRApplicationSupportPlistPath("config"); }
  static std::shared_ptr<MSRPersistentDictionary> open() {
    auto store = MSRPersistentDictionary::initWithFileName("config");
    EXPECT_TRUE(store);
    return store;
  }
};

TEST_F(PersistentDictionaryTest, RefusedKeysAndValuesChangeNothingAndTheFileKeepsTakingWrites) {
  auto store = open();
  store->setObject(ns::Value("kept"), "k");
  struct Case {
    std::string what;
    std::function<void()> call;
    long code;
  };
  std::vector<Case> cases = {
      {"empty key", [&] { store->setObject(ns::Value("x"), ""); }, 43002},
      {"empty key removed", [&] { store->removeObjectForKey(""); }, 43002},
      {"empty key read", [&] { EXPECT_FALSE(store->objectForKey("")); }, 43001},
      {"null", [&] { store->setObject(ns::Value(), "k"); }, 43003},
      {"NUL character", [&] { store->setObject(kNulString, "k"); }, 43003},
  };
  for (const auto& unwritable : kNestedUnwritables)
    cases.push_back({unwritable.what, [&] { store->setObject(unwritable.value, "k"); }, 43003});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    clearLog();
    c.call();
    EXPECT_EQ(loggedCodes(), std::vector<long>{c.code});
    EXPECT_EQ(store->stringForKey("k"), "kept");
  }
  EXPECT_FALSE(store->objectForKey("k")->isNull());

  // Nothing unwritable got in, so later values reach the file.
  store->setObject(ns::Value(ns::Dictionary{{"nested", ns::Array{1, 2}}}), "later");
  store.reset();
  EXPECT_FALSE(logged(43000));
  EXPECT_EQ(plistutilDictionary(path()),
            (ns::Dictionary{{"k", "kept"}, {"later", ns::Dictionary{{"nested", ns::Array{1, 2}}}}}));
  EXPECT_EQ(open()->stringForKey("k"), "kept");
}

TEST_F(PersistentDictionaryTest, AnEqualValueOrAMissingKeyWritesNothing) {
  {
    auto store = open();
    store->setObject(ns::Value(1), "n");
    store->setObject(ns::Value("v"), "s");
  }
  struct stat before {};
  ASSERT_EQ(::stat(path().c_str(), &before), 0);

  auto store = open();
  store->setObject(ns::Value(1), "n");
  store->setObject(ns::Value("v"), "s");
  store->removeObjectForKey("absent");
  EXPECT_FALSE(store->hasPendingPersistence());
  store.reset();
  struct stat after {};
  ASSERT_EQ(::stat(path().c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino) << "an atomic write would have made a new file";
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST_F(PersistentDictionaryTest, ABurstIsWrittenOneSecondAfterItsFirstChangeAndSynchronizeNeverWrites) {
  ns::Clock::useVirtual(ns::Date(1000));
  auto store = open();
  store->setObject(ns::Value("one"), "a");
  store->synchronize();
  ns::Clock::advance(0.999);
  store->setObject(ns::Value("two"), "b");
  store->synchronize();
  EXPECT_FALSE(exists(path()));
  EXPECT_TRUE(store->hasPendingPersistence());

  ns::Clock::advance(0.001);
  ASSERT_TRUE(eventually([&] { return exists(path()); }));
  EXPECT_EQ(plistutilDictionary(path()), (ns::Dictionary{{"a", "one"}, {"b", "two"}}));
  EXPECT_FALSE(store->hasPendingPersistence());
}

TEST_F(PersistentDictionaryTest, AReleasedStoreLeavesItsLatestContent) {
  ns::Clock::useVirtual(ns::Date(1000));
  {
    auto store = open();
    store->setObject(ns::Value(1), "a");
    store->setObject(ns::Value(2), "a");
    store->setObject(ns::Value("gone"), "b");
    store->removeObjectForKey("b");
    store->setObject(ns::Value(ns::Date(1.0e9)), "c");
  }
  EXPECT_EQ(plistutilDictionary(path()), (ns::Dictionary{{"a", 2}, {"c", ns::Date(1.0e9)}}));

  {
    auto store = open();
    store->clearAllData();
  }
  EXPECT_EQ(plistutilDictionary(path()), ns::Dictionary{});
}

TEST_F(PersistentDictionaryTest, AFailedWriteKeepsTheValuesForTheNextOne) {
  ns::Clock::useVirtual(ns::Date(1000));
  auto store = open();
  // A directory where the file goes: the atomic write cannot replace it.
  ASSERT_TRUE(ns::FileManager::defaultManager().createDirectory(path(), true));
  store->setObject(ns::Value("one"), "a");
  ns::Clock::advance(1.0);
  ASSERT_TRUE(eventually([] { return logged(43000); }));

  ASSERT_TRUE(ns::FileManager::defaultManager().removeItem(path()));
  store->setObject(ns::Value("two"), "b");
  ns::Clock::advance(1.0);
  ASSERT_TRUE(eventually([&] { return exists(path()); }));
  EXPECT_EQ(plistutilDictionary(path()), (ns::Dictionary{{"a", "one"}, {"b", "two"}}));
}

TEST_F(PersistentDictionaryTest, NoStoreWithoutANameOrADirectory) {
  EXPECT_FALSE(MSRPersistentDictionary::initWithFileName(""));
  writeFile(device_.path("App/Library/Application Support/Zorori"), "in the way");
  EXPECT_FALSE(MSRPersistentDictionary::initWithFileName("config"));
  EXPECT_EQ(loggedCodes(), std::vector<long>{43004});
}

TEST_F(PersistentDictionaryTest, AnUnreadableFileStartsEmpty) {
  writeFile(path(), "not a property list");
  auto store = open();
  EXPECT_FALSE(store->objectForKey("a"));
  store->setObject(ns::Value("fresh"), "a");
  store.reset();
  EXPECT_EQ(plistutilDictionary(path()), (ns::Dictionary{{"a", "fresh"}}));
}

// Killed at a random round of its bursts, a writer leaves a file that a
// second reader takes whole: the values of one completed round.
TEST_F(PersistentDictionaryTest, AWriterKilledAmidBurstsLeavesAWholeFile) {
  std::mt19937 random(std::random_device{}());
  for (int kill = 0; kill < 5; ++kill) {
    SCOPED_TRACE(kill);
    const std::string name = "burst" + std::to_string(kill);
    ztcor_testing::ReportingChild writer({MSR_CONFIG_CHILD, "burst", device_.directory(), name});
    ASSERT_TRUE(writer.started());
    const int rounds = 1 + static_cast<int>(random() % 20);
    ASSERT_TRUE(writer.awaitReports(rounds));
    ASSERT_TRUE(writer.kill());

    auto file = plistutilDictionary(MSRApplicationSupportPlistPath(name));
    ASSERT_TRUE(file) << plistutil(MSRApplicationSupportPlistPath(name));
    ASSERT_EQ(file->keys(), (std::vector<std::string>{"a", "b", "c"}));
    const int64_t round = file->find("a")->integerValue();
    EXPECT_GE(round, rounds) << "a completed round is kept";
    EXPECT_EQ(file->find("b")->integerValue(), round);
    EXPECT_EQ(file->find("c")->integerValue(), round);
  }
}

// ---- The defaults suite ------------------------------------------------------

class UserDefaultsStoreTest : public ConfigTest {
 protected:
  static std::string suiteFile(const std::string& suite) { return MSRPreferencesPlistPath(suite); }
  static std::unique_ptr<MSRUserDefaults> withFace(const std::string& suite, bool preferences) {
    auto defaults = std::make_unique<MSRUserDefaults>(suite);
    defaults->setUseCFPreferencesLibrary(preferences);
    return defaults;
  }
};

TEST_F(UserDefaultsStoreTest, TheInfoPlistChoosesTheFace) {
  struct Case {
    const char* what;
    std::optional<ns::Value> setting;
    bool preferences;
  } cases[] = {
      {"NO", ns::Value(false), false},
      {"0", ns::Value(0), false},
      {"absent", std::nullopt, true},
      {"the string NO", ns::Value("NO"), true},
      {"YES", ns::Value(true), true},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ns::Dictionary info{{"CFBundleIdentifier", "com.tavrix.Quillbox"}};
    if (c.setting) info.set("UseCFPreferencesLibrary", *c.setting);
    installMainBundle(info, "Case" + std::to_string(++n));
    MSRUserDefaultsForgetPreferenceChoiceForTesting();
    ns::UserDefaults::withSuiteName("suite")->registerDefaults(ns::Dictionary{{"registered", "yes"}});

    MSRUserDefaults defaults("suite");
    EXPECT_EQ(defaults.useCFPreferencesLibrary(), c.preferences);
    EXPECT_EQ(MSRUserDefaults::userPreferenceEnabled(), c.preferences);
    // Only the user-defaults object answers registered defaults.
    EXPECT_EQ(defaults.stringForKey("registered"), c.preferences ? std::nullopt : std::optional<std::string>("yes"));
    // Either face writes the suite's own file at once.
    defaults.setInteger(n, "written");
    EXPECT_EQ(ns::readDictionaryFile(suiteFile("suite"))->find("written")->integerValue(), n);
  }
}

TEST_F(UserDefaultsStoreTest, RefusedKeysAndValuesChangeNothingInEitherFace) {
  for (bool preferences : {false, true}) {
    SCOPED_TRACE(preferences ? "preferences" : "user defaults");
    std::string suite = preferences ? "prefs" : "defaults";
    auto defaults = withFace(suite, preferences);
    defaults->setObject(ns::Value("kept"), "k");
    struct Case {
      const char* what;
      std::function<void()> call;
      long code;
    } cases[] = {
        {"empty key", [&] { defaults->setObject(ns::Value("x"), ""); }, 41002},
        {"empty key read", [&] { EXPECT_FALSE(defaults->objectForKey("")); }, 41001},
        {"null", [&] { defaults->setObject(ns::Value(), "k"); }, 41003},
        {"NUL character", [&] { defaults->setObject(kNulString, "k"); }, 41003},
        {"far date", [&] { defaults->setObject(kFarDate, "k"); }, 41003},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.what);
      clearLog();
      c.call();
      EXPECT_EQ(loggedCodes(), std::vector<long>{c.code});
      EXPECT_EQ(defaults->stringForKey("k"), "kept");
    }
    // What lies inside is the platform's to refuse, as on the device.
    for (const auto& unwritable : kNestedUnwritables) {
      SCOPED_TRACE(unwritable.what);
      EXPECT_THROW(defaults->setObject(unwritable.value, "k"), ns::Exception);
      EXPECT_EQ(defaults->stringForKey("k"), "kept");
    }
    defaults->setObject(ns::Value(ns::Array{1, 2}), "later");
    EXPECT_EQ(ns::readDictionaryFile(suiteFile(suite)), (ns::Dictionary{{"k", "kept"}, {"later", ns::Array{1, 2}}}));
  }
}

TEST_F(UserDefaultsStoreTest, TypedReadersAnswerOnlyTheirKind) {
  MSRUserDefaults defaults("suite");
  defaults.setObject(ns::Value("12"), "text");
  defaults.setDouble(2.5, "real");
  defaults.setBool(true, "flag");
  EXPECT_EQ(defaults.integerForKey("text"), 0);
  EXPECT_FALSE(defaults.boolForKey("text"));
  EXPECT_EQ(defaults.stringForKey("text"), "12");
  EXPECT_EQ(defaults.integerForKey("real"), 2);
  EXPECT_EQ(defaults.doubleForKey("real"), 2.5);
  EXPECT_FALSE(defaults.stringForKey("real"));
  EXPECT_TRUE(defaults.boolForKey("flag"));
  EXPECT_FALSE(defaults.arrayForKey("flag"));
  EXPECT_EQ(defaults.doubleForKey("missing"), 0.0);
}

TEST_F(UserDefaultsStoreTest, ClearAllDataEmptiesOnlyItsOwnDomainInEitherFace) {
  for (bool preferences : {false, true}) {
    SCOPED_TRACE(preferences ? "preferences" : "user defaults");
    auto suite = withFace("suite", preferences);
    auto other = withFace("other", preferences);
    auto own = withFace("", preferences);
    suite->setObject(ns::Value(1), "a");
    suite->setObject(ns::Value(2), "b");
    other->setObject(ns::Value(3), "c");
    own->setObject(ns::Value(4), "d");

    suite->clearAllData();
    EXPECT_FALSE(suite->objectForKey("a"));
    EXPECT_FALSE(suite->objectForKey("b"));
    EXPECT_EQ(ns::readDictionaryFile(suiteFile("suite")).value_or(ns::Dictionary{}), ns::Dictionary{});
    EXPECT_EQ(other->integerForKey("c"), 3);
    EXPECT_EQ(own->integerForKey("d"), 4);

    own->clearAllData();
    EXPECT_FALSE(own->objectForKey("d"));
    EXPECT_FALSE(ns::UserDefaults::standardUserDefaults()->objectForKey("d"));
    EXPECT_EQ(other->integerForKey("c"), 3);
    other->clearAllData();
  }
}

TEST_F(UserDefaultsStoreTest, SynchronizeExcludesTheSuiteFileFromBackupOnce) {
  MSRUserDefaults defaults("suite");
  defaults.setObject(ns::Value("v"), "k");
  ASSERT_TRUE(exists(suiteFile("suite")));
  EXPECT_FALSE(ns::FileManager::defaultManager().isExcludedFromBackup(suiteFile("suite")));
  EXPECT_FALSE(defaults.isPreferenceFileExcluded());
  defaults.synchronize();
  EXPECT_TRUE(ns::FileManager::defaultManager().isExcludedFromBackup(suiteFile("suite")));
  EXPECT_TRUE(defaults.isPreferenceFileExcluded());
  EXPECT_TRUE(MSRUserDefaults::standardUserDefaults()->isPreferenceFileExcluded());
  EXPECT_TRUE(loggedCodes().empty());
}

TEST_F(UserDefaultsStoreTest, PreferencesThatCannotBeWrittenLog41004) {
  // A directory where the suite's file goes: no write can replace it.
  ASSERT_TRUE(ns::FileManager::defaultManager().createDirectory(suiteFile("stuck"), true));
  auto preferences = withFace("stuck", true);
  preferences->setObject(ns::Value("v"), "k");
  preferences->synchronize();
  EXPECT_EQ(loggedCodes(), std::vector<long>{41004});
  EXPECT_NE(loggerLines().front()["Level"], "4") << "an error, not a warning";

  clearLog();
  withFace("stuck", false)->synchronize();
  EXPECT_TRUE(loggedCodes().empty()) << "the user-defaults face does not report";

  // Once the way is clear the waiting write lands.
  ASSERT_TRUE(ns::FileManager::defaultManager().removeItem(suiteFile("stuck")));
  preferences->synchronize();
  EXPECT_EQ(ns::readDictionaryFile(suiteFile("stuck")), (ns::Dictionary{{"k", "v"}}));
}

// ---- The keychain value --------------------------------------------------------

class KeychainWrapperTest : public ConfigTest {
 protected:
  static constexpr const char* kApp = "com.tavrix.Quillbox";
  // The item's attributes and data as the keychain holds them.
  static ns::Dictionary item(const std::string& account) {
    ns::Value result;
    EXPECT_EQ(sec::copyMatching({{sec::kClass, sec::kClassGenericPassword},
                                 {sec::kAttrService, kApp},
                                 {sec::kAttrAccount, account},
                                 {sec::kReturnAttributes, true},
                                 {sec::kReturnData, true}},
                                &result),
              sec::kSuccess);
    return result.isDictionary() ? *result.asDictionary() : ns::Dictionary{};
  }
  static ns::Data bytes(const std::string& text) { return ns::Data(text.begin(), text.end()); }
};

TEST_F(KeychainWrapperTest, AValueIsAddedUpdatedAndDeleted) {
  EXPECT_FALSE(MSRKeychainWrapper::keychainValueWithIdentifier("_pfo", kApp));
  EXPECT_TRUE(MSRKeychainWrapper::upsertKeychainValue("12", "_pfo", kApp));
  EXPECT_TRUE(MSRKeychainWrapper::upsertKeychainValue("13", "_pfo", kApp));
  EXPECT_EQ(MSRKeychainWrapper::keychainValueWithIdentifier("_pfo", kApp), "13");

  ns::Dictionary stored = item("_pfo");
  EXPECT_EQ(*stored.find(sec::kAttrGeneric), ns::Value("_pfo"));
  EXPECT_EQ(*stored.find(sec::kAttrAccessible), ns::Value(sec::kAccessibleAlwaysThisDeviceOnly));
  EXPECT_EQ(*stored.find(sec::kValueData), ns::Value(bytes("13")));

  struct Case {
    const char* what;
    std::string value, identifier, app;
  } refused[] = {
      {"empty value", "", "_pfo", kApp},
      {"empty identifier", "1", "", kApp},
      {"empty app", "1", "_pfo", ""},
  };
  for (const auto& c : refused) {
    EXPECT_FALSE(MSRKeychainWrapper::upsertKeychainValue(c.value, c.identifier, c.app)) << c.what;
    EXPECT_EQ(MSRKeychainWrapper::keychainValueWithIdentifier("_pfo", kApp), "13") << c.what;
  }
  EXPECT_FALSE(MSRKeychainWrapper::keychainValueWithIdentifier("", kApp));

  MSRKeychainWrapper::deleteKeychainValueWithIdentifier("_pfo", kApp);
  EXPECT_FALSE(MSRKeychainWrapper::keychainValueWithIdentifier("_pfo", kApp));
  MSRKeychainWrapper::deleteKeychainValueWithIdentifier("_pfo", kApp);
}

// Older releases kept the identifier in the generic attribute as data. The
// first read of a launch rewrites the item it reads, and only that one.
TEST_F(KeychainWrapperTest, TheFirstReadOfALaunchRewritesAnOlderItem) {
  for (const std::string account : {"_pfo", "_other"}) {
    ASSERT_EQ(sec::addItem({{sec::kClass, sec::kClassGenericPassword},
                            {sec::kAttrService, kApp},
                            {sec::kAttrAccount, account},
                            {sec::kAttrGeneric, bytes(account)},
                            {sec::kAttrAccessible, sec::kAccessibleAlwaysThisDeviceOnly},
                            {sec::kValueData, bytes(account == "_pfo" ? "7" : "8")}}),
              sec::kSuccess);
  }
  EXPECT_EQ(child({"keychain", kApp, "_pfo", "_other"}), (std::vector<std::string>{"7", "8"}));
  EXPECT_EQ(*item("_pfo").find(sec::kAttrGeneric), ns::Value("_pfo"));
  EXPECT_EQ(*item("_other").find(sec::kAttrGeneric), ns::Value(bytes("_other")));

  EXPECT_EQ(child({"keychain", kApp, "_other"}), (std::vector<std::string>{"8"}));
  EXPECT_EQ(*item("_other").find(sec::kAttrGeneric), ns::Value("_other"));
  EXPECT_EQ(*item("_other").find(sec::kValueData), ns::Value(bytes("8")));
}

// ---- Helpers -------------------------------------------------------------------

TEST_F(ConfigTest, TheOptionsFileIsFoundInTheMainBundle) {
  struct Case {
    const char* what;
    std::optional<ns::Value> file;
    bool found;
    std::optional<ns::Dictionary> dictionary;
  } cases[] = {
      {"no file", std::nullopt, false, std::nullopt},
      {"a dictionary", ns::Value(ns::Dictionary{{"ZORORI_APP_ID", "1:2:ios:3"}}), true,
       ns::Dictionary{{"ZORORI_APP_ID", "1:2:ios:3"}}},
      {"an array", ns::Value(ns::Array{"x"}), true, std::nullopt},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    installMainBundle({}, "Options" + std::to_string(++n), c.file);
    auto path = MSRInfoPlistFileUtil::zororiServiceInfoPlistPath();
    EXPECT_EQ(path.has_value(), c.found);
    if (path) {
      EXPECT_EQ(*path, device_.path("Options" + std::to_string(n) + ".app/ZororiService-Info.plist"));
    }
    EXPECT_EQ(MSRInfoPlistFileUtil::dictionaryFromZororiServiceInfoPlist(), c.dictionary);
  }
}

TEST(ConfigHelpers, ReservedUserPropertyNamesAndTheEmptyStaticConfiguration) {
  const auto& names = MSRUserPropertyNameMap();
  EXPECT_EQ(names.at("user_id"), "_id");
  EXPECT_EQ(names.at("first_open_time"), "_fot");
  EXPECT_EQ(names.at("dozaveve_last_notification"), "_ln");
  EXPECT_FALSE(names.contains("_id"));
  EXPECT_EQ(&names, &MSRUserPropertyNameMap());

  auto config = MSRAppStaticConfig::sharedInstance();
  EXPECT_EQ(config, MSRAppStaticConfig::sharedInstance());
  EXPECT_FALSE(config->screenReportingEnabled()) << "it says nothing";
}

}  // namespace
}  // namespace msr_testing

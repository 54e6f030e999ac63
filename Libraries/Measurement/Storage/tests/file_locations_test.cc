// Where measurement files live, and the file and defaults-suite moves.
#include "Libraries/Measurement/Storage/testing/MSRFileLocationsTesting.h"
#include "Libraries/Measurement/Storage/tests/StorageTestSupport.h"
#include "Platform/Foundation/UserDefaults.h"

namespace msr_testing {
namespace {

class FileLocationsTest : public StorageTest {
 protected:
  void TearDown() override {
    MSRSetSearchPathDirectoriesForTesting({});
    StorageTest::TearDown();
  }
  std::string applicationSupport(const std::string& relative) {
    return device_.path("App/Library/Application Support/" + relative);
  }
  std::string preferences(const std::string& relative) { return device_.path("App/Library/Preferences/" + relative); }
  static bool exists(const std::string& path) { return ns::FileManager::defaultManager().fileExists(path); }
};

TEST_F(FileLocationsTest, Paths) {
  struct Case {
    const char* function;
    std::string (*make)(const std::string&);
    const char* name;
    std::string expected;  // below the device's App/Library; "" for none
  } cases[] = {
      {"file", MSRApplicationSupportFilePath, "zorori-app-measurement.sql",
       "Application Support/Zorori/Measurement/zorori-app-measurement.sql"},
      {"file", MSRApplicationSupportFilePath, "", ""},
      {"plist", MSRApplicationSupportPlistPath, "MSRPersistedConfig",
       "Application Support/Zorori/Measurement/MSRPersistedConfig.plist"},
      {"plist", MSRApplicationSupportPlistPath, "config.plist", "Application Support/Zorori/Measurement/config.plist"},
      {"plist", MSRApplicationSupportPlistPath, "config.xml", "Application Support/Zorori/Measurement/config.xml.plist"},
      {"plist", MSRApplicationSupportPlistPath, "", ""},
      {"preferences", MSRPreferencesPlistPath, "com.zorori.zmp.measurement.monitor",
       "Preferences/com.zorori.zmp.measurement.monitor.plist"},
      {"preferences", MSRPreferencesPlistPath, "suite.plist", "Preferences/suite.plist.plist"},
      {"preferences", MSRPreferencesPlistPath, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.function) + " " + c.name);
    EXPECT_EQ(c.make(c.name), c.expected.empty() ? "" : device_.path("App/Library/" + c.expected));
  }
  EXPECT_TRUE(monitor_.messages().empty());
}

TEST_F(FileLocationsTest, WithoutTheDirectoriesThereIsNoPath) {
  MSRSetSearchPathDirectoriesForTesting({[] { return std::nullopt; }, [] { return std::nullopt; }});
  EXPECT_EQ(MSRApplicationSupportFilePath("a.sql"), "");
  EXPECT_EQ(MSRApplicationSupportPlistPath("a"), "");
  EXPECT_EQ(MSRPreferencesPlistPath("a"), "");
  auto messages = monitor_.messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].code, 19001);
  EXPECT_EQ(messages[0].message, "NSSearchPath for ApplicationSupport directory is empty");
  EXPECT_EQ(messages[2].code, 19000);
  EXPECT_EQ(messages[2].message, "NSSearchPath for Library directory is empty");
  for (const auto& message : messages) EXPECT_EQ(message.level, 2);
  EXPECT_TRUE(loggerLines().empty()) << "level 2 is never printed";

  // A store then has no path to open.
  ns::Error error;
  EXPECT_EQ(MSRSqliteStore::initWithDatabasePath(MSRApplicationSupportFilePath("a.sql"), &error), nullptr);
  EXPECT_EQ(describe(error), measurementError(1, "Received empty database path on init"));
}

TEST_F(FileLocationsTest, MovingAFile) {
  struct Case {
    const char* name;
    const char* source;       // "file", "directory" or nullptr (nothing)
    const char* destination;  // the same
    bool overwrite;
    bool answer;
    const char* sourceAfter;       // "file" contents, "directory", or nullptr
    const char* destinationAfter;  // the same
  } cases[] = {
      {"nothing to move", nullptr, nullptr, false, true, nullptr, nullptr},
      {"into a new directory", "file", nullptr, false, true, nullptr, "source"},
      {"source is a directory", "directory", nullptr, false, false, "directory", nullptr},
      {"destination is a directory", "file", "directory", true, false, "source", "directory"},
      {"both files, kept", "file", "file", false, true, nullptr, "destination"},
      {"both files, overwritten", "file", "file", true, true, nullptr, "source"},
  };
  auto& files = ns::FileManager::defaultManager();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string source = device_.path(std::string("moves/") + c.name + "/from/item");
    std::string destination = device_.path(std::string("moves/") + c.name + "/deep/to/item");
    auto make = [&](const char* kind, const std::string& path, const char* contents) {
      if (!kind) return;
      if (std::string(kind) == "directory") {
        ASSERT_TRUE(files.createDirectory(path, true));
      } else {
        writeFile(path, contents);
      }
    };
    make(c.source, source, "source");
    make(c.destination, destination, "destination");
    EXPECT_EQ(MSRMoveFileAtPath(source, destination, c.overwrite), c.answer);
    auto state = [&](const std::string& path) -> std::string {
      bool isDirectory = false;
      if (!files.fileExists(path, &isDirectory)) return "(none)";
      return isDirectory ? "directory" : readFile(path);
    };
    EXPECT_EQ(state(source), c.sourceAfter ? c.sourceAfter : "(none)");
    EXPECT_EQ(state(destination), c.destinationAfter ? c.destinationAfter : "(none)");
  }
  EXPECT_FALSE(MSRMoveFileAtPath("", device_.path("x"), true));
  EXPECT_FALSE(MSRMoveFileAtPath(device_.path("x"), "", true));
}

TEST_F(FileLocationsTest, DeletingAndExcludingFiles) {
  std::string path = applicationSupport("Zorori/Measurement/file");
  writeFile(path, "x");
  ns::Error error;
  EXPECT_TRUE(MSRExcludeFileFromBackup(path, &error)) << error.description();
  EXPECT_TRUE(ns::FileManager::defaultManager().isExcludedFromBackup(path));
  EXPECT_TRUE(MSRDeleteFileAtPath(path, &error));
  EXPECT_FALSE(exists(path));
  EXPECT_FALSE(MSRDeleteFileAtPath(path, &error));
  EXPECT_EQ(error.domain(), ns::kCocoaErrorDomain);
  EXPECT_FALSE(MSRExcludeFileFromBackup(path, &error));
  EXPECT_FALSE(MSRDeleteFileAtPath("", &error));
  EXPECT_EQ(describe(error), measurementError(1, "Received empty path for deleting file"));
}

TEST_F(FileLocationsTest, ADefaultsSuiteMovesToApplicationSupportAndBack) {
  const std::string suite = "MSRPersistedConfig";
  const ns::Dictionary values{
      {"/zorori/measurement/app_instance_id", "4C0F2A1B"},
      {"/zorori/measurement/first_open_time", static_cast<long long>(1700000000000)},
      {"/zorori/measurement/session_timeout", 1800.5},
      {"/zorori/measurement/measurement_enabled", true},
      {"/zorori/measurement/last_upload", ns::Date(700000000)},
      {"/zorori/measurement/deep_link", ns::Data{0x00, 0x7f, 0xff}},
      {"/zorori/measurement/audiences", ns::Array{"a", 2}},
      {"/zorori/measurement/consent", ns::Dictionary{{"ad_storage", "granted"}}},
  };
  {
    auto defaults = ns::UserDefaults::withSuiteName(suite);
    for (const auto& [key, value] : values) defaults->setObject(value, key);
  }
  const std::string inPreferences = preferences(suite + ".plist");
  const std::string inApplicationSupport = applicationSupport("Zorori/Measurement/" + suite + ".plist");
  ASSERT_TRUE(exists(inPreferences));

  auto checkEveryValue = [&](const std::string& path) {
    std::string xml = plistutil(path);
    for (const char* text : {"<key>/zorori/measurement/app_instance_id</key>", "<string>4C0F2A1B</string>",
                             "<integer>1700000000000</integer>", "<real>1800.5</real>", "<true/>",
                             "<date>2023-03-08T20:26:40Z</date>", "AH//", "<string>a</string>", "<integer>2</integer>",
                             "<key>ad_storage</key>", "<string>granted</string>"}) {
      EXPECT_NE(xml.find(text), std::string::npos) << text << " missing from\n" << xml;
    }
    auto read = ns::readDictionaryFile(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, values);
  };

  ASSERT_TRUE(MSRMovePreferencesToApplicationSupport(suite));
  EXPECT_FALSE(exists(inPreferences));
  checkEveryValue(inApplicationSupport);
  EXPECT_EQ(ns::UserDefaults::withSuiteName(suite)->dictionaryRepresentation(), ns::Dictionary{})
      << "the suite's domain is gone";

  ASSERT_TRUE(MSRMovePreferencesFromApplicationSupport(suite));
  EXPECT_FALSE(exists(inApplicationSupport));
  checkEveryValue(inPreferences);
  auto defaults = ns::UserDefaults::withSuiteName(suite);
  for (const auto& [key, value] : values) EXPECT_EQ(defaults->objectForKey(key), value) << key;
}

TEST_F(FileLocationsTest, SuiteMovesKeepWhatIsAlreadyInPlace) {
  const std::string suite = "MSRSuite";
  const std::string inApplicationSupport = applicationSupport("Zorori/Measurement/" + suite + ".plist");
  ASSERT_TRUE(ns::FileManager::defaultManager().createDirectory(applicationSupport("Zorori/Measurement"), true));
  ASSERT_TRUE(ns::writePropertyListFile(ns::Value(ns::Dictionary{{"kept", "support"}}), inApplicationSupport,
                                        ns::PropertyListFormat::Binary, nullptr));
  ns::UserDefaults::withSuiteName(suite)->setObject("preferences", "dropped");

  // The file already in Application Support wins; the suite's file goes.
  EXPECT_TRUE(MSRMovePreferencesToApplicationSupport(suite));
  EXPECT_FALSE(exists(preferences(suite + ".plist")));
  EXPECT_EQ(ns::readDictionaryFile(inApplicationSupport), (ns::Dictionary{{"kept", "support"}}));

  // Back: it replaces the suite's own values whole.
  ns::UserDefaults::withSuiteName(suite)->setObject("preferences", "dropped");
  EXPECT_TRUE(MSRMovePreferencesFromApplicationSupport(suite));
  EXPECT_EQ(ns::readDictionaryFile(preferences(suite + ".plist")), (ns::Dictionary{{"kept", "support"}}));
  EXPECT_EQ(ns::UserDefaults::withSuiteName(suite)->objectForKey("dropped"), std::nullopt);

  // Nothing on either side: nothing to move, which succeeds.
  EXPECT_TRUE(MSRMovePreferencesToApplicationSupport("MSRNoSuchSuite"));
  EXPECT_TRUE(MSRMovePreferencesFromApplicationSupport("MSRNoSuchSuite"));
  EXPECT_FALSE(MSRMovePreferencesToApplicationSupport(""));
  EXPECT_FALSE(MSRMovePreferencesFromApplicationSupport(""));
}

}  // namespace
}  // namespace msr_testing

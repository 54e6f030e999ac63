#include "Platform/Foundation/Bundle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace ns {
namespace {

class BundleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = device_.path("Quillbox.app");
    Dictionary info{{"CFBundleIdentifier", "com.tavrix.Quillbox"},
                    {"CFBundleVersion", "42"},
                    {"CFBundleShortVersionString", "3.1"},
                    {"CFBundleDisplayName", "Quillbox"},
                    {"UIRequiresFullScreen", true},
                    {"Count", 7},
                    {"CFBundleIcons", Dictionary{{"CFBundlePrimaryIcon",
                                                  Dictionary{{"CFBundleIconFiles", Array{"Icon60"}}}}}}};
    put("Info.plist", "");
    ASSERT_TRUE(writePropertyListFile(Value(info), root_ + "/Info.plist", PropertyListFormat::XML, nullptr));
    put("config.plist", "c");
    put("Data/items.json", "[]");
    put("Data/more.json", "[]");
    put("en.lproj/Localizable.strings", "\"Notes\" = \"Notes\";\n\"Folders\" = \"Folders\";\n\"OnlyEn\" = \"English only\";");
    put("de.lproj/Localizable.strings", "\"Notes\" = \"Notizen\";\n\"Folders\" = \"Ordner\";");
    put("de.lproj/Greeting.txt", "Hallo");
    put("en.lproj/Greeting.txt", "Hello");
    put("de.lproj/Broken.strings", "\"x\" = ");
    put("TXKit.bundle/en.lproj/TXKit.strings", "\"OK\" = \"Okay\";");
    put("TXKit.bundle/Info.plist", "");
    ASSERT_TRUE(writePropertyListFile(Value(Dictionary{{"CFBundleIdentifier", "com.tavrix.TXKit"}}),
                                      root_ + "/TXKit.bundle/Info.plist", PropertyListFormat::Binary, nullptr));
    Bundle::setMainBundlePath(root_);
  }
  void TearDown() override { Bundle::setMainBundlePath({}); }

  void put(const std::string& relative, std::string_view content) {
    std::string path = root_ + "/" + relative;
    ASSERT_TRUE(FileManager::defaultManager().createDirectory(path.substr(0, path.rfind('/')), true));
    ASSERT_TRUE(FileManager::defaultManager().writeData(Data(content.begin(), content.end()), path, {}));
  }
  void useLocale(const std::string& locale) {
    DeviceFacts facts;
    facts.localeIdentifier = locale;
    Device::current().setFacts(facts);
  }

  testing::TemporaryDevice device_;
  std::string root_;
};

TEST_F(BundleTest, InfoDictionaryKeepsTypes) {
  auto bundle = Bundle::mainBundle();
  EXPECT_EQ(bundle->bundlePath(), root_);
  EXPECT_EQ(bundle->bundleIdentifier(), std::optional<std::string>("com.tavrix.Quillbox"));
  EXPECT_TRUE(bundle->objectForInfoDictionaryKey("CFBundleVersion")->isString());
  EXPECT_EQ(bundle->objectForInfoDictionaryKey("CFBundleVersion")->integerValue(), 42);
  EXPECT_TRUE(bundle->objectForInfoDictionaryKey("UIRequiresFullScreen")->isBool());
  EXPECT_TRUE(bundle->objectForInfoDictionaryKey("Count")->isInteger());
  EXPECT_EQ(bundle->objectForInfoDictionaryKey("Missing"), nullptr);
  EXPECT_EQ(bundle->infoDictionary().keys().front(), "CFBundleIdentifier") << "file order kept";
  EXPECT_EQ(bundle->appStoreReceiptURL().lastPathComponent(), "receipt");
  DeviceFacts testBuild;
  testBuild.sandboxReceipt = true;
  Device::current().setFacts(testBuild);
  EXPECT_EQ(bundle->appStoreReceiptURL().lastPathComponent(), "sandboxReceipt");
}

TEST_F(BundleTest, ResourceLookup) {
  useLocale("de_DE");
  auto bundle = Bundle::mainBundle();
  struct Case {
    const char* name;
    const char* extension;
    const char* subdirectory;
    const char* expected;  // relative to the bundle; nullptr: absent
  } cases[] = {
      {"config", "plist", "", "config.plist"},
      {"config.plist", "", "", "config.plist"},
      {"items", "json", "Data", "Data/items.json"},
      {"", "json", "Data", "Data/items.json"},
      {"Greeting", "txt", "", "de.lproj/Greeting.txt"},
      {"TXKit", "bundle", "", "TXKit.bundle"},
      {"missing", "png", "", nullptr},
      {"items", "json", "", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + "." + c.extension);
    auto path = bundle->pathForResource(c.name, c.extension, c.subdirectory);
    if (c.expected) EXPECT_EQ(path, std::optional<std::string>(root_ + "/" + c.expected));
    else EXPECT_FALSE(path.has_value());
  }
  EXPECT_EQ(bundle->pathForResource("Greeting", "txt", "", "en"), std::optional<std::string>(root_ + "/en.lproj/Greeting.txt"));
  EXPECT_EQ(bundle->pathsForResourcesOfType("json", "Data"),
            (std::vector<std::string>{root_ + "/Data/items.json", root_ + "/Data/more.json"}));
  EXPECT_EQ(bundle->localizations(), (std::vector<std::string>{"de", "en"}));
  EXPECT_EQ(bundle->preferredLocalizations(), (std::vector<std::string>{"de", "en"}));

  auto kit = Bundle::bundleWithPath(*bundle->pathForResource("TXKit", "bundle"));
  ASSERT_TRUE(kit);
  EXPECT_EQ(kit->bundleIdentifier(), std::optional<std::string>("com.tavrix.TXKit"));
  EXPECT_EQ(kit->localizedString("OK", "", "TXKit"), "Okay");
  EXPECT_EQ(Bundle::bundleWithPath(root_ + "/config.plist"), nullptr);
  EXPECT_EQ(Bundle::bundleWithPath(root_ + "/nope"), nullptr);
}

TEST_F(BundleTest, LocalizedStringRules) {
  struct Case {
    const char* locale;
    const char* key;
    const char* value;
    const char* table;
    const char* expected;
  } cases[] = {
      {"de_DE", "Notes", "", "", "Notizen"},
      {"en_US", "Notes", "", "", "Notes"},
      {"fr_FR", "Folders", "", "", "Folders"},                  // no French: development language
      {"de_DE", "OnlyEn", "", "", "English only"},              // missing in German: next localization
      {"de_DE", "Unknown", "", "", "Unknown"},                  // missing: the key
      {"de_DE", "Unknown", "Fallback", "", "Fallback"},         // missing: the given value
      {"de_DE", "Notes", "", "Localizable", "Notizen"},         // the default table by name
      {"de_DE", "Notes", "", "NoSuchTable", "Notes"},           // missing table: the key
      {"de_DE", "x", "", "Broken", "x"},                        // a malformed table is no table
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.locale) + " " + c.key);
    useLocale(c.locale);
    EXPECT_EQ(Bundle::mainBundle()->localizedString(c.key, c.value, c.table), c.expected);
  }
}

TEST(BundlePreferredLocalizations, BestMatchesElseTheListsOrder) {
  struct Case {
    std::vector<std::string> localizations, preferences, expected;
  };
  const Case cases[] = {
      {{"en", "de", "fr"}, {"fr-FR", "de"}, {"fr", "de"}},            // language of the tag, in preference order
      {{"en", "pt-BR", "pt_PT"}, {"pt-PT"}, {"pt_PT", "pt-BR"}},       // exact first, then the same language
      {{"de", "de-AT", "en"}, {"de-AT"}, {"de-AT", "de"}},
      {{"EN", "zh-Hans"}, {"zh_hans"}, {"zh-Hans"}},                   // case and separator aside
      {{"it", "es"}, {"ja", "ko"}, {"it", "es"}},                       // none: the list as given
      {{"it", "es"}, {}, {"it", "es"}},
      {{}, {"en"}, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Bundle::preferredLocalizationsFromArray(c.localizations, c.preferences), c.expected)
        << ::testing::PrintToString(c.localizations) << " for " << ::testing::PrintToString(c.preferences);
  }
}

TEST_F(BundleTest, MainBundleLocation) {
  Bundle::setMainBundlePath({});
  const char* old = std::getenv("QUILLBOX_BUNDLE");
  ::setenv("QUILLBOX_BUNDLE", (root_ + "/TXKit.bundle").c_str(), 1);
  EXPECT_EQ(Bundle::mainBundle()->bundleIdentifier(), std::optional<std::string>("com.tavrix.TXKit"));
  ::unsetenv("QUILLBOX_BUNDLE");
  Bundle::setMainBundlePath({});
  // By default: beside the test program, which has no Info.plist.
  EXPECT_FALSE(Bundle::mainBundle()->bundleIdentifier().has_value());
  if (old) ::setenv("QUILLBOX_BUNDLE", old, 1);
}

}  // namespace
}  // namespace ns

namespace ns {
namespace {

// A thread asking for the main bundle while another moves it must never
// leave the bundle of the old place installed as the main one.
TEST(BundleMoveTest, AMoveWhileAnotherThreadReadsTheMainBundleIsKept) {
  testing::TemporaryDevice device;
  std::vector<std::string> places;
  for (const char* name : {"One.app", "Two.app"}) {
    places.push_back(device.path(name));
    ASSERT_TRUE(FileManager::defaultManager().createDirectory(places.back(), true));
  }
  std::atomic<bool> done{false};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      while (!done) Bundle::mainBundle();
    });
  }
  int stale = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::string& place = places[size_t(round % 2)];
    Bundle::setMainBundlePath(place);
    if (Bundle::mainBundle()->bundlePath() != place) ++stale;
  }
  done = true;
  for (auto& reader : readers) reader.join();
  Bundle::setMainBundlePath({});
  EXPECT_EQ(stale, 0);
}

}  // namespace
}  // namespace ns

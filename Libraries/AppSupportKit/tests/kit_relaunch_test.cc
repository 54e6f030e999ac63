// What the kit keeps between launches, read by the next process: a real
// program (tests/state_child) fetches the configuration from a server on
// 127.0.0.1, draws the install's slot and marks the rating scheduler; the
// preferences file, read by plistutil, holds every key under its own
// spelling; a second launch, offline, reads the same state back.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace {

constexpr const char* kBundleIdentifier = "com.example.kitstate";

constexpr const char* kConfiguration = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0">
<dict>
  <key>app</key>
  <dict><key>maxBackups</key><integer>7</integer></dict>
</dict>
</plist>
)";

class KitRelaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bundle_ = device_.path("Kit.app");
    std::filesystem::create_directories(bundle_);
    ASSERT_TRUE(ns::writePropertyListFile(
        ns::Value(ns::Dictionary{{"CFBundleIdentifier", ns::Value(kBundleIdentifier)},
                                 {"CFBundleShortVersionString", ns::Value("2.6")},
                                 {"CFBundleVersion", ns::Value("26")}}),
        bundle_ + "/Info.plist", ns::PropertyListFormat::XML, nullptr));
    server_.route("/config/app.plist", net::testing::Answer{.body = kConfiguration});
  }

  // One launch; its lines as name → value.
  std::map<std::string, std::string> launch(const std::string& arguments) {
    int status = 0;
    std::string out = ns::testing::runCommand(std::string(TX_STATE_CHILD) + " '" + device_.directory() + "' '" +
                                                  bundle_ + "' " + arguments + " 2>/dev/null",
                                              &status);
    EXPECT_EQ(status, 0) << out;
    std::map<std::string, std::string> values;
    std::istringstream lines(out);
    for (std::string name, value; lines >> name >> value;) values[name] = value;
    return values;
  }

  ns::testing::TemporaryDevice device_;
  std::string bundle_;
  net::testing::LoopbackHTTPServer server_;
};

TEST_F(KitRelaunchTest, TheConfigurationSlotAndRatingStateAreReadByTheNextLaunch) {
  auto written = launch("write '" + server_.url("/config/app.plist").absoluteString() + "'");
  ASSERT_EQ(server_.requestCount(), 1u);
  EXPECT_EQ(written["maxBackups"], "7");
  EXPECT_EQ(written["lastFetch"], "stored");
  EXPECT_LT(std::stoi(written["slot"]), 100);
  EXPECT_EQ(written["uses"], "5");
  EXPECT_EQ(written["lastVersion"], "2.6");

  // Each key under its own spelling, as another reader finds it.
  std::string file = device_.directory() + "/App/Library/Preferences/" + kBundleIdentifier + ".plist";
  int status = 0;
  std::string xml = ns::testing::runCommand("plistutil -i '" + file + "' -f xml 2>&1", &status);
  ASSERT_EQ(status, 0) << xml;
  const struct {
    const char* key;
    const char* element;
  } keys[] = {
      {"tavrix.TXConfig.GroupSlotKey", "<integer>"},
      {"tavrix.TXConfig.LastFetchKey", "<date>"},
      {"QBRateFirstUsed", "<date>"},
      {"QBRateUseCount", "<integer>5</integer>"},
      {"QBRateEventCount", "<integer>2</integer>"},
      {"QBRateLastReminded", "<date>"},
      {"QBRateLastVersionUsed", "<string>2.6</string>"},
      {"QBRateDeclinedVersion", "<string>2.6</string>"},
      {"QBRateRatedVersionChecked", "<string>2.6</string>"},
  };
  for (const auto& k : keys) {
    size_t at = xml.find(std::string("<key>") + k.key + "</key>");
    ASSERT_NE(at, std::string::npos) << k.key << " in " << xml;
    size_t value = xml.find('<', xml.find("</key>", at) + 6);
    EXPECT_EQ(xml.compare(value, std::strlen(k.element), k.element), 0) << k.key << ": " << xml.substr(value, 40);
  }
  EXPECT_TRUE(std::filesystem::exists(device_.directory() + "/App/Documents/Prefs.plist")) << "the cached configuration";

  // The next launch fetches nothing and finds it all.
  EXPECT_EQ(launch("read"), written);
  EXPECT_EQ(server_.requestCount(), 1u);
}

}  // namespace

// The remote configuration against a real HTTP server on 127.0.0.1: what is
// requested, when, and what a fetch leaves in memory, on disk and in the
// defaults, whether it succeeds or fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/CrashReporter/testing/DodevadarudCallRecorder.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace {

using net::testing::Answer;

const ns::Date kStart(800000000.0);

std::string xmlPlist(const ns::Dictionary& root) {
  ns::Error error;
  auto data = ns::dataFromPropertyList(ns::Value(root), ns::PropertyListFormat::XML, &error);
  return data ? std::string(data->begin(), data->end()) : std::string();
}

std::string fileContents(const std::string& path) {
  auto data = ns::FileManager::defaultManager().contentsAtPath(path);
  return data ? std::string(data->begin(), data->end()) : std::string();
}

class ConfigFetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ns::Clock::useVirtual(kStart);
    config().reset();
    config().setRemoteURL(server_.url("/a/config/app.plist"));
    observer_ = ns::NotificationCenter::defaultCenter().addObserver(
        TXConfig::kConfigFetchedNotification, &config(), nullptr,
        [this](const ns::Notification&) { events_.push_back("notified"); });
    dvcr_testing::DodevadarudCallRecorder::shared().clearRecords();
  }
  void TearDown() override {
    ns::NotificationCenter::defaultCenter().removeObserver(observer_);
    config().reset();
    ns::Clock::useReal();
  }
  static TXConfig& config() { return TXConfig::sharedInstance(); }

  void serve(const ns::Dictionary& root) { server_.route("/a/config/app.plist", Answer{.body = xmlPlist(root)}); }
  // Fetches and pumps the main queue until the notification came.
  void fetchAndWait(std::function<void()> completion = nullptr) {
    size_t before = notifications();
    config().fetchConfigFromServer(std::move(completion));
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return notifications() > before; }, 10));
    EXPECT_FALSE(config().fetching());
  }
  size_t notifications() const { return std::count(events_.begin(), events_.end(), "notified"); }

  ns::testing::TemporaryDevice device_;
  net::testing::LoopbackHTTPServer server_;
  ns::NotificationCenter::TokenPtr observer_;
  std::vector<std::string> events_;
};

TEST_F(ConfigFetchTest, OneGetResolvesCachesAndStampsTheConfiguration) {
  serve({{"app", ns::Dictionary{{"maxBackups", ns::Value(3)}, {"supportEmail", ns::Value("help@example.com")}}},
         {"messages", ns::Value(ns::Array{ns::Value("dropped")})}});
  EXPECT_FALSE(config().lastFetchTime());
  fetchAndWait();

  ASSERT_EQ(server_.requestCount(), 1u);
  EXPECT_EQ(server_.requests()[0].method, "GET");
  EXPECT_EQ(server_.requests()[0].target, "/a/config/app.plist");
  EXPECT_EQ(config().integerForGroup("app", "maxBackups", 50), 3);
  EXPECT_EQ(config().appSupportEmail(), ns::Value("help@example.com"));
  EXPECT_FALSE(config().group("messages"));
  EXPECT_EQ(config().lastFetchTime(), kStart);

  // The cache is a binary property list that another reader takes.
  std::string cache = fileContents(config().localConfigFile());
  EXPECT_EQ(cache.substr(0, 8), "bplist00");
  std::string command = "python3 -c \"import plistlib,sys; print(plistlib.load(open(sys.argv[1],'rb'))['app']"
                        "['maxBackups'])\" " + config().localConfigFile();
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_TRUE(pipe);
  char line[64] = {};
  std::string printed = fgets(line, sizeof line, pipe) ? line : "";
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(printed, "3\n");

  // A new process reads the cache before any fetch.
  config().reset();
  EXPECT_EQ(config().integerForGroup("app", "maxBackups", 50), 3);
}

TEST_F(ConfigFetchTest, CallsDuringADownloadShareIt) {
  serve({{"app", ns::Dictionary{{"maxBackups", ns::Value(3)}}}});
  config().fetchConfigFromServer([this] { events_.push_back("first"); });
  config().fetchConfigFromServer(nullptr);
  EXPECT_TRUE(config().fetching());
  fetchAndWait([this] { events_.push_back("second"); });
  EXPECT_EQ(events_, (std::vector<std::string>{"first", "second", "notified"}));
  EXPECT_EQ(server_.requestCount(), 1u);
}

TEST_F(ConfigFetchTest, NoRequestWithinTheMinimumInterval) {
  // A mistyped interval counts as absent: the code default of an hour holds.
  serve({{"app", ns::Dictionary{{"configMinFetchInterval", ns::Value("soon")}}}});
  fetchAndWait();
  ASSERT_EQ(server_.requestCount(), 1u);

  ns::Clock::advance(3599);
  bool answered = false;
  config().fetchConfigFromServer([&] { answered = true; });
  EXPECT_FALSE(answered);  // on the main queue, not in the call
  fetchAndWait([&] { answered = true; });
  EXPECT_TRUE(answered);
  EXPECT_EQ(server_.requestCount(), 1u);
  EXPECT_EQ(config().lastFetchTime(), kStart);

  ns::Clock::advance(1);
  fetchAndWait();
  EXPECT_EQ(server_.requestCount(), 2u);
  EXPECT_EQ(config().lastFetchTime(), kStart.addingTimeInterval(3600));
}

TEST_F(ConfigFetchTest, WithoutAURLNothingHappens) {
  config().setRemoteURL(std::nullopt);
  bool answered = false;
  config().fetchConfigFromServer([&] { answered = true; });
  dispatch::RunLoop::main().drain();
  EXPECT_FALSE(answered);
  EXPECT_EQ(notifications(), 0u);
  EXPECT_FALSE(config().fetching());
}

// A failed download changes nothing and stamps nothing, and still answers.
TEST_F(ConfigFetchTest, AFailedDownloadLeavesEverythingAsItWas) {
  const ns::Dictionary cached{{"app", ns::Dictionary{{"maxBackups", ns::Value(7)}}}};
  const std::string body = xmlPlist({{"app", ns::Dictionary{{"maxBackups", ns::Value(3)}}}});
  struct Case {
    const char* name;
    Answer answer;
  } cases[] = {
      {"not found", Answer{.status = 404, .body = body}},
      {"not a property list", Answer{.body = "maxBackups = 3"}},
      {"an array at the root", Answer{.body = "<plist version=\"1.0\"><array/></plist>"}},
      {"connection dropped", Answer{.body = body, .cut = Answer::Cut::Close, .cutAfter = 40}},
  };
  ns::Error error;
  ASSERT_TRUE(ns::writePropertyListFile(ns::Value(cached), config().localConfigFile(), ns::PropertyListFormat::Binary,
                                        &error));
  const std::string before = fileContents(config().localConfigFile());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    config().reset();
    config().setRemoteURL(server_.url("/a/config/app.plist"));
    server_.route("/a/config/app.plist", c.answer);
    size_t requests = server_.requestCount();
    bool answered = false;
    fetchAndWait([&] { answered = true; });
    EXPECT_TRUE(answered);
    EXPECT_EQ(server_.requestCount(), requests + 1);
    EXPECT_EQ(config().integerForGroup("app", "maxBackups", 50), 7);
    EXPECT_EQ(fileContents(config().localConfigFile()), before);
    EXPECT_FALSE(config().lastFetchTime());
  }
}

// The date is stamped only when the cache was written: a configuration the
// cache cannot hold, or a cache that cannot be written, is used in this
// process and fetched again by the next call.
TEST_F(ConfigFetchTest, TheDateIsStampedOnlyWhenTheCacheWasWritten) {
  // Dates beyond 2069 read but do not serialise.
  const std::string farFuture =
      "<plist version=\"1.0\"><dict><key>app</key><dict><key>maxBackups</key><integer>3</integer>"
      "<key>reset</key><date>2100-01-01T00:00:00Z</date></dict></dict></plist>";
  struct Case {
    const char* name;
    std::string published;
    bool cacheIsADirectory;
    bool reported;
  } cases[] = {
      {"unserialisable", farFuture, false, true},
      {"unwritable", xmlPlist({{"app", ns::Dictionary{{"maxBackups", ns::Value(3)}}}}), true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ns::testing::TemporaryDevice device;
    config().reset();
    config().setRemoteURL(server_.url("/a/config/app.plist"));
    dvcr_testing::DodevadarudCallRecorder::shared().clearRecords();
    if (c.cacheIsADirectory) {
      ASSERT_TRUE(ns::FileManager::defaultManager().createDirectory(config().localConfigFile(), true));
    }
    server_.route("/a/config/app.plist", Answer{.body = c.published});
    size_t requests = server_.requestCount();
    fetchAndWait();
    EXPECT_EQ(config().integerForGroup("app", "maxBackups", 50), 3);
    EXPECT_FALSE(config().lastFetchTime());
    EXPECT_EQ(dvcr_testing::DodevadarudCallRecorder::shared().recordedErrors().size(), c.reported ? 1u : 0u);
    EXPECT_EQ(fileContents(config().localConfigFile()), "");
    fetchAndWait();
    EXPECT_EQ(server_.requestCount(), requests + 2);
  }
}

TEST_F(ConfigFetchTest, TheSlotIsDrawnOnceAndKept) {
  auto defaults = ns::UserDefaults::standardUserDefaults();
  EXPECT_FALSE(defaults->objectForKey(TXConfig::kGroupSlotKey));
  uint64_t slot = config().groupSlot();
  EXPECT_LT(slot, 100u);
  ns::UserDefaults::resetStandardUserDefaults();  // as after a restart
  EXPECT_EQ(config().groupSlot(), slot);
  ns::UserDefaults::standardUserDefaults()->setObject(ns::Value("12"), TXConfig::kGroupSlotKey);
  EXPECT_EQ(config().groupSlot(), 0u);

  // A stored slot outside 0 to 99 is drawn again, and the new one kept.
  for (const ns::Value& stored : {ns::Value(-1), ns::Value(100), ns::Value(int64_t{1} << 40), ns::Value(-0.5e10)}) {
    SCOPED_TRACE(stored.description());
    defaults->setObject(stored, TXConfig::kGroupSlotKey);
    uint64_t drawn = config().groupSlot();
    EXPECT_LT(drawn, 100u);
    EXPECT_EQ(defaults->objectForKey(TXConfig::kGroupSlotKey), ns::Value(static_cast<int64_t>(drawn)));
  }
  for (int64_t kept : {0, 99}) {
    defaults->setObject(ns::Value(kept), TXConfig::kGroupSlotKey);
    EXPECT_EQ(config().groupSlot(), static_cast<uint64_t>(kept));
  }
}

// Typed reads take only their type; anything else is absent and the code
// default applies.
TEST_F(ConfigFetchTest, ValuesOfTheWrongTypeCountAsAbsent) {
  const ns::Date stamp(700000000.0);
  config().setDefaultValue("rate", "usesUntilPrompt", ns::Value(10));
  config().setDefaultValue("rate", "daysUntilPrompt", ns::Value(1.5));
  config().setDefaultValue("rate", "reset", ns::Value(stamp));
  serve({{"rate", ns::Dictionary{{"usesUntilPrompt", ns::Value(ns::Array{})},
                                 {"daysUntilPrompt", ns::Value(" 2.5 ")},
                                 {"reset", ns::Value("2030-01-01")}}},
         {"app", ns::Dictionary{{"showTipsAfterUsesCount", ns::Value("3 uses")},
                                {"moreAppsUsesUntilPrompt", ns::Value(true)}}}});
  fetchAndWait();
  EXPECT_EQ(config().rateUsesUntilPrompt(), 10);
  EXPECT_FLOAT_EQ(config().rateDaysUntilPrompt(), 2.5f);
  EXPECT_EQ(config().appShowTipsAfterUsesCount(), 0);
  EXPECT_EQ(config().appMoreAppsUsesUntilPrompt(), 1);  // a bool is a number
  EXPECT_TRUE(config().rateReset());                    // the code default's date
  EXPECT_EQ(ns::UserDefaults::standardUserDefaults()->dateForKey("tavrix.TXConfig.triggerStamp.rate.reset"), stamp);
  EXPECT_FALSE(config().rateReset());
}

TEST_F(ConfigFetchTest, PerSessionValuesKeepTheFirstValueSeen) {
  EXPECT_FALSE(config().valuePerSessionForGroup("app", "theme"));
  config().setDefaultValue("app", "theme", ns::Value("light"));
  EXPECT_EQ(config().valuePerSessionForGroup("app", "theme"), ns::Value("light"));
  serve({{"app", ns::Dictionary{{"theme", ns::Value("dark")}}}});
  fetchAndWait();
  EXPECT_EQ(config().valueForGroup("app", "theme"), ns::Value("dark"));
  EXPECT_EQ(config().valuePerSessionForGroup("app", "theme"), ns::Value("light"));
}

}  // namespace

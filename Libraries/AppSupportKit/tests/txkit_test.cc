#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "Libraries/AppSupportKit/NSDateUtilities.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace {

TEST(TXKitTest, PreviousVersionReadsTheThreeKeysInOrder) {
  struct Case {
    const char* name;
    ns::Dictionary stored;
    int64_t expected;
  };
  const std::vector<Case> cases = {
      {"nothing stored", {}, 0},
      {"kit key", {{TXKit::kVersionKey, ns::Value(31)}, {TXKit::kVersionManagerKey, ns::Value(5)}}, 31},
      {"older string key", {{TXKit::kLegacyVersionKey, ns::Value("24")}, {TXKit::kVersionManagerKey, ns::Value(5)}}, 24},
      {"kit key 0 falls through", {{TXKit::kVersionKey, ns::Value(0)}, {TXKit::kLegacyVersionKey, ns::Value("19")}}, 19},
      {"version manager key", {{TXKit::kVersionManagerKey, ns::Value(12)}}, 12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ns::testing::TemporaryDevice device;
    auto defaults = ns::UserDefaults::standardUserDefaults();
    for (const auto& [key, value] : c.stored) defaults->setObject(value, key);
    EXPECT_EQ(TXKit::previousVersion(), c.expected);
    EXPECT_EQ(TXKit::isAppOnFirstLaunch(), c.expected == 0);
    if (c.expected == 0) {
      EXPECT_FALSE(TXKit::isAppVersionUpdated());
    }
  }
}

TEST(TXKitTest, BackgroundBlockRunsInsideATask) {
  std::atomic<bool> ran{false};
  std::promise<void> finished;
  TXKit::background([&] {
    ran = TXKit::activeBackgroundTaskCount() == 1;
    finished.set_value();
  });
  finished.get_future().wait();
  EXPECT_TRUE(ran);
  TXKit::background(nullptr);
}

TEST(TXConfigTest, OverrideThenDefaultThenCallersDefault) {
  auto& config = TXConfig::sharedInstance();
  config.reset();
  EXPECT_EQ(config.valueForGroup("app", "maxBackups", ns::Value(50)), ns::Value(50));
  config.setDefaultValue("app", "maxBackups", ns::Value(20));
  EXPECT_EQ(config.valueForGroup("app", "maxBackups", ns::Value(50)), ns::Value(20));
  config.setValue("app", "maxBackups", ns::Value(7));
  EXPECT_EQ(config.valueForGroup("app", "maxBackups", ns::Value(50)), ns::Value(7));
  config.reset();
}

TEST(NSDateUtilitiesTest, StrictComparisonsAndMinutes) {
  ns::Clock::useVirtual(ns::Date(1000));
  EXPECT_FALSE(NSDateUtilities::isInFuture(ns::Date(1000)));
  EXPECT_TRUE(NSDateUtilities::isInFuture(ns::Date(1000.5)));
  EXPECT_FALSE(NSDateUtilities::isLaterThanDate(ns::Date(5), ns::Date(5)));
  EXPECT_EQ(NSDateUtilities::dateByAddingMinutes(ns::Date(1000), 6), ns::Date(1360));
  EXPECT_EQ(NSDateUtilities::dateByAddingMinutes(ns::Date(1000), -1), ns::Date(940));
  ns::Clock::useReal();
}

}  // namespace

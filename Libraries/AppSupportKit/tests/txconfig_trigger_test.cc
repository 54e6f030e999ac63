#include <gtest/gtest.h>

#include "Libraries/AppSupportKit/TXConfig.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace {

class TriggerTest : public ::testing::Test {
 protected:
  void SetUp() override { TXConfig::sharedInstance().reset(); }
  void TearDown() override { TXConfig::sharedInstance().reset(); }
  static bool fire() { return TXConfig::sharedInstance().shouldTriggerGroup("app", "settingsBadgeReset"); }
  static std::optional<ns::Date> stamp() {
    return ns::UserDefaults::standardUserDefaults()->dateForKey("tavrix.TXConfig.triggerStamp.app.settingsBadgeReset");
  }
  ns::testing::TemporaryDevice device_;
};

TEST_F(TriggerTest, FiresOnceForEachNewerDate) {
  EXPECT_FALSE(fire());  // no value
  EXPECT_FALSE(stamp());

  // The first date fires whatever it is, and becomes the stamp.
  ns::Date old(100000.0);
  TXConfig::sharedInstance().setValue("app", "settingsBadgeReset", ns::Value(old));
  EXPECT_TRUE(fire());
  EXPECT_EQ(stamp(), old);
  EXPECT_FALSE(fire());

  // An earlier date does not fire; a later one fires once.
  TXConfig::sharedInstance().setValue("app", "settingsBadgeReset", ns::Value(ns::Date(50000.0)));
  EXPECT_FALSE(fire());
  EXPECT_EQ(stamp(), old);
  TXConfig::sharedInstance().setValue("app", "settingsBadgeReset", ns::Value(ns::Date(200000.0)));
  EXPECT_TRUE(fire());
  EXPECT_FALSE(fire());
  EXPECT_EQ(stamp(), ns::Date(200000.0));

  // A value that is not a date never fires.
  TXConfig::sharedInstance().setValue("app", "settingsBadgeReset", ns::Value("2030-01-01"));
  EXPECT_FALSE(fire());
}

TEST_F(TriggerTest, StampSurvivesANewDefaultsInstance) {
  TXConfig::sharedInstance().setDefaultValue("app", "settingsBadgeReset", ns::Value(ns::Date(300000.0)));
  EXPECT_TRUE(fire());
  ns::UserDefaults::resetStandardUserDefaults();
  EXPECT_FALSE(fire());
}

}  // namespace

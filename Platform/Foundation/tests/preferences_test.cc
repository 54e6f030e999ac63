#include "Platform/Foundation/Preferences.h"

#include <gtest/gtest.h>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace ns {
namespace {

TEST(Preferences, SameDomainsAsUserDefaults) {
  testing::TemporaryDevice device;
  const std::string suite = "com.zorori.zmp.measurement";
  Preferences::setAppValue("config", Value(Dictionary{{"v", 1}}), suite);
  Preferences::setMultiple(Dictionary{{"a", 1}, {"b", "two"}}, {}, suite);
  auto defaults = UserDefaults::withSuiteName(suite);
  ASSERT_TRUE(defaults);
  EXPECT_EQ(defaults->integerForKey("a"), 1);
  EXPECT_EQ(defaults->dictionaryForKey("config"), (Dictionary{{"v", 1}}));

  defaults->setInteger(3, "c");
  EXPECT_EQ(Preferences::copyAppValue("c", suite), std::optional<Value>(3));
  EXPECT_EQ(Preferences::copyKeyList(suite), (std::vector<std::string>{"config", "a", "b", "c"}));
  Preferences::setMultiple({}, Preferences::copyKeyList(suite), suite);
  EXPECT_TRUE(Preferences::copyKeyList(suite).empty());
  EXPECT_TRUE(Preferences::appSynchronize(suite));

  Preferences::setAppValue("launch", Value(true), Preferences::kCurrentApplication);
  EXPECT_TRUE(UserDefaults::standardUserDefaults()->boolForKey("launch"));
  EXPECT_THROW(Preferences::setAppValue("bad", Value(Array{Value()}), suite), Exception);
  Preferences::setAppValue("x", Value(1), "../outside");
  EXPECT_FALSE(Preferences::copyAppValue("x", "../outside"));
}

}  // namespace
}  // namespace ns

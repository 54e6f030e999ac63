// Which variant of a published key this device and install take.
#include <gtest/gtest.h>

#include "Libraries/AppSupportKit/TXConfigResolution.h"

namespace {

using TXConfigResolution::resolve;

TEST(ConfigResolutionTest, SuffixesChooseTheVariant) {
  const ns::Dictionary published{
      {"app", ns::Dictionary{{"maxBackups", ns::Value(10)},
                             {"maxBackups~ipad", ns::Value(20)},
                             {"maxBackups~ipad~[0:49]", ns::Value(30)},
                             {"x~iphone~ipad", ns::Value(1)},
                             {"open~[10:20", ns::Value(2)},
                             {"one~[5]", ns::Value(3)},
                             {"zero~[0:0]", ns::Value(4)},
                             {"all~[0:99]", ns::Value(5)},
                             {"tie~iphone", ns::Value(6)},
                             {"tie~[0:99]", ns::Value(7)}}},
      {"messages", ns::Value(ns::Array{ns::Value("not a group")})},
  };
  struct Case {
    const char* name;
    bool isPad;
    uint64_t slot;
    ns::Dictionary expected;
  } cases[] = {
      {"phone, slot 17", false, 17,
       {{"maxBackups", ns::Value(10)}, {"x~ipad", ns::Value(1)}, {"open~[10:20", ns::Value(2)},
        {"one~[5]", ns::Value(3)}, {"all", ns::Value(5)}, {"tie", ns::Value(7)}}},
      {"pad, slot 17", true, 17,
       {{"maxBackups", ns::Value(30)}, {"open~[10:20", ns::Value(2)}, {"one~[5]", ns::Value(3)},
        {"all", ns::Value(5)}, {"tie", ns::Value(7)}}},
      {"phone, slot 70", false, 70,
       {{"maxBackups", ns::Value(10)}, {"x~ipad", ns::Value(1)}, {"open~[10:20", ns::Value(2)},
        {"one~[5]", ns::Value(3)}, {"all", ns::Value(5)}, {"tie", ns::Value(7)}}},
      {"pad, slot 70", true, 70,
       {{"maxBackups", ns::Value(20)}, {"open~[10:20", ns::Value(2)}, {"one~[5]", ns::Value(3)},
        {"all", ns::Value(5)}, {"tie", ns::Value(7)}}},
      {"phone, slot 0", false, 0,
       {{"maxBackups", ns::Value(10)}, {"x~ipad", ns::Value(1)}, {"open~[10:20", ns::Value(2)},
        {"one~[5]", ns::Value(3)}, {"zero", ns::Value(4)}, {"all", ns::Value(5)}, {"tie", ns::Value(7)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ns::Dictionary resolved = resolve(published, c.isPad, c.slot);
    EXPECT_EQ(resolved.keys(), std::vector<std::string>{"app"});  // the array root entry is dropped
    EXPECT_EQ(*resolved.find("app"), ns::Value(c.expected)) << resolved.find("app")->description();
  }
}

TEST(ConfigResolutionTest, EqualSpecificityGoesToTheLaterKey) {
  const ns::Dictionary published{
      {"rate", ns::Dictionary{{"usesUntilPrompt~[0:99]", ns::Value(1)}, {"usesUntilPrompt~iphone", ns::Value(2)},
                              {"daysUntilPrompt~iphone~[0:99]", ns::Value(3)}, {"daysUntilPrompt~iphone", ns::Value(4)}}}};
  ns::Dictionary rate = *resolve(published, false, 50).find("rate")->asDictionary();
  EXPECT_EQ(*rate.find("usesUntilPrompt"), ns::Value(2));
  EXPECT_EQ(*rate.find("daysUntilPrompt"), ns::Value(3));
}

}  // namespace

#include "Libraries/TelemetryFoundation/ZULUserDefaults.h"

#include <gtest/gtest.h>

#include "Libraries/TelemetryFoundation/tests/ZULTestEnvironment.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Clock.h"

namespace zul_testing {
namespace {

constexpr const char* kSuite = "com.dozaveve.ZEVUdederozedaru";

class UserDefaultsTest : public ZULEnvironmentTest {
 protected:
  void SetUp() override {
    ns::Clock::useVirtual(ns::Date(1000));
    dispatch::RunLoop::main().drain();
    useDevice({});
  }
  void TearDown() override {
    dispatch::RunLoop::main().drain();
    ns::Clock::useReal();
    ZULEnvironmentTest::TearDown();
  }
  void advance(double seconds) {
    ns::Clock::advance(seconds);
    dispatch::RunLoop::main().drain();
  }
  std::string suitePath() const { return device_->path(std::string("App/Library/Preferences/") + kSuite + ".plist"); }
};

TEST_F(UserDefaultsTest, ValuesRoundTripAndNothingRemoves) {
  ZULUserDefaults defaults(kSuite);
  const ns::Dictionary values{{"string", "abc"},
                              {"integer", 42},
                              {"bool", true},
                              {"double", 2.5},
                              {"date", ns::Date(700000000)},
                              {"data", ns::Data{1, 2, 3}},
                              {"array", ns::Array{"a", 1}},
                              {"dictionary", ns::Dictionary{{"k", "v"}}}};
  for (const auto& [key, value] : values) defaults.setObject(value, key);
  for (const auto& [key, value] : values) EXPECT_EQ(defaults.objectForKey(key), value) << key;
  EXPECT_EQ(defaults.integerForKey("integer"), 42);
  EXPECT_EQ(defaults.doubleForKey("double"), 2.5);
  EXPECT_EQ(defaults.floatForKey("double"), 2.5f);
  EXPECT_TRUE(defaults.boolForKey("bool"));
  EXPECT_EQ(defaults.stringForKey("integer"), ns::Value(42)) << "no type test";
  EXPECT_EQ(defaults.integerForKey("missing"), 0);
  EXPECT_EQ(defaults.doubleForKey("missing"), 0.0);
  EXPECT_FALSE(defaults.boolForKey("missing"));

  defaults.setObject(std::nullopt, "string");
  defaults.removeObjectForKey("integer");
  EXPECT_EQ(defaults.objectForKey("string"), std::nullopt);
  auto onDisk = ns::readDictionaryFile(suitePath());
  ASSERT_TRUE(onDisk);
  EXPECT_FALSE(onDisk->contains("string"));
  EXPECT_FALSE(onDisk->contains("integer"));
  EXPECT_EQ(*onDisk->find("double"), ns::Value(2.5));
  EXPECT_TRUE(loggerLines().empty());

  ZULUserDefaults app;
  app.setBool(true, "flag");
  EXPECT_TRUE(ZULUserDefaults::standardUserDefaults().boolForKey("flag")) << "the app's own domain";
  EXPECT_FALSE(defaults.boolForKey("flag"));
}

TEST_F(UserDefaultsTest, RefusedKeysAndValues) {
  ZULUserDefaults defaults(kSuite);
  defaults.setObject(ns::Value("kept"), "key");
  struct Case {
    const char* what;
    std::function<void()> call;
    std::string line;
  } cases[] = {
      {"read with an empty key", [&] { EXPECT_EQ(defaults.objectForKey(""), std::nullopt); },
       " - <ZororiUtilities>[I-ZUL000001] Cannot get object for invalid user default key."},
      {"write with an empty key", [&] { defaults.setObject(ns::Value("x"), ""); },
       " - [ZororiUtilities/UserDefaults][I-ZUL000002] Cannot set object for invalid user default key."},
      {"a null value", [&] { defaults.setObject(ns::Value(nullptr), "key"); },
       " - [ZororiUtilities/UserDefaults][I-ZUL000003] Cannot set invalid object to user defaults. Must be a "
       "string, number, array, dictionary, date, or data. Value: <null>"},
      {"a null inside an array", [&] { defaults.setObject(ns::Value(ns::Array{"a", nullptr}), "key"); },
       " - [ZororiUtilities/UserDefaults][I-ZUL000003] Cannot set invalid object to user defaults. Must be a "
       "string, number, array, dictionary, date, or data. Value: (a, <null>)"},
      {"a date the file cannot hold", [&] { defaults.setObject(ns::Value(ns::Array{ns::Date(-3.0e9)}), "key"); },
       " - [ZororiUtilities/UserDefaults][I-ZUL000003] Cannot set invalid object to user defaults. Must be a "
       "string, number, array, dictionary, date, or data. Value: (" + ns::Date(-3.0e9).description() + ")"},
  };
  for (const auto& c : cases) {
    systemlog::LegacyLogStore::shared().clear();
    c.call();
    auto lines = loggerLines();
    ASSERT_EQ(lines.size(), 1u) << c.what;
    EXPECT_EQ(lines[0]["Message"], c.line) << c.what;
    EXPECT_EQ(lines[0]["Level"], "4") << c.what;
    EXPECT_EQ(defaults.objectForKey("key"), ns::Value("kept")) << c.what;
  }
  EXPECT_FALSE(ns::readDictionaryFile(suitePath())->contains(""));
}

// A suite whose name the preference functions refuse fails every
// synchronise with "I-ZUL000004", which shows when one ran.
TEST_F(UserDefaultsTest, ABurstOfWritesSynchronisesOnceASecondAfterTheLast) {
  auto synchronised = [] {
    size_t n = 0;
    for (const auto& line : loggerMessages())
      if (line == " - [ZororiUtilities/UserDefaults][I-ZUL000004] Cannot synchronize user defaults to disk") ++n;
    return n;
  };
  ZULUserDefaults defaults("not/a/suite");
  auto queue = dispatch::Queue::serial("writer");
  for (int i = 0; i < 10; ++i) {
    queue->async([&defaults, i] { defaults.setInteger(i, "count"); });  // a thread with no run loop
    queue->sync([] {});
    advance(0.1);
  }
  EXPECT_EQ(synchronised(), 0u);
  advance(0.89);  // 0.99 s after the tenth write
  EXPECT_EQ(synchronised(), 0u);
  advance(0.02);
  EXPECT_EQ(synchronised(), 1u);
  advance(10);
  EXPECT_EQ(synchronised(), 1u);

  {
    ZULUserDefaults released("not/a/suite");
    released.setInteger(1, "count");
  }
  advance(2);
  EXPECT_EQ(synchronised(), 1u) << "a released object's synchronise is cancelled";
}

TEST_F(UserDefaultsTest, AWriteFromAQueueIsOnDiskForTheNextLaunch) {
  auto queue = dispatch::Queue::serial("com.dozaveve.ZEVUdederozedaruStore");
  queue->async([] { ZULUserDefaults(kSuite).setObject(ns::Value("iid-1"), "installation"); });
  queue->sync([] {});
  // No run loop has run: the value is there without the synchronise.
  ns::Device::boot(device_->directory());
  EXPECT_EQ(ZULUserDefaults(kSuite).objectForKey("installation"), ns::Value("iid-1"));
  auto onDisk = ns::readDictionaryFile(suitePath());
  ASSERT_TRUE(onDisk);
  EXPECT_EQ(*onDisk->find("installation"), ns::Value("iid-1"));
}

}  // namespace
}  // namespace zul_testing

#include "Libraries/TelemetryFoundation/ZULHeartbeatDateStorage.h"

#include <gtest/gtest.h>

#include <string>

#include "Libraries/TelemetryFoundation/ZULSecureCoding.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"

namespace {

class HeartbeatDateStorageTest : public ::testing::Test {
 protected:
  std::string filePath(const std::string& name) const {
    return device_.path("App/Library/Application Support/Zorori/VIDUve/" + name);
  }
  static ns::Data archive(const ns::Value& value) {
    ns::Error error;
    return *ZULSecureCoding::archivedDataWithRootObject(value, &error);
  }
  // The file's dictionary as a second reader of the archive sees it.
  ns::Dictionary stored(const std::string& name) const {
    ns::Error error;
    auto data = ns::FileManager::defaultManager().contentsAtPath(filePath(name), &error);
    if (!data) return {};
    auto value = ZULSecureCoding::unarchivedObjectOfClasses({"NSDictionary", "NSDate", "NSString"}, *data, &error)
                     .toValue();
    return value && value->isDictionary() ? *value->asDictionary() : ns::Dictionary{};
  }

  ns::testing::TemporaryDevice device_;
  const ns::Date day_ = ns::Date(700000000);
};

TEST_F(HeartbeatDateStorageTest, WhatTheFileHoldsDecidesTheAnswerAndTheNextWrite) {
  struct Case {
    const char* what;
    std::optional<ns::Data> contents;  // absent: no file
    std::optional<ns::Date> expected;  // for "tag"
    size_t entriesAfterWrite;          // after setting "other"
  };
  const std::vector<Case> cases = {
      {"no file", std::nullopt, std::nullopt, 1},
      {"garbage", ns::Data{'n', 'o', 't', ' ', 'a', ' ', 'p', 'l', 'i', 's', 't'}, std::nullopt, 1},
      {"an empty dictionary", archive(ns::Dictionary{}), std::nullopt, 1},
      {"an array", archive(ns::Array{ns::Value(day_)}), std::nullopt, 1},
      {"a string under the tag", archive(ns::Dictionary{{"tag", "yesterday"}}), std::nullopt, 2},
      {"a date under the tag", archive(ns::Dictionary{{"tag", day_}}), day_, 2},
  };
  for (const auto& c : cases) {
    const std::string name = std::string("heartbeats-") + std::to_string(&c - cases.data());
    ZULHeartbeatDateStorage storage(name);
    EXPECT_EQ(storage.fileURL().path(), filePath(name)) << c.what;
    if (c.contents) {
      ASSERT_TRUE(ns::FileManager::defaultManager().writeData(*c.contents, filePath(name), {})) << c.what;
    }

    EXPECT_EQ(storage.heartbeatDateForTag("tag"), c.expected) << c.what;
    EXPECT_TRUE(storage.setHearbeatDate(day_.addingTimeInterval(60), "other")) << c.what;
    ns::Dictionary after = stored(name);
    EXPECT_EQ(after.size(), c.entriesAfterWrite) << c.what;
    ASSERT_NE(after.find("other"), nullptr) << c.what;
    EXPECT_EQ(*after.find("other")->asDate(), day_.addingTimeInterval(60)) << c.what;
  }
}

TEST_F(HeartbeatDateStorageTest, DatesSurviveANewStorageAndTheFileIsAKeyedArchive) {
  {
    ZULHeartbeatDateStorage storage("ZULHeartbeat-test");
    ASSERT_TRUE(storage.setHearbeatDate(day_, "daily"));
    ASSERT_TRUE(storage.setHearbeatDate(day_.addingTimeInterval(3600), "hourly"));
    ASSERT_TRUE(storage.setHearbeatDate(day_.addingTimeInterval(86400), "daily"));
  }
  ZULHeartbeatDateStorage again("ZULHeartbeat-test");
  EXPECT_EQ(again.heartbeatDateForTag("daily"), day_.addingTimeInterval(86400));
  EXPECT_EQ(again.heartbeatDateForTag("hourly"), day_.addingTimeInterval(3600));
  EXPECT_EQ(again.heartbeatDateForTag("weekly"), std::nullopt);

  int status = -1;
  std::string xml =
      ns::testing::runCommand("plistutil -i '" + filePath("ZULHeartbeat-test") + "' -o - -f xml 2>&1", &status);
  ASSERT_EQ(status, 0) << xml;
  for (const char* expected : {"<string>NSKeyedArchiver</string>", "<key>root</key>", "<string>daily</string>",
                               "<string>hourly</string>", "<string>NSDate</string>"}) {
    EXPECT_NE(xml.find(expected), std::string::npos) << expected << " in\n" << xml;
  }
}

TEST_F(HeartbeatDateStorageTest, TheUserDefaultsStoreKeepsOneDictionaryUnderItsKey) {
  auto defaults = ns::UserDefaults::withSuiteName("com.example.heartbeats");
  ZULHeartbeatDateStorageUserDefaults storage(defaults, "heartbeats");
  EXPECT_EQ(storage.heartbeatDateForTag("daily"), std::nullopt);

  EXPECT_TRUE(storage.setHearbeatDate(day_, "daily"));
  EXPECT_TRUE(storage.setHearbeatDate(day_.addingTimeInterval(1), "weekly"));
  EXPECT_EQ(storage.heartbeatDateForTag("daily"), day_);
  auto dictionary = defaults->dictionaryForKey("heartbeats");
  ASSERT_TRUE(dictionary.has_value());
  EXPECT_EQ(dictionary->size(), 2u);

  defaults->setObject(ns::Dictionary{{"daily", "not a date"}}, "heartbeats");
  EXPECT_EQ(storage.heartbeatDateForTag("daily"), std::nullopt);
  // A value of another kind under the key starts a new dictionary.
  defaults->setObject(ns::Value("junk"), "heartbeats");
  EXPECT_TRUE(storage.setHearbeatDate(day_, "daily"));
  EXPECT_EQ(defaults->dictionaryForKey("heartbeats")->size(), 1u);
}

}  // namespace

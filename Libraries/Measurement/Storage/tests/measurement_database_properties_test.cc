// User properties and conditional user properties on the real file.
#include "Libraries/Measurement/Storage/MSRDataKind.h"
#include "Libraries/Measurement/Storage/tests/DatabaseTestSupport.h"

namespace msr_testing {
namespace {

class DatabasePropertiesTest : public ClockedDatabaseTest {
 protected:

  void setProperty(const std::string& name, const MSRValue& value, double at = kNow, const std::string& origin = "app") {
    worker([&] {
      ns::Error error;
      EXPECT_TRUE(database_->updateUserAttribute(MSRUserAttribute::initWithOrigin(origin, name, value, at), &error))
          << name << ": " << error.description();
    });
  }

  static std::vector<std::string> namesOf(const std::optional<std::vector<std::shared_ptr<MSRUserAttribute>>>& list) {
    std::vector<std::string> names;
    if (list) {
      for (const auto& attribute : *list) names.push_back(attribute->name());
    }
    return names;
  }

  static std::vector<std::string> namesOf(
      const std::optional<std::vector<std::shared_ptr<MSRConditionalUserProperty>>>& list) {
    std::vector<std::string> names;
    if (list) {
      for (const auto& property : *list) names.push_back(property->name());
    }
    return names;
  }

  // A conditional property waiting for "purchase", created `age` seconds ago.
  static std::shared_ptr<MSRConditionalUserProperty> waiting(const std::string& name, double age, double timeout,
                                                             const std::string& origin = "app") {
    auto property = std::make_shared<MSRConditionalUserProperty>();
    property->setName(name);
    property->setOrigin(origin);
    property->setValue(MSRValue::initWithString("gold"));
    property->setCreationTimestamp(kNow - age);
    property->setTriggerTimeout(timeout);
    property->setTimeToLive(3600);
    property->setTriggerEventName("purchase");
    return property;
  }

  void store(const std::shared_ptr<MSRConditionalUserProperty>& property) {
    worker([&] {
      ns::Error error;
      EXPECT_TRUE(database_->updateConditionalUserProperty(property, &error)) << error.description();
    });
  }
};

TEST_F(DatabasePropertiesTest, ValuesKeepTheirTypes) {
  setProperty("zero", MSRValue::initWithInt64(0));
  setProperty("half", MSRValue::initWithDouble(1.5));
  setProperty("food", MSRValue::initWithString("pie"));
  EXPECT_EQ(sqlite(path_, "SELECT name, typeof(value), value, origin, set_timestamp FROM user_attributes ORDER BY rowid"),
            "zero|integer|0|app|1700000000.0\nhalf|real|1.5|app|1700000000.0\nfood|text|pie|app|1700000000.0");
  worker([&] {
    ns::Error error;
    auto half = database_->userAttributeWithName("half", &error);
    ASSERT_NE(half, nullptr) << error.description();
    EXPECT_EQ(half->value(), MSRValue::initWithDouble(1.5));
    EXPECT_EQ(database_->userAttributeWithName("zero", &error)->value(), MSRValue::initWithInt64(0));
    EXPECT_EQ(database_->userAttributeWithName("food", &error)->value(), MSRValue::initWithString("pie"));
    EXPECT_EQ(database_->userAttributeWithName("missing", &error), nullptr);
    EXPECT_TRUE(error.domain().empty()) << error.description();

    // The value rule refuses an empty string before the database sees it.
    auto empty = MSRUserAttribute::initWithOrigin("app", "empty", MSRValue::initWithString(""), kNow);
    EXPECT_EQ(empty, nullptr);
    EXPECT_FALSE(database_->updateUserAttribute(empty, &error));
  });
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM user_attributes WHERE name = 'empty'"), "0");
}

TEST_F(DatabasePropertiesTest, ThePublicListingLeavesOutInternalAndReservedNames) {
  for (const char* name : {"favorite_food", "_fot", "user_id", "dozaveve_x", "zorori_y", "za_z", "Za_kept", "_ltv_USD"}) {
    setProperty(name, MSRValue::initWithInt64(1));
  }
  worker([&] {
    ns::Error error;
    EXPECT_EQ(namesOf(database_->userAttributesIncludingInternal(false, &error)),
              (std::vector<std::string>{"favorite_food", "Za_kept"}));
    EXPECT_EQ(namesOf(database_->userAttributesIncludingInternal(true, &error)).size(), 8u);
    EXPECT_EQ(database_->publicUserAttributeCount(&error), 6) << "names not beginning with _";
    EXPECT_EQ(database_->userAttributeCountForOrigin("app", &error), 8);
    EXPECT_EQ(database_->userAttributeCountForOrigin("auto", &error), 0);
    EXPECT_EQ(database_->containsUserAttributeWithName("za_z", &error), true);
    EXPECT_EQ(database_->containsUserAttributeWithName("ZA_Z", &error), false);
    EXPECT_TRUE(database_->deleteUserAttributeWithName("za_z", &error));
    EXPECT_EQ(database_->containsUserAttributeWithName("za_z", &error), false);
  });
}

// "_" is no wildcard and case matters: only names beginning with "_ltv_"
// are lifetime values, newest first.
TEST_F(DatabasePropertiesTest, OnlyLifetimeValuesAreListedAsSuch) {
  setProperty("_ltv_USD", MSRValue::initWithDouble(3.5), kNow - 20);
  setProperty("altvalue", MSRValue::initWithInt64(1), kNow - 5);
  setProperty("ALTV_X", MSRValue::initWithInt64(1), kNow - 5);
  setProperty("_LTV_EUR", MSRValue::initWithInt64(1), kNow - 5);
  setProperty("xltvy", MSRValue::initWithInt64(1), kNow - 5);
  setProperty("_ltv_EUR", MSRValue::initWithDouble(1.25), kNow - 10);
  worker([&] {
    ns::Error error;
    EXPECT_EQ(namesOf(database_->allLifetimeValueUserAttributes(&error)),
              (std::vector<std::string>{"_ltv_EUR", "_ltv_USD"}));
  });
  // One unreadable lifetime value fails the list; the general listing skips it.
  ASSERT_EQ(sqlite(path_, "UPDATE user_attributes SET value = X'00' WHERE name = '_ltv_EUR'"), "");
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->allLifetimeValueUserAttributes(&error), std::nullopt);
    EXPECT_EQ(namesOf(database_->userAttributesIncludingInternal(true, &error)).size(), 5u);
  });
}

TEST_F(DatabasePropertiesTest, AConditionalPropertyIsStoredWithItsEvents) {
  auto property = waiting("tier", 0, 5);
  property->setActive(true);
  property->setTriggeredTimestamp(kNow);
  property->setTriggeredEvent(MSREvent::initWithOrigin("app", false, "set", kNow, 0,
                                                       {{"level", MSRValue::initWithInt64(3)}}));
  property->setExpiredEvent(MSREvent::initWithOrigin("auto", false, "gone", kNow + 1, 0, {}));
  store(property);
  EXPECT_EQ(sqlite(path_, "SELECT name, origin, value, active, trigger_event_name, timed_out_event IS NULL, "
                          "typeof(triggered_event) FROM conditional_properties"),
            "tier|app|gold|1|purchase|1|blob");
  std::string hex = sqlite(path_, "SELECT hex(triggered_event) FROM conditional_properties");
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  EXPECT_EQ(protoc("--decode=msrpb.Event UploadMessages.proto", bytes),
            "params {\n  name: \"_o\"\n  string_value: \"app\"\n}\nparams {\n  name: \"level\"\n  int_value: 3\n}\n"
            "name: \"set\"\ntimestamp_millis: 1700000000000\n");
  worker([&] {
    ns::Error error;
    auto back = database_->conditionalUserPropertyWithName("tier", &error);
    ASSERT_NE(back, nullptr) << error.description();
    EXPECT_EQ(back->origin(), "app");
    EXPECT_EQ(back->value(), MSRValue::initWithString("gold"));
    EXPECT_TRUE(back->isActive());
    EXPECT_EQ(back->triggerEventName(), "purchase");
    EXPECT_EQ(back->triggerTimeout(), 5);
    EXPECT_EQ(back->timeToLive(), 3600);
    EXPECT_EQ(back->triggeredTimestamp(), kNow);
    ASSERT_NE(back->triggeredEvent(), nullptr);
    EXPECT_EQ(back->triggeredEvent()->name(), "set");
    EXPECT_EQ(back->triggeredEvent()->parameters().at("level"), MSRValue::initWithInt64(3));
    ASSERT_NE(back->expiredEvent(), nullptr);
    EXPECT_EQ(back->expiredEvent()->origin(), "auto");
    EXPECT_EQ(back->timedOutEvent(), nullptr);
    EXPECT_TRUE(database_->deleteConditionalUserPropertyWithName("tier", &error));
    EXPECT_EQ(database_->conditionalUserPropertyWithName("tier", &error), nullptr);
  });
}

TEST_F(DatabasePropertiesTest, TimedOutTriggeredAndExpiredFollowTheClock) {
  store(waiting("late", 10, 5));
  store(waiting("early", 2, 5));
  auto active = waiting("living", 0, 5);
  active->setActive(true);
  active->setTriggeredTimestamp(kNow - 100);
  active->setTimeToLive(50);
  store(active);
  worker([&] {
    ns::Error error;
    EXPECT_EQ(namesOf(database_->timedOutConditionalUserPropertiesWithError(&error)), std::vector<std::string>{"late"});
    EXPECT_EQ(namesOf(database_->triggeredConditionalUserPropertiesWithEventName("purchase", &error)),
              std::vector<std::string>{"early"});
    EXPECT_EQ(namesOf(database_->triggeredConditionalUserPropertiesWithEventName("other", &error)),
              std::vector<std::string>{});
    EXPECT_EQ(namesOf(database_->expiredConditionalUserPropertiesWithError(&error)), std::vector<std::string>{"living"});
  });
  ns::Clock::advance(4);
  worker([&] {
    ns::Error error;
    EXPECT_EQ(namesOf(database_->timedOutConditionalUserPropertiesWithError(&error)),
              (std::vector<std::string>{"late", "early"}));
    EXPECT_EQ(namesOf(database_->triggeredConditionalUserPropertiesWithEventName("purchase", &error)),
              std::vector<std::string>{});
  });
}

// Prefix and origin are compared exactly: "%" and "_" are ordinary
// characters and case matters.
TEST_F(DatabasePropertiesTest, ListingsByPrefixAndOriginMatchExactly) {
  store(waiting("a_b", 0, 5));
  store(waiting("axb", 0, 5));
  store(waiting("A_B", 0, 5));
  store(waiting("a_c", 0, 5, "auto"));
  store(waiting("z", 0, 5, "APP"));
  struct Case {
    const char* prefix;
    const char* origin;
    std::vector<std::string> names;
  } cases[] = {
      {"", "", {"a_b", "axb", "A_B", "a_c", "z"}},
      {"a_", "", {"a_b", "a_c"}},
      {"a_", "app", {"a_b"}},
      {"", "app", {"a_b", "axb", "A_B"}},
      {"", "%", {}},
      {"%", "", {}},
      {"", "ap_", {}},
  };
  worker([&] {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.prefix) + " / " + c.origin);
      ns::Error error;
      EXPECT_EQ(namesOf(database_->conditionalUserPropertiesWithPrefix(c.prefix, c.origin, &error)), c.names);
    }
  });
}

TEST_F(DatabasePropertiesTest, ACorruptStoredEventFailsEveryListHoldingIt) {
  store(waiting("fine", 0, 5));
  store(waiting("broken", 0, 5));
  ASSERT_EQ(sqlite(path_, "UPDATE conditional_properties SET triggered_event = X'0A05FF' WHERE name = 'broken'"), "");
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->conditionalUserPropertiesWithCondition("1 == 1", {}, &error), std::nullopt);
    EXPECT_EQ(describe(error), measurementError(2, "Failed to parse event from data"));
    error = {};
    EXPECT_EQ(database_->triggeredConditionalUserPropertiesWithEventName("purchase", &error), std::nullopt);
    EXPECT_EQ(error.code(), 2);
    error = {};
    EXPECT_EQ(database_->conditionalUserPropertyWithName("broken", &error), nullptr);
    EXPECT_EQ(error.code(), 2);
    EXPECT_NE(database_->conditionalUserPropertyWithName("fine", &error), nullptr);
  });
  // A stored event that is not data at all.
  ASSERT_EQ(sqlite(path_, "UPDATE conditional_properties SET triggered_event = 'text' WHERE name = 'broken'"), "");
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->conditionalUserPropertiesWithPrefix("", "", &error), std::nullopt);
    EXPECT_EQ(describe(error), measurementError(2, "Failed to convert data to an event. Data must be a NSData instance"));
  });
}

TEST_F(DatabasePropertiesTest, RefusedArguments) {
  auto noName = waiting("", 0, 5);
  auto noOrigin = waiting("n", 0, 5, "");
  auto noValue = waiting("n", 0, 5);
  noValue->setValue(std::nullopt);
  expectRefused({
      {"count of no origin", [](MSRDatabase& d, ns::Error* e) { return d.userAttributeCountForOrigin("", e).has_value(); },
       1, "Received empty user property origin for count query"},
      {"exists of no name", [](MSRDatabase& d, ns::Error* e) { return d.containsUserAttributeWithName("", e).has_value(); },
       1, "Received empty user property name for exists query"},
      {"no property", [](MSRDatabase& d, ns::Error* e) { return d.updateUserAttribute(nullptr, e); }, 3,
       "Received empty user property for getting dictionary representation"},
      {"a property of no origin",
       [](MSRDatabase& d, ns::Error* e) {
         return d.updateUserAttribute(MSRUserAttribute::initWithOrigin("", "n", MSRValue::initWithInt64(1), 0), e);
       },
       3, "Received user property with empty origin for getting dictionary representation"},
      {"no conditional property", [](MSRDatabase& d, ns::Error* e) { return d.updateConditionalUserProperty(nullptr, e); },
       3, "Received empty conditional user property for getting dictionary representation"},
      {"a conditional property of no name",
       [&](MSRDatabase& d, ns::Error* e) { return d.updateConditionalUserProperty(noName, e); }, 3,
       "Received conditional user property with empty name for getting dictionary representation"},
      {"a conditional property of no origin",
       [&](MSRDatabase& d, ns::Error* e) { return d.updateConditionalUserProperty(noOrigin, e); }, 3,
       "Received conditional user property with empty origin for getting dictionary representation"},
      {"a conditional property of no value",
       [&](MSRDatabase& d, ns::Error* e) { return d.updateConditionalUserProperty(noValue, e); }, 3,
       "Received conditional user property with nil value for getting dictionary representation"},
      {"triggered by no event",
       [](MSRDatabase& d, ns::Error* e) { return d.triggeredConditionalUserPropertiesWithEventName("", e).has_value(); },
       1, "Received nil/empty event name for querying triggered conditional user properties"},
      {"no condition",
       [](MSRDatabase& d, ns::Error* e) { return d.conditionalUserPropertiesWithCondition("", {}, e).has_value(); }, 1,
       "Received empty condition for querying a conditional user property"},
  });
  EXPECT_EQ(sqlite(path_, "SELECT (SELECT count(*) FROM user_attributes) + (SELECT count(*) FROM conditional_properties)"),
            "0");
}

TEST_F(DatabasePropertiesTest, ValueObjectsAreValidatedWithTheKindsLabel) {
  struct Case {
    const char* name;
    MSRValueCandidate object;
    int64_t kind;
    bool valid;
    int64_t failureCode;
    int64_t messageCode;
    std::string message;
  } cases[] = {
      {"a value", MSRValue::initWithInt64(1), 5, true, 0, 0, ""},
      {"nothing", std::monostate(), 4, false, 1, 13004, "User property name cannot be nil"},
      {"nothing of an unknown kind", std::monostate(), 12, false, 1, 13004, "Object cannot be nil"},
      {"a string object", ns::Value("x"), 9, false, 5, 13005,
       "Conditional user property value must be a MSRValue instance. value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    monitor_.clear();
    int64_t failureCode = 99;
    EXPECT_EQ(MSRValidateValueObject(c.object, c.kind, &failureCode), c.valid);
    EXPECT_EQ(failureCode, c.failureCode);
    auto messages = monitor_.messages();
    if (c.valid) {
      EXPECT_TRUE(messages.empty());
      continue;
    }
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].level, 3);
    EXPECT_EQ(messages[0].code, c.messageCode);
    EXPECT_EQ(messages[0].message, c.message);
  }
  EXPECT_EQ(MSRDataKindLabel(0, ""), "Event name");
  EXPECT_EQ(MSRDataKindLabel(-1, " x"), "Object x");
}

}  // namespace
}  // namespace msr_testing

// The name and value rules, and how an event's parameters are cleaned:
// what is dropped, trimmed and recorded as "_err", "_ev" and "_el".
#include <gtest/gtest.h>

#include <functional>

#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"
#include "Libraries/Measurement/Storage/tests/StorageTestSupport.h"

namespace msr_testing {
namespace {

std::string letters(size_t count) { return std::string(count, 'a'); }

TEST(MSRDataTypeValidatorTest, NamesAndValues) {
  ns::testing::TemporaryDevice device;
  MonitorRecorder monitor;
  using Check = std::function<bool(int64_t*)>;
  auto string = [](std::string text) { return ns::Value(std::move(text)); };
  auto publicEvent = [&](std::string name) -> Check {
    return [=](int64_t* code) { ns::Value v = string(name); return MSRDataTypeValidator::isValidPublicEventName(&v, code); };
  };
  auto forwarded = [&](std::string origin) -> Check {
    return [=](int64_t* code) { ns::Value v = string(origin); return MSRDataTypeValidator::isValidForwardedEventOrigin(&v, code); };
  };
  auto internalOrigin = [&](std::string origin) -> Check {
    return [=](int64_t* code) { ns::Value v = string(origin); return MSRDataTypeValidator::isValidInternalEventOrigin(&v, code); };
  };
  auto propertyValue = [](std::string name, size_t length) -> Check {
    return [=](int64_t* code) {
      return MSRDataTypeValidator::isValidInternalUserAttributeValue(MSRValue::initWithString(letters(length)), name, code);
    };
  };
  auto currency = [](std::string text) -> Check {
    return [=](int64_t* code) { return MSRDataTypeValidator::isValidCurrencyCode(MSRValue::initWithString(text), code); };
  };
  auto parameterName = [&](std::string name) -> Check {
    return [=](int64_t* code) { ns::Value v = string(name); return MSRDataTypeValidator::isValidPublicEventParameterName(&v, code); };
  };
  auto publicValue = [](size_t length) -> Check {
    return [=](int64_t* code) {
      return MSRDataTypeValidator::isValidPublicEventParameterValue(MSRValue::initWithString(letters(length)), code);
    };
  };
  struct Case {
    const char* name;
    Check check;
    bool answer;
    int64_t failureCode;
    int64_t messageCode;  // 0: no message
    const char* message;
  } cases[] = {
      {"40 letters", publicEvent(letters(40)), true, 0, 0, nullptr},
      {"41 letters", publicEvent(letters(41)), false, 2, 13000,
       "Event name is too long. The maximum supported length is 40"},
      {"two letters", publicEvent("ab"), true, 0, 0, nullptr},
      {"a hyphen", publicEvent("a-b"), false, 3, 13002,
       "Event name must contain only letters, numbers, or underscores"},
      {"a leading digit", publicEvent("1ab"), false, 3, 13003, "Event name must start with a letter"},
      {"screen_view", publicEvent("screen_view"), true, 0, 0, nullptr},
      {"first_open", publicEvent("first_open"), false, 4, 13006, "Event name is reserved. Ignoring event"},
      {"ad_impression", publicEvent("ad_impression"), true, 0, 0, nullptr},
      {"a reserved prefix", publicEvent("dozaveve_x"), false, 4, 13007,
       "Event name uses reserved prefix. Ignoring event"},
      {"a parameter with a reserved prefix", parameterName("za_x"), false, 4, 13008,
       "Parameter name uses reserved prefix. Ignoring parameter"},
      {"an empty name", publicEvent(""), false, 1, 13001, "Event name is required and can't be empty"},
      {"a letter outside the basic plane counts 1", publicEvent("\U0001D400" + letters(39)), true, 0, 0, nullptr},
      {"a combining mark", publicEvent("e\u0301"), false, 3, 13002,
       "Event name must contain only letters, numbers, or underscores"},
      {"a forwarded origin", forwarded("app+ztm"), true, 0, 0, nullptr},
      {"an origin not forwarded", forwarded("app"), false, 6, 0, nullptr},
      {"an internal origin", internalOrigin("app"), true, 0, 0, nullptr},
      {"_id at 256", propertyValue("_id", 256), true, 0, 0, nullptr},
      {"_id at 257", propertyValue("_id", 257), false, 2, 13000,
       "User property value is too long. The maximum supported length is 256"},
      {"another property at 36", propertyValue("_fot", 36), true, 0, 0, nullptr},
      {"another property at 37", propertyValue("_fot", 37), false, 2, 13000,
       "User property value is too long. The maximum supported length is 36"},
      {"an empty property value", propertyValue("_fot", 0), false, 1, 0, nullptr},
      {"a public value at 100", publicValue(100), true, 0, 0, nullptr},
      {"a public value at 101", publicValue(101), false, 2, 13000,
       "Event parameter value is too long. The maximum supported length is 100"},
      {"usd", currency("usd"), true, 0, 0, nullptr},
      {"US1", currency("US1"), false, 9, 13012,
       "Event parameter value must contain a 3-letter ISO_4217 currency code. value"},
      {"a letter outside the basic plane is two currency units", currency("\U0001D400US"), false, 9, 13012,
       "Event parameter value must contain a 3-letter ISO_4217 currency code. value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    monitor.clear();
    int64_t code = -1;
    EXPECT_EQ(c.check(&code), c.answer);
    EXPECT_EQ(code, c.failureCode);
    MSRMonitorWaitForTesting();
    auto messages = monitor.messages();
    if (c.messageCode == 0) {
      EXPECT_TRUE(messages.empty());
    } else {
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0].code, c.messageCode);
      EXPECT_EQ(messages[0].message, c.message);
    }
  }
}

}  // namespace
}  // namespace msr_testing

// Readable failures.
void PrintTo(const MSRValue& value, std::ostream* out) { *out << value.description(); }

namespace msr_testing {
namespace {

MSRValue str(std::string text) { return MSRValue::initWithString(std::move(text)); }
MSRValue i64(int64_t value) { return MSRValue::initWithInt64(value); }

ns::Value itemArray(size_t count, size_t customParameters = 0) {
  ns::Array items;
  for (size_t i = 0; i < count; ++i) {
    ns::Dictionary item{{"item_id", ns::Value(ns::format("sku%zu", i))}};
    for (size_t j = 0; j < customParameters; ++j) item.set(ns::format("c%02zu", j), ns::Value(1));
    items.push_back(ns::Value(std::move(item)));
  }
  return ns::Value(std::move(items));
}

TEST(MSRValidatedEventParametersTest, DropsTrimsAndRecordsTheFirstProblem) {
  ns::testing::TemporaryDevice device;
  MonitorRecorder monitor;
  MSRParameterInput publicTooMany;
  MSRValueMap keptPublic;
  for (int i = 0; i < 26; ++i) {
    publicTooMany.emplace(ns::format("p%02d", i), ns::Value(i));
    if (i < 25) keptPublic.emplace(ns::format("p%02d", i), i64(i));
  }
  publicTooMany.emplace("_si", ns::Value(4));
  keptPublic.emplace("_si", i64(4));
  keptPublic.emplace("_err", i64(5));

  std::string long300(300, 'e');

  struct Case {
    const char* name;
    MSRParameterInput input;
    std::string eventName;
    bool isPublic;
    std::function<void(const MSRValueMap&)> expect;
  } cases[] = {
      {"26 public parameters keep the 25 sorting first; internal ones are not counted", publicTooMany, "shop", false,
       [&](const MSRValueMap& out) { EXPECT_EQ(out, keptPublic); }},
      {"201 items keep 200", {{"items", itemArray(201)}}, "purchase", true,
       [](const MSRValueMap& out) {
         EXPECT_EQ(out.at("items").arrayValue()->size(), 200u);
         EXPECT_EQ(out.at("items").arrayValue()->back().at("item_id"), str("sku199"));
         EXPECT_EQ(out.at("_err"), i64(17));
         EXPECT_EQ(out.at("_ev"), str("items"));
       }},
      {"an array on an event that sells nothing", {{"items", itemArray(1)}, {"n", ns::Value(1)}}, "level_up", true,
       [](const MSRValueMap& out) {
         EXPECT_EQ(out, (MSRValueMap{{"n", i64(1)}, {"_err", i64(21)}, {"_ev", str("level_up")}}));
       }},
      {"an array not named items", {{"goods", itemArray(1)}}, "purchase", true,
       [](const MSRValueMap& out) { EXPECT_EQ(out, (MSRValueMap{{"_err", i64(20)}, {"_ev", str("goods")}})); }},
      {"_ev as a plain string is kept whole", {{"_ev", ns::Value(long300)}}, "_err", false,
       [&](const MSRValueMap& out) { EXPECT_EQ(out, (MSRValueMap{{"_ev", str(long300)}, {"_el", i64(300)}})); }},
      {"_ev as a value is trimmed", {{"_ev", str(long300)}}, "_err", false,
       [&](const MSRValueMap& out) {
         EXPECT_EQ(out, (MSRValueMap{{"_ev", str(std::string(256, 'e') + "...")}, {"_el", i64(300)}}));
       }},
      {"item custom parameters over 27", {{"items", itemArray(1, 28)}}, "purchase", true,
       [](const MSRValueMap& out) {
         const MSRValueMap& item = out.at("items").arrayValue()->front();
         EXPECT_EQ(item.size(), 29u) << "item_id, 27 custom parameters and \"_err\"";
         EXPECT_EQ(item.count("c27"), 0u) << "the last in order goes";
         EXPECT_EQ(item.at("_err"), i64(28));
       }},
      {"a too long value, then a reserved name: only the first problem", 
       {{"a", ns::Value(std::string(101, 'x'))}, {"za_b", ns::Value(1)}}, "shop", true,
       [](const MSRValueMap& out) {
         EXPECT_EQ(out, (MSRValueMap{{"_err", i64(4)}, {"_ev", str("a")}, {"_el", i64(101)}}));
       }},
      {"a reserved name keeps the parameters an earlier problem left", 
       {{"_err", i64(3)}, {"za_b", ns::Value(1)}, {"ok", ns::Value("y")}}, "shop", true,
       [](const MSRValueMap& out) { EXPECT_EQ(out, (MSRValueMap{{"_err", i64(3)}, {"ok", str("y")}})); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto out = MSRValidatedEventParameters(c.input, c.eventName, c.isPublic, false);
    ASSERT_TRUE(out.has_value());
    c.expect(*out);
  }
  EXPECT_EQ(MSRValidatedEventParameters(MSRParameterInput{}, "shop", true, false), std::nullopt);

  // "value" without "currency" on a conversion.
  MSRValueMap conversion{{"value", MSRValue::initWithDouble(9.99)}};
  EXPECT_FALSE(MSRValidateValueAndCurrency(conversion));
  EXPECT_EQ(conversion, (MSRValueMap{{"_err", i64(19)}, {"_ev", str("currency")}}));
}

}  // namespace
}  // namespace msr_testing

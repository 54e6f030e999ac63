// The audience filter predicates as tables: filter messages written by
// protoc from their text form, decided against measurement values, with
// the monitor codes each case must log.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Libraries/Measurement/Reporters/MSRAudienceFilterPredicates.h"
#include "Libraries/Measurement/Storage/tests/DatabaseTestSupport.h"

namespace msr_testing {
namespace {

template <class T>
std::shared_ptr<T> configMessage(const std::string& type, const std::string& text) {
  std::string bytes = protoc("--encode=msrpb." + type + " ConfigurationMessages.proto", text);
  EXPECT_TRUE(!bytes.empty() || text.empty()) << type << ": " << text;
  auto message = T::initWithBuffer(bytesOf(bytes));
  EXPECT_NE(message, nullptr) << text;
  return message;
}

std::string show(MSRAudienceResult result) { return result ? (*result ? "YES" : "NO") : "nil"; }

constexpr auto kNil = std::nullopt;

// Every code in `expected` was logged, and none of those in `absent`.
void expectCodes(const MonitorRecorder& monitor, const std::vector<int64_t>& expected,
                 const std::vector<int64_t>& absent = {}) {
  for (int64_t code : expected) EXPECT_TRUE(monitor.contains(code)) << "missing code " << code;
  for (int64_t code : absent) EXPECT_FALSE(monitor.contains(code)) << "unexpected code " << code;
}

class AudiencePredicatesTest : public StorageTest {};
using MSREvaluateStringFilterTest = AudiencePredicatesTest;
using MSREvaluateFilterTest = AudiencePredicatesTest;
using MSRIsValidNumberFilterTest = AudiencePredicatesTest;
using MSREvaluateNumberFilterWithDoubleTest = AudiencePredicatesTest;
using MSREvaluateNumberFilterWithDecimalTest = AudiencePredicatesTest;
using MSREvaluateEventFilterTest = AudiencePredicatesTest;
using MSREvaluatePropertyFilterTest = AudiencePredicatesTest;

TEST_F(MSREvaluateStringFilterTest, EachMatchTypeWithAndWithoutCase) {
  struct Case {
    const char* filter;
    const char* text;
    MSRAudienceResult expected;
    std::vector<int64_t> codes;
  };
  const std::vector<Case> cases = {
      {"match_type: 3 expression: \"ING\"", "Landing", true, {}},
      {"match_type: 3 expression: \"ING\" case_sensitive: true", "Landing", false, {}},
      {"match_type: 3 expression: \"ing\" case_sensitive: true", "Landing", true, {}},
      {"match_type: 3 expression: \"Land\"", "Landing", false, {}},
      {"match_type: 2 expression: \"LAND\"", "Landing", true, {}},
      {"match_type: 2 expression: \"LAND\" case_sensitive: true", "Landing", false, {}},
      {"match_type: 2 expression: \"ing\"", "Landing", false, {}},
      {"match_type: 4 expression: \"NDI\"", "Landing", true, {}},
      {"match_type: 4 expression: \"NDI\" case_sensitive: true", "Landing", false, {}},
      {"match_type: 4 expression: \"xyz\"", "Landing", false, {}},
      {"match_type: 5 expression: \"LANDING\"", "Landing", true, {}},
      {"match_type: 5 expression: \"LANDING\" case_sensitive: true", "Landing", false, {}},
      {"match_type: 5 expression: \"Landin\"", "Landing", false, {}},
      {"match_type: 5 expression: \"Landings\"", "Landing", false, {}},
      {"match_type: 6 expression_list: \"home\" expression_list: \"LANDING\"", "Landing", true, {}},
      {"match_type: 6 expression_list: \"home\" expression_list: \"LANDING\" case_sensitive: true", "Landing", false,
       {}},
      {"match_type: 6 expression_list: \"Land\"", "Landing", false, {}},
      {"match_type: 1 expression: \"^l.*G$\"", "Landing", true, {}},
      {"match_type: 1 expression: \"^l.*G$\" case_sensitive: true", "Landing", false, {}},
      {"match_type: 1 expression: \"and\"", "Landing", true, {}},
      {"match_type: 7 expression: \"Landing\"", "Landing", false, {}},
      // Filters that are not valid: nil, each with its code and 9006.
      {"expression: \"x\"", "Landing", kNil, {9000, 9006}},
      {"match_type: 0 expression: \"x\"", "Landing", kNil, {9001, 9006}},
      {"match_type: 2", "Landing", kNil, {9002, 9006}},
      {"match_type: 6", "Landing", kNil, {9003, 9006}},
      {"match_type: 6 expression: \"x\" expression_list: \"x\"", "x", kNil, {9003, 9006}},
      {"match_type: 1 expression: \"(\"", "Landing", kNil, {9004, 9006}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.filter) + " on " + c.text);
    MonitorRecorder monitor;
    auto filter = configMessage<MSRPBStringFilter>("StringFilter", c.filter);
    EXPECT_EQ(show(MSREvaluateStringFilter(filter.get(), std::string(c.text))), show(c.expected));
    expectCodes(monitor, c.codes);
    EXPECT_EQ(MSRIsValidStringFilter(filter.get()), c.expected.has_value());
  }
  MonitorRecorder monitor;
  auto filter = configMessage<MSRPBStringFilter>("StringFilter", "match_type: 4 expression: \"a\"");
  EXPECT_EQ(show(MSREvaluateStringFilter(filter.get(), std::nullopt)), "nil");
  expectCodes(monitor, {9005});
}

TEST_F(MSREvaluateStringFilterTest, ABacktrackingPatternEndsWithNilUnderTheLimit) {
  MonitorRecorder monitor;
  auto filter = configMessage<MSRPBStringFilter>("StringFilter", "match_type: 1 expression: \"(a+)+$\"");
  std::string text(99, 'a');
  text += '!';
  ASSERT_EQ(text.size(), 100u);
  EXPECT_EQ(show(MSREvaluateStringFilter(filter.get(), text)), "nil");
  MSRMonitorWaitForTesting();
  std::vector<MSRMonitorMessage> limits;
  for (const auto& message : monitor.messages()) {
    if (message.code == 9007) limits.push_back(message);
  }
  ASSERT_EQ(limits.size(), 1u);
  EXPECT_EQ(limits[0].level, 1);
  // The same pattern still answers on a text it matches quickly.
  EXPECT_EQ(show(MSREvaluateStringFilter(filter.get(), std::string("xaaa"))), "YES");
}

TEST_F(MSREvaluateFilterTest, ValuesAgainstNumberAndStringFilters) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    const char* filter;
    MSRValue value;
    MSRAudienceResult expected;
    std::vector<int64_t> codes;
  };
  const std::vector<Case> cases = {
      {"numeric string as decimal", "number_filter { comparison_type: 2 comparison_value: \"9.5\" }",
       MSRValue::initWithString("10"), true, {}},
      {"numeric string below", "number_filter { comparison_type: 2 comparison_value: \"9.5\" }",
       MSRValue::initWithString("9.49"), false, {}},
      {"exponent is not numeric", "number_filter { comparison_type: 2 comparison_value: \"9.5\" }",
       MSRValue::initWithString("1e3"), kNil, {7001}},
      {"NaN double", "number_filter { comparison_type: 2 comparison_value: \"1\" }", MSRValue::initWithDouble(nan),
       kNil, {7002}},
      {"infinite double", "number_filter { comparison_type: 1 comparison_value: \"1\" }",
       MSRValue::initWithDouble(infinity), kNil, {7002}},
      {"minus infinite double", "number_filter { comparison_type: 1 comparison_value: \"1\" }",
       MSRValue::initWithDouble(-infinity), kNil, {7002}},
      {"double greater", "number_filter { comparison_type: 2 comparison_value: \"9.5\" }",
       MSRValue::initWithDouble(9.75), true, {}},
      {"double against a plus sign", "number_filter { comparison_type: 1 comparison_value: \"+10\" }",
       MSRValue::initWithDouble(9.5), true, {}},
      {"int64 between, inclusive", "number_filter { comparison_type: 4 min_comparison_value: \"10\" "
                                   "max_comparison_value: \"20\" }",
       MSRValue::initWithInt64(10), true, {}},
      {"int64 below the range", "number_filter { comparison_type: 4 min_comparison_value: \"10\" "
                                "max_comparison_value: \"20\" }",
       MSRValue::initWithInt64(9), false, {}},
      {"int64 equal as decimals", "number_filter { comparison_type: 3 comparison_value: \"10.000\" }",
       MSRValue::initWithInt64(10), true, {}},
      {"int64 past a double's precision", "number_filter { comparison_type: 2 comparison_value: "
                                          "\"9007199254740992\" }",
       MSRValue::initWithInt64(9007199254740993), true, {}},
      {"number filter wins over string filter",
       "string_filter { match_type: 5 expression: \"x\" } number_filter { comparison_type: 2 comparison_value: \"1\" }",
       MSRValue::initWithString("5"), true, {}},
      {"string filter on a string", "string_filter { match_type: 2 expression: \"ab\" }",
       MSRValue::initWithString("abc"), true, {}},
      {"string filter on a number", "string_filter { match_type: 2 expression: \"1\" }", MSRValue::initWithInt64(1),
       kNil, {7003}},
      {"neither filter", "param_name: \"x\"", MSRValue::initWithInt64(1), kNil, {7000}},
      {"complement of YES", "complement: true string_filter { match_type: 2 expression: \"ab\" }",
       MSRValue::initWithString("abc"), false, {}},
      {"complement of NO", "complement: true string_filter { match_type: 2 expression: \"zz\" }",
       MSRValue::initWithString("abc"), true, {}},
      {"complement leaves nil", "complement: true number_filter { comparison_type: 2 comparison_value: \"1\" }",
       MSRValue::initWithString("abc"), kNil, {7001}},
      {"complement false is no complement", "complement: false string_filter { match_type: 2 expression: \"ab\" }",
       MSRValue::initWithString("abc"), true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MonitorRecorder monitor;
    auto filter = configMessage<MSRPBFilter>("Filter", c.filter);
    EXPECT_EQ(show(MSREvaluateFilter(filter.get(), c.value)), show(c.expected));
    expectCodes(monitor, c.codes);
  }
}

TEST_F(MSREvaluateNumberFilterWithDoubleTest, EqualSpansTheNeighbouringDoubles) {
  auto filter = configMessage<MSRPBNumberFilter>("NumberFilter", "comparison_type: 3 comparison_value: \"0.1\"");
  const double v = 0.1, inf = std::numeric_limits<double>::infinity();
  const double up1 = std::nextafter(v, inf), up2 = std::nextafter(up1, inf);
  const double down1 = std::nextafter(v, -inf), down2 = std::nextafter(down1, -inf);
  struct Case {
    const char* name;
    double value;
    MSRAudienceResult expected;
  };
  for (const Case& c : std::vector<Case>{{"v", v, true},
                                         {"one above", up1, true},
                                         {"two above", up2, false},
                                         {"one below", down1, true},
                                         {"two below", down2, false}}) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(show(MSREvaluateNumberFilterWithDouble(filter.get(), c.value)), show(c.expected));
  }
  // A plus sign and a point without digits after it read as numbers.
  auto plus = configMessage<MSRPBNumberFilter>("NumberFilter", "comparison_type: 3 comparison_value: \"+3.\"");
  EXPECT_EQ(show(MSREvaluateNumberFilterWithDouble(plus.get(), 3.0)), "YES");
  auto negative = configMessage<MSRPBNumberFilter>("NumberFilter", "comparison_type: 1 comparison_value: \"-.5\"");
  EXPECT_EQ(show(MSREvaluateNumberFilterWithDouble(negative.get(), -0.75)), "YES");
}

TEST_F(MSRIsValidNumberFilterTest, EachRuleWithItsCode) {
  struct Case {
    const char* filter;
    bool valid;
    std::vector<int64_t> codes;
    std::vector<int64_t> absent;
  };
  const std::vector<Case> cases = {
      {"comparison_value: \"1\"", false, {8006}, {}},
      {"comparison_type: 0 comparison_value: \"1\"", false, {8007}, {}},
      {"comparison_type: 1", false, {8008}, {}},
      {"comparison_type: 2 comparison_value: \"abc\"", false, {8008}, {}},
      {"comparison_type: 3 comparison_value: \"1e3\"", false, {8008}, {}},
      {"comparison_type: 4 max_comparison_value: \"2\"", false, {8009}, {8010}},
      {"comparison_type: 4 min_comparison_value: \"1\"", false, {8010}, {8009}},
      {"comparison_type: 4", false, {8009, 8010}, {}},
      {"comparison_type: 5 comparison_value: \"1\"", false, {8011}, {}},
      {"comparison_type: 99 comparison_value: \"1\"", false, {8011}, {}},
      {"comparison_type: 1 comparison_value: \"-1.5\"", true, {}, {8006, 8007, 8008, 8011}},
      {"comparison_type: 4 min_comparison_value: \".5\" max_comparison_value: \"+7\"", true, {}, {8009, 8010}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.filter);
    MonitorRecorder monitor;
    auto filter = configMessage<MSRPBNumberFilter>("NumberFilter", c.filter);
    EXPECT_EQ(MSRIsValidNumberFilter(filter.get()), c.valid);
    expectCodes(monitor, c.codes, c.absent);
    // An invalid filter decides nothing.
    if (!c.valid) EXPECT_EQ(show(MSREvaluateNumberFilterWithInt64(filter.get(), 1)), "nil");
  }
}

TEST_F(MSREvaluateNumberFilterWithDecimalTest, ComparisonValuesThatLoseDigitsAreNil) {
  const std::string digits42 = "123456789012345678901234567890123456789012";
  struct Case {
    std::string filter;
    std::vector<int64_t> codes;
  };
  const std::vector<Case> cases = {
      {"comparison_type: 2 comparison_value: \"" + digits42 + "\"", {8002, 8015}},
      {"comparison_type: 4 min_comparison_value: \"" + digits42 + "\" max_comparison_value: \"1\"", {8004, 8015}},
      {"comparison_type: 4 min_comparison_value: \"1\" max_comparison_value: \"" + digits42 + "\"", {8005, 8015}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.filter);
    MonitorRecorder monitor;
    auto filter = configMessage<MSRPBNumberFilter>("NumberFilter", c.filter);
    EXPECT_EQ(show(MSREvaluateNumberFilterWithDecimal(filter.get(), ns::DecimalNumber(int64_t{5}))), "nil");
    expectCodes(monitor, c.codes);
  }
}

TEST_F(MSREvaluateEventFilterTest, CountsParametersAndNames) {
  auto aggregates = [](const std::string& name, int32_t lifetime, int32_t session) {
    return MSREventAggregates::initWithName(name, lifetime, 0, session, 0);
  };
  const std::string countAbove2 = "event_name: \"level_up\" event_count_filter { comparison_type: 2 "
                                  "comparison_value: \"2\" }";
  struct Case {
    const char* name;
    std::string filter;
    std::string eventName;
    MSRValueMap parameters;
    std::shared_ptr<MSREventAggregates> aggregates;
    MSRAudienceResult expected;
    std::vector<int64_t> codes;
  };
  const std::vector<Case> cases = {
      {"name only", "event_name: \"level_up\"", "level_up", {}, nullptr, true, {}},
      {"other name", "event_name: \"level_up\"", "purchase", {}, nullptr, kNil, {7006}},
      {"no name in the filter", "filter_id: 1", "level_up", {}, nullptr, kNil, {7006}},
      {"empty event name", "event_name: \"\"", "", {}, nullptr, kNil, {7005}},
      {"first occurrence", countAbove2, "level_up", {}, aggregates("level_up", 1, 1), false, {}},
      {"second occurrence", countAbove2, "level_up", {}, aggregates("level_up", 2, 2), false, {}},
      {"third occurrence", countAbove2, "level_up", {}, aggregates("level_up", 3, 3), true, {}},
      {"session scoped counts the session", countAbove2 + " session_scoped: true", "level_up", {},
       aggregates("level_up", 5, 1), false, {}},
      {"aggregates of another name", countAbove2, "level_up", {}, aggregates("purchase", 3, 3), kNil, {7007}},
      {"parameter matches",
       "event_name: \"buy\" filters { param_name: \"n\" number_filter { comparison_type: 2 comparison_value: \"3\" } }",
       "buy", {{"n", MSRValue::initWithInt64(5)}}, nullptr, true, {}},
      {"parameter does not match",
       "event_name: \"buy\" filters { param_name: \"n\" number_filter { comparison_type: 2 comparison_value: \"3\" } }",
       "buy", {{"n", MSRValue::initWithInt64(2)}}, nullptr, false, {}},
      {"parameter missing",
       "event_name: \"buy\" filters { param_name: \"n\" number_filter { comparison_type: 2 comparison_value: \"3\" } }",
       "buy", {}, nullptr, kNil, {7009}},
      {"string parameter, number filter only",
       "event_name: \"buy\" filters { param_name: \"n\" number_filter { comparison_type: 2 comparison_value: \"3\" } }",
       "buy", {{"n", MSRValue::initWithString("5")}}, nullptr, kNil, {7010}},
      {"parameter filter without a name",
       "event_name: \"buy\" filters { string_filter { match_type: 2 expression: \"a\" } }", "buy",
       {{"n", MSRValue::initWithString("a")}}, nullptr, kNil, {7008}},
      {"count fails before parameters", countAbove2 + " filters { param_name: \"n\" string_filter { match_type: 2 "
                                                     "expression: \"a\" } }",
       "level_up", {}, aggregates("level_up", 1, 1), false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MonitorRecorder monitor;
    auto filter = configMessage<MSRPBEventFilter>("EventFilter", c.filter);
    EXPECT_EQ(show(MSREvaluateEventFilter(filter.get(), c.eventName, c.parameters, c.aggregates.get())),
              show(c.expected));
    expectCodes(monitor, c.codes);
  }
  MonitorRecorder monitor;
  EXPECT_EQ(show(MSREvaluateEventFilter(nullptr, "level_up", {}, nullptr)), "nil");
  expectCodes(monitor, {7004});
}

TEST_F(MSREvaluatePropertyFilterTest, NamesAndValues) {
  auto attribute = [](const std::string& name, const MSRValue& value) {
    return MSRUserAttribute::initWithOrigin("app", name, value, 1700000000);
  };
  struct Case {
    const char* name;
    const char* filter;
    std::shared_ptr<MSRUserAttribute> attribute;
    MSRAudienceResult expected;
    std::vector<int64_t> codes;
  };
  const std::vector<Case> cases = {
      {"string property", "property_name: \"tier\" filter { string_filter { match_type: 5 expression: \"GOLD\" } }",
       attribute("tier", MSRValue::initWithString("gold")), true, {}},
      {"numeric string property",
       "property_name: \"level\" filter { number_filter { comparison_type: 2 comparison_value: \"9.5\" } }",
       attribute("level", MSRValue::initWithString("10")), true, {}},
      {"double property", "property_name: \"score\" filter { number_filter { comparison_type: 1 comparison_value: "
                          "\"1\" } }",
       attribute("score", MSRValue::initWithDouble(0.5)), true, {}},
      {"other name", "property_name: \"tier\" filter { string_filter { match_type: 5 expression: \"gold\" } }",
       attribute("level", MSRValue::initWithString("gold")), kNil, {7013}},
      {"no filter", "property_name: \"tier\"", attribute("tier", MSRValue::initWithString("gold")), kNil, {7014}},
      {"no property", "property_name: \"tier\"", nullptr, kNil, {7012}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MonitorRecorder monitor;
    auto filter = configMessage<MSRPBPropertyFilter>("PropertyFilter", c.filter);
    EXPECT_EQ(show(MSREvaluatePropertyFilter(filter.get(), c.attribute.get())), show(c.expected));
    expectCodes(monitor, c.codes);
  }
}

}  // namespace
}  // namespace msr_testing

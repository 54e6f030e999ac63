// The value classes: their three conversions, equality, the methods every
// value answers, and the property map behind maps and scopes.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "Libraries/Measurement/EventEditing/MSRPArrayValue.h"
#include "Libraries/Measurement/EventEditing/MSRPBooleanValue.h"
#include "Libraries/Measurement/EventEditing/MSRPControlValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPMapValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNullValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNumberValue.h"
#include "Libraries/Measurement/EventEditing/MSRPPropertyMap.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntime.h"
#include "Libraries/Measurement/EventEditing/MSRPStatementValue.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"
#include "Libraries/Measurement/EventEditing/tests/EvaluatorTestSupport.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {

using namespace msrptest;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

MSRPValueRef map(std::initializer_list<std::pair<std::u16string, MSRPValueRef>> entries) {
  auto value = std::make_shared<MSRPMapValue>();
  for (const auto& [name, property] : entries) value->setValue(property, name);
  return value;
}

MSRPValueRef array(MSRPValueList elements) { return std::make_shared<MSRPArrayValue>(std::move(elements)); }

MSRPValueRef function(const std::u16string& name) {
  return std::make_shared<MSRPFunctionValue>(name, std::vector<std::u16string>{}, MSRPValueList{}, nullptr);
}

TEST(MSRPRuntimeValueTest, EachClassConvertsToStringNumberAndBoolean) {
  struct Case {
    const char* what;
    MSRPValueRef value;
    std::string string;  // expected text, or "" with stringError
    double number;
    bool boolean;
    int64_t stringError = 0, numberError = 0, booleanError = 0;
  } cases[] = {
      {"undefined", MSRPUndefinedValue::sharedInstance(), "undefined", kNaN, false},
      {"null", MSRPNullValue::sharedInstance(), "null", 0, false},
      {"true", boolean(true), "true", 1, true},
      {"false", boolean(false), "false", 0, false},
      {"zero", number(0), "0", 0, false},
      {"negative zero", number(-0.0), "0", -0.0, false},
      {"NaN", number(kNaN), "NaN", kNaN, false},
      {"-2.5", number(-2.5), "-2.5", -2.5, true},
      {"1e21", number(1e21), "1e+21", 1e21, true},
      {"-Infinity", number(-kInfinity), "-Infinity", -kInfinity, true},
      {"empty string", string(u""), "", 0, false},
      {"the string 0", string(u"0"), "0", 0, true},
      {"42 with spaces", string(u" \t42\n "), " \t42\n ", 42, true},
      {"12abc", string(u"12abc"), "12abc", kNaN, true},
      {"-Infinity text", string(u"-Infinity"), "-Infinity", -kInfinity, true},
      {"empty array", array({}), "", 0, true},
      {"array of 1 and 2", array({number(1), number(2)}), "1,2", kNaN, true},
      {"array of one number", array({number(7)}), "7", 7, true},
      {"array of null, undefined, hole, 3",
       array({MSRPNullValue::sharedInstance(), MSRPUndefinedValue::sharedInstance(), MSRPArrayValue::emptyValue(),
              number(3)}),
       ",,,3", kNaN, true},
      {"nested arrays", array({array({number(1), number(2)}), string(u"x")}), "1,2,x", kNaN, true},
      {"map", map({{u"a", number(1)}}), "[object Object]", kNaN, true},
      {"function", function(u"f"), "f", kNaN, true},
      {"statement", statement(u"0", {number(1)}), "", kNaN, false, 5, 4, 3},
      {"break", MSRPControlValue::breakValue(), "", kNaN, false, 5, 4, 3},
      {"return", MSRPControlValue::returnValueWithData(number(1)), "", kNaN, false, 5, 4, 3},
      {"array holding a statement", array({statement(u"x")}), "", kNaN, true, 5, 5, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ns::Error stringError, numberError, booleanError;
    EXPECT_EQ(ns::toUtf8(c.value->stringValueOrError(stringError)), c.string);
    EXPECT_EQ(errorCode(stringError), c.stringError);
    double number = c.value->doubleValueOrError(numberError);
    if (std::isnan(c.number)) {
      EXPECT_TRUE(std::isnan(number)) << number;
    } else {
      EXPECT_EQ(number, c.number);
      EXPECT_EQ(std::signbit(number), std::signbit(c.number));
    }
    EXPECT_EQ(errorCode(numberError), c.numberError);
    EXPECT_EQ(c.value->booleanValueOrError(booleanError), c.boolean);
    EXPECT_EQ(errorCode(booleanError), c.booleanError);
  }
}

TEST(MSRPRuntimeValueTest, EqualityFollowsEachClass) {
  auto shared = map({{u"a", number(1)}});
  auto selfHolding = std::make_shared<MSRPMapValue>();
  selfHolding->setValue(selfHolding, u"self");
  struct Case {
    const char* what;
    MSRPValueRef a, b;
    bool equal;
  } cases[] = {
      {"undefined and undefined", MSRPUndefinedValue::sharedInstance(), MSRPUndefinedValue::sharedInstance(), true},
      {"undefined and null", MSRPUndefinedValue::sharedInstance(), MSRPNullValue::sharedInstance(), false},
      {"null and false", MSRPNullValue::sharedInstance(), boolean(false), false},
      {"a made true and the shared true", std::make_shared<MSRPBooleanValue>(true), boolean(true), true},
      {"true and 1", boolean(true), number(1), false},
      {"two NaNs", number(kNaN), number(kNaN), true},
      {"0 and -0", number(0), number(-0.0), true},
      {"1 and the string 1", number(1), string(u"1"), false},
      {"equal strings", string(u"ab"), string(u"ab"), true},
      {"maps of equal properties", map({{u"a", number(1)}}), map({{u"a", number(1)}}), true},
      {"maps of different values", map({{u"a", number(1)}}), map({{u"a", number(2)}}), false},
      {"maps of different names", map({{u"a", number(1)}}), map({{u"b", number(1)}}), false},
      {"map and a larger map", map({{u"a", number(1)}}), map({{u"a", number(1)}, {u"b", number(2)}}), false},
      {"a map and itself", shared, shared, true},
      {"a self-holding map and itself", selfHolding, selfHolding, true},
      {"arrays of equal elements", array({number(1), string(u"x")}), array({number(1), string(u"x")}), true},
      {"arrays of two holes", array({MSRPArrayValue::emptyValue()}), array({MSRPArrayValue::emptyValue()}), true},
      {"hole and undefined", array({MSRPArrayValue::emptyValue()}), array({MSRPUndefinedValue::sharedInstance()}),
       false},
      {"arrays of different lengths", array({number(1)}), array({number(1), number(1)}), false},
      {"functions of one name", function(u"f"), function(u"f"), true},
      {"functions without names", function(u""), function(u""), false},
      {"statements alike", statement(u"0", {number(1), statement(u"15", {string(u"x")})}),
       statement(u"0", {number(1), statement(u"15", {string(u"x")})}), true},
      {"statements of other arguments", statement(u"0", {number(1)}), statement(u"0", {number(2)}), false},
      {"returns of equal data", MSRPControlValue::returnValueWithData(number(1)),
       MSRPControlValue::returnValueWithData(number(1)), true},
      {"break and continue", MSRPControlValue::breakValue(), MSRPControlValue::continueValue(), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ns::Error error;
    EXPECT_EQ(c.a->isEqualToRuntimeValue(*c.b, error), c.equal);
    EXPECT_EQ(c.b->isEqualToRuntimeValue(*c.a, error), c.equal);
    EXPECT_EQ(errorCode(error), 0);
  }
  selfHolding->propertyMap().dropReferences();
}

TEST(MSRPRuntimeValueTest, MethodsOfEveryValue) {
  MSRPRuntime runtime;
  auto scope = runtime.getRunScope();
  auto callee = std::make_shared<MSRPFunctionValue>(u"f", std::vector<std::u16string>{u"a"},
                                                    MSRPValueList{read(u"a")}, scope);
  auto withMethods = map({{u"a", number(1)}, {u"f", callee}, {u"n", number(5)}});
  struct Case {
    const char* what;
    MSRPValueRef receiver;
    std::u16string method;
    MSRPValueList arguments;
    std::string result;
    int64_t error = 0;
  } cases[] = {
      {"toString of a number", number(2.5), u"toString", {}, "'2.5'"},
      {"toString ignores arguments", boolean(true), u"toString", {failing(4)}, "'true'"},
      {"toString of a map", withMethods, u"toString", {}, "'[object Object]'"},
      {"toString of a function", callee, u"toString", {}, "'f'"},
      {"toString of an array", array({number(1), number(2)}), u"toString", {}, "'1,2'"},
      {"toString of a statement fails", statement(u"x"), u"toString", {}, "undefined", 5},
      {"toString of null", MSRPNullValue::sharedInstance(), u"toString", {}, "undefined", 7},
      {"any method of undefined", MSRPUndefinedValue::sharedInstance(), u"valueOf", {}, "undefined", 7},
      {"an unknown method", number(1), u"valueOf", {}, "undefined", 17},
      {"a function property is called", withMethods, u"f", {number(9)}, "9"},
      {"a property that is no function", withMethods, u"n", {}, "undefined", 17},
      {"hasOwnProperty of a name held", withMethods, u"hasOwnProperty", {string(u"a")}, "true"},
      {"hasOwnProperty of a name not held", withMethods, u"hasOwnProperty", {string(u"b")}, "false"},
      {"hasOwnProperty of toString", withMethods, u"hasOwnProperty", {string(u"toString")}, "false"},
      {"hasOwnProperty with two arguments", withMethods, u"hasOwnProperty", {string(u"a"), string(u"b")},
       "undefined", 9},
      {"hasOwnProperty with none", withMethods, u"hasOwnProperty", {}, "undefined", 9},
      {"hasOwnProperty of a failing argument", withMethods, u"hasOwnProperty",
       {failing(4)}, "undefined", 4},
      // The key is the argument as passed, not as evaluated: a statement
      // has no string.
      {"hasOwnProperty of a statement", withMethods, u"hasOwnProperty", {statement(u"0", {string(u"a"), string(u"")})},
       "undefined", 5},
      {"hasOwnProperty of a function's property", callee, u"hasOwnProperty", {string(u"a")}, "false"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ns::Error error;
    EXPECT_EQ(describe(c.receiver->applyWithName(c.method, c.arguments, scope, error)), c.result);
    EXPECT_EQ(errorCode(error), c.error);
  }
}

TEST(MSRPPropertyMapTest, FixedNamesAndFrozenMapsIgnoreWrites) {
  MSRPPropertyMap properties;
  properties.setValue(number(1), u"a");
  properties.setImmutableValue(number(2), u"fixed");
  properties.setValue(number(3), u"fixed");
  properties.setImmutableValue(number(4), u"fixed");
  properties.removeValueForName(u"fixed");
  EXPECT_EQ(describe(properties.valueForName(u"fixed")), "2");
  EXPECT_EQ(describe(properties.valueForName(u"missing")), "undefined");
  EXPECT_FALSE(properties.hasName(u"missing"));

  properties.setValue(number(5), u"a");
  properties.setValue(number(6), u"b");
  properties.removeValueForName(u"a");
  properties.setValue(number(7), u"a");
  EXPECT_EQ(properties.allNames(), (std::vector<std::u16string>{u"fixed", u"b", u"a"}));

  properties.makeImmutable();
  EXPECT_TRUE(properties.isImmutable());
  properties.setValue(number(8), u"a");
  properties.setValue(number(9), u"c");
  properties.removeValueForName(u"b");
  EXPECT_EQ(describe(properties.valueForName(u"a")), "7");
  EXPECT_FALSE(properties.hasName(u"c"));
  EXPECT_TRUE(properties.hasName(u"b"));
}

TEST(MSRPPropertyMapTest, ManyNamesKeepTheirOrderAndValues) {
  MSRPPropertyMap properties;
  std::vector<std::u16string> names;
  for (int i = 0; i < 100; ++i) {
    names.push_back(ns::toUtf16("p" + std::to_string((i * 37) % 100)));
    properties.setValue(number(i), names.back());
  }
  properties.removeValueForName(names[10]);
  names.erase(names.begin() + 10);
  EXPECT_EQ(properties.allNames(), names);
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_TRUE(properties.hasName(names[i]));
    EXPECT_EQ(describe(properties.valueForName(names[i])), std::to_string(i < 10 ? i : i + 1));
  }
  EXPECT_FALSE(properties.hasName(u"p10x"));
}

}  // namespace

namespace {

TEST(MSRPValueRoutinesTest, StrictEqualityKindsAndArgumentCounts) {
  auto shared = map({});
  struct Case {
    const char* what;
    MSRPValueRef a, b;
    bool strictlyEqual;
  } cases[] = {
      {"two NaNs", number(kNaN), number(kNaN), false},
      {"1 and 1", number(1), number(1), true},
      {"1 and true", number(1), boolean(true), false},
      {"a made false and the shared false", std::make_shared<MSRPBooleanValue>(false), boolean(false), true},
      {"equal strings", string(u"a"), string(u"a"), true},
      {"two empty maps", map({}), map({}), false},
      {"a map and itself", shared, shared, true},
      {"undefined and undefined", MSRPUndefinedValue::sharedInstance(), MSRPUndefinedValue::sharedInstance(), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ns::Error error;
    EXPECT_EQ(MSRPStrictEquals(*c.a, *c.b, error), c.strictlyEqual);
    EXPECT_EQ(errorCode(error), 0);
  }

  struct Kind {
    const char* what;
    MSRPValueRef value;
    bool stringOrObject, arrayIndex;
  } kinds[] = {
      {"0", number(0), false, true},          {"-0", number(-0.0), false, true},
      {"2.5", number(2.5), false, false},     {"-1", number(-1), false, false},
      {"Infinity", number(kInfinity), false, false},
      {"the string 3", string(u"3"), true, true}, {"the string x", string(u"x"), true, false},
      {"true", boolean(true), false, false},  {"an array", array({}), true, false},
      {"a map", map({}), true, false},        {"a function", function(u"f"), true, false},
      {"null", MSRPNullValue::sharedInstance(), false, false},
  };
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.what);
    EXPECT_EQ(MSRPIsStringOrObjectValue(*k.value), k.stringOrObject);
    EXPECT_EQ(MSRPIsArrayIndexValue(*k.value), k.arrayIndex);
  }

  MSRPValueList two = {number(1), number(2)};
  ns::Error error;
  EXPECT_TRUE(MSRPCheckArgumentCount(two, 2, error));
  EXPECT_TRUE(MSRPCheckMinimumArgumentCount(two, 1, error));
  EXPECT_TRUE(MSRPCheckMaximumArgumentCount(two, 2, error));
  EXPECT_EQ(errorCode(error), 0);
  std::function<bool(ns::Error&)> failing[] = {
      [&](ns::Error& e) { return MSRPCheckArgumentCount(two, 1, e); },
      [&](ns::Error& e) { return MSRPCheckMinimumArgumentCount(two, 3, e); },
      [&](ns::Error& e) { return MSRPCheckMaximumArgumentCount(two, 1, e); },
  };
  for (const auto& check : failing) {
    ns::Error failure;
    EXPECT_FALSE(check(failure));
    EXPECT_EQ(errorCode(failure), 9);
  }
}

}  // namespace

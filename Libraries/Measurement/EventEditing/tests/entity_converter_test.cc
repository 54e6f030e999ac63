// Native objects into runtime values and back, and the type an edited
// event parameter keeps.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

#include "Libraries/Measurement/EventEditing/MSRPArrayValue.h"
#include "Libraries/Measurement/EventEditing/MSRPControlValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPMapValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNullValue.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeEntityConverter.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"
#include "Libraries/Measurement/EventEditing/tests/EvaluatorTestSupport.h"
#include "Platform/Foundation/Date.h"

namespace {

using namespace msrptest;

ns::Value dictionary(std::initializer_list<std::pair<const char*, ns::Value>> entries) {
  ns::Dictionary result;
  for (const auto& [key, value] : entries) result.set(key, value);
  return ns::Value(std::move(result));
}

// An entity with only the fields given (kind first; -1 leaves it unset).
std::shared_ptr<MSRPBRuntimeEntity> entity(int32_t kind, std::optional<std::string> name = std::nullopt,
                                           MSRPBArray arguments = {}) {
  auto e = MSRPBRuntimeEntity::initWithBuffer(std::nullopt);
  if (kind >= 0) MSRPBMessageSetInt32(e.get(), MSRPRuntimeEntityKind, kind);
  if (name) MSRPBMessageSetString(e.get(), MSRPRuntimeEntityCommandName, *name);
  if (!arguments.empty()) MSRPBMessageSetArray(e.get(), MSRPRuntimeEntityArguments, arguments);
  return e;
}

TEST(MSRPRuntimeEntityConverterTest, EntitiesBecomeValuesByTheirKind) {
  auto bad = entity(7);
  struct Case {
    const char* what;
    std::shared_ptr<MSRPBRuntimeEntity> entity;
    std::string value;
    int64_t error = 0;
  } cases[] = {
      {"a string", entityOf(string(u"héllo")), "'héllo'"},
      {"a number", entityOf(number(-2.5)), "-2.5"},
      {"a boolean", entityOf(boolean(true)), "true"},
      {"a statement keeps its arguments unevaluated",
       entityOf(statement(u"22", {number(1), statement(u"nothing", {number(4)})})), "statement 22(1,statement nothing(4))"},
      {"a string without its field is empty", entity(1), "''"},
      {"a number without its field is NaN", entity(2), "NaN"},
      {"a boolean without its field is false", entity(3), "false"},
      {"a statement without a name, even with arguments", entity(4, std::nullopt, {entityOf(number(1))}), "undefined",
       MSRPErrorStatementWithoutName},
      {"a statement with an empty name", entity(4, ""), "statement ()"},
      {"no kind", entity(-1), "undefined", MSRPErrorEntityKind},
      {"kind 0", entity(0), "undefined", MSRPErrorEntityKind},
      {"kind 5", entity(5), "undefined", MSRPErrorEntityKind},
      {"a bad argument fails the statement", entity(4, "0", {entityOf(number(1)), bad}), "undefined",
       MSRPErrorEntityKind},
      {"a nameless statement deep inside", entity(4, "0", {entity(4, "1", {entity(4)})}), "undefined",
       MSRPErrorStatementWithoutName},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ns::Error error;
    EXPECT_EQ(describe(MSRPRuntimeEntityConverter::runtimeValueFromRuntimeEntity(*c.entity, error)), c.value);
    EXPECT_EQ(errorCode(error), c.error);
  }
}

TEST(MSRPRuntimeEntityConverterTest, NativeObjectsBecomeValues) {
  ns::Array list;
  list.push_back(ns::Value(1));
  list.push_back(ns::Value("a"));
  list.push_back(ns::Value(nullptr));
  struct Case {
    const char* what;
    std::optional<ns::Value> object;
    std::string value;
    int64_t error = 0;
  } cases[] = {
      {"absent", std::nullopt, "null"},
      {"null", ns::Value(nullptr), "null"},
      {"a string", ns::Value("héllo"), "'héllo'"},
      {"a bool", ns::Value(true), "true"},
      {"the integer 1 is no boolean", ns::Value(1), "1"},
      {"a float", ns::Value(2.5f), "2.5"},
      {"a double", ns::Value(-0.1), "-0.1"},
      {"a dictionary", dictionary({{"k", ns::Value(false)}, {"n", ns::Value(nullptr)}}), "{'k':false,'n':null}"},
      {"an array", ns::Value(list), "[1,'a',null]"},
      {"data", ns::Value(ns::Data{}), "undefined", MSRPErrorNativeObject},
      {"a date", ns::Value(ns::Date()), "undefined", MSRPErrorNativeObject},
      {"a date inside a dictionary fails all of it", dictionary({{"a", ns::Value(1)}, {"d", ns::Value(ns::Date())}}),
       "undefined", MSRPErrorNativeObject},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ns::Error error;
    MSRPValueRef value = MSRPRuntimeEntityConverter::runtimeValueFromNSObject(c.object ? &*c.object : nullptr, error);
    EXPECT_EQ(describe(value), c.value);
    EXPECT_EQ(errorCode(error), c.error);
  }
}

TEST(MSRPRuntimeEntityConverterTest, ValuesBecomeNativeObjects) {
  auto map = std::make_shared<MSRPMapValue>();
  map->setValue(MSRPNullValue::sharedInstance(), u"gone");
  map->setValue(MSRPUndefinedValue::sharedInstance(), u"empty");
  map->setValue(string(u"42"), u"number");
  auto array = std::make_shared<MSRPArrayValue>(
      MSRPValueList{boolean(true), MSRPNullValue::sharedInstance(), string(u"x"), statement(u"0")});
  ns::Array partial;
  partial.push_back(ns::Value(1.0));
  partial.push_back(ns::Value(nullptr));
  partial.push_back(ns::Value("x"));
  struct Case {
    const char* what;
    MSRPValueRef value;
    std::optional<ns::Value> object;
    int64_t error = 0;
  } cases[] = {
      {"null is absent", MSRPNullValue::sharedInstance(), std::nullopt},
      {"undefined is the empty string", MSRPUndefinedValue::sharedInstance(), ns::Value("")},
      {"true is 1", boolean(true), ns::Value(1.0)},
      {"a numeric string is a number", string(u" 42 "), ns::Value(42.0)},
      {"other strings stay strings", string(u"4x"), ns::Value("4x")},
      {"NaN is its text", number(std::nan("")), ns::Value("NaN")},
      {"a function is its name",
       std::make_shared<MSRPFunctionValue>(u"f", std::vector<std::u16string>{}, MSRPValueList{}, nullptr),
       ns::Value("f")},
      {"a map leaves null out", map, dictionary({{"empty", ns::Value("")}, {"number", ns::Value(42.0)}})},
      {"an array stops after a failing element", array, ns::Value(partial), MSRPErrorNoStringConversion},
      {"a statement fails", statement(u"0"), ns::Value(""), MSRPErrorNoStringConversion},
      {"a control value fails", MSRPControlValue::breakValue(), ns::Value(""), MSRPErrorNoStringConversion},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ns::Error error;
    std::optional<ns::Value> object = MSRPRuntimeEntityConverter::objectFromRuntimeValue(*c.value, error);
    EXPECT_EQ(object.has_value(), c.object.has_value());
    if (object && c.object) {
      EXPECT_EQ(*object, *c.object) << object->description();
      EXPECT_EQ(object->type(), c.object->type());
    }
    EXPECT_EQ(errorCode(error), c.error);
  }
}

TEST(MSRPRuntimeEntityConverterTest, EditedParametersKeepTheirType) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    std::optional<ns::Value> old;
    ns::Value edited;
    ns::Value stored;
  } cases[] = {
      {"value", ns::Value(5), ns::Value(2.7), ns::Value(2)},
      {"value", ns::Value(-5), ns::Value(-2.7), ns::Value(-2)},
      {"_v", ns::Value(5), ns::Value(2.7), ns::Value(5)},
      {"value", ns::Value("x"), ns::Value(3), ns::Value("3")},
      {"value", ns::Value(1.5), ns::Value(3), ns::Value(3)},
      {"value", ns::Value(1.5), ns::Value(2.5), ns::Value(2.5)},
      {"value", std::nullopt, ns::Value(2.5), ns::Value(2.5)},
      {"value", ns::Value(5), ns::Value("text"), ns::Value("text")},
      {"_err", std::nullopt, ns::Value(4.9), ns::Value(4)},
      {"_syn", ns::Value(1.5), ns::Value(-4.9), ns::Value(-4)},
      {"_el", ns::Value("x"), ns::Value(7.0), ns::Value(7)},
      // Beyond the integers: saturated, NaN to 0, never undefined.
      {"value", ns::Value(5), ns::Value(std::nan("")), ns::Value(0)},
      {"value", ns::Value(5), ns::Value(inf), ns::Value(std::numeric_limits<long long>::max())},
      {"value", ns::Value(5), ns::Value(-inf), ns::Value(std::numeric_limits<long long>::min())},
      {"_err", std::nullopt, ns::Value(1e300), ns::Value(std::numeric_limits<long long>::max())},
      {"_el", std::nullopt, ns::Value(-1e300), ns::Value(std::numeric_limits<long long>::min())},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + (c.old ? c.old->description() : "nothing") + " to " +
                 c.edited.description());
    ns::Value stored = MSRPCoerceParameterValue(c.name, c.old ? &*c.old : nullptr, c.edited);
    EXPECT_EQ(stored, c.stored) << stored.description();
    EXPECT_EQ(stored.type(), c.stored.type());
  }
}

}  // namespace

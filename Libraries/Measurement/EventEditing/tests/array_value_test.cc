// Arrays: positions with holes through the property operations, and the
// sort, which survives any comparator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPArrayValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntime.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"
#include "Libraries/Measurement/EventEditing/tests/EvaluatorTestSupport.h"

namespace {

using namespace msrptest;

std::string names(const MSRPValueList& values) {
  std::string text;
  for (const MSRPValueRef& value : values) text += (text.empty() ? "" : " ") + describe(value);
  return text;
}

// The positions' texts, "_" for a hole.
std::string positions(const MSRPArrayValue& array) {
  std::string text;
  for (const MSRPValueRef& value : array.positions()) {
    text += (text.empty() ? "" : " ") + (value == MSRPArrayValue::emptyValue() ? std::string("_") : describe(value));
  }
  return text;
}

TEST(MSRPArrayValueTest, HolesThroughThePropertyOperations) {
  MSRPRuntime runtime;
  MSRPHeapActivation activation = runtime.activateHeap();
  auto array = std::make_shared<MSRPArrayValue>();
  ns::Error error;
  array->setValue(string(u"x"), *number(5), error);
  array->setValue(number(1), *string(u"1"), error);
  array->setValue(number(2), *string(u"p"), error);
  ASSERT_EQ(errorCode(error), 0);
  EXPECT_EQ(array->count(), 6u);
  EXPECT_EQ(positions(*array), "_ 1 _ _ _ 'x'");
  EXPECT_EQ(names(array->allElements()), "undefined 1 undefined undefined undefined 'x'");
  EXPECT_EQ(names(array->allPropertyNames()), "'p' '1' '5'");
  EXPECT_FALSE(array->hasProperty(*number(0), error));
  EXPECT_TRUE(array->hasProperty(*string(u"5"), error));
  EXPECT_FALSE(array->hasProperty(*string(u"length"), error));
  EXPECT_EQ(describe(array->valueForProperty(*string(u"length"), error)), "6");
  EXPECT_EQ(describe(array->valueForProperty(*number(1e300), error)), "undefined");

  array->removeValueForProperty(*number(1), error);
  array->removeValueForProperty(*number(9), error);
  array->removeValueForProperty(*string(u"p"), error);
  EXPECT_EQ(positions(*array), "_ _ _ _ _ 'x'");
  EXPECT_EQ(names(array->allPropertyNames()), "'5'");

  // Two holes are equal; a hole and undefined are not.
  auto same = std::make_shared<MSRPArrayValue>();
  same->setValue(string(u"x"), *number(5), error);
  EXPECT_TRUE(array->isEqualToRuntimeValue(*same, error));
  same->setValue(MSRPUndefinedValue::sharedInstance(), *number(0), error);
  EXPECT_FALSE(array->isEqualToRuntimeValue(*same, error));

  // Ranges clamp, whatever the 64-bit numbers, and keep holes.
  EXPECT_EQ(positions(*array->subarrayWithRange(4, std::numeric_limits<int64_t>::max(), error)), "_ 'x'");
  EXPECT_EQ(positions(*array->subarrayWithRange(-9, 2, error)), "_ _");
  MSRPArrayValue removed(array->spliceFrom(std::numeric_limits<int64_t>::min(), 5, {number(7)}, error));
  EXPECT_EQ(positions(removed), "_ _ _ _ _");
  EXPECT_EQ(positions(*array), "7 'x'");
  array->spliceFrom(std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::max(), {number(8)}, error);
  EXPECT_EQ(positions(*array), "7 'x' 8");
  EXPECT_EQ(errorCode(error), 0);
}

// A sorted copy's multiset of texts, to compare what a sort kept.
std::vector<std::string> contents(const MSRPArrayValue& array) {
  std::vector<std::string> texts;
  for (const MSRPValueRef& value : array.positions()) texts.push_back(describe(value));
  std::sort(texts.begin(), texts.end());
  return texts;
}

TEST(MSRPArrayValueTest, TheSortSurvivesAComparatorThatAnswersAtRandomOrChangesTheArray) {
  MSRPRuntime runtime;
  MSRPHeapActivation activation = runtime.activateHeap();
  auto scope = runtime.getRunScope();
  std::mt19937 random(42);
  auto array = std::make_shared<MSRPArrayValue>();
  std::weak_ptr<MSRPArrayValue> weakArray = array;
  int calls = 0;
  struct Case {
    const char* what;
    std::function<MSRPValueRef(const MSRPValueList&)> comparator;
  } cases[] = {
      {"answers at random",
       [&](const MSRPValueList&) { return number(double(int(random() % 3) - 1)); }},
      {"answers at random, sometimes NaN or no number",
       [&](const MSRPValueList&) {
         unsigned r = random() % 4;
         return r == 0 ? string(u"x") : r == 1 ? MSRPUndefinedValue::sharedInstance() : number(r == 2 ? 1e300 : -1);
       }},
      {"pushes and pops the array it sorts",
       [&](const MSRPValueList&) {
         ns::Error ignored;
         auto sorted = weakArray.lock();
         if (++calls % 2) {
           sorted->appendElements({number(999)}, ignored);
         } else {
           sorted->removeLastElement();
           sorted->removeFirstElement();
         }
         return number(double(int(random() % 3) - 1));
       }},
      {"empties the array it sorts",
       [&](const MSRPValueList&) {
         ns::Error ignored;
         weakArray.lock()->setLength(0, ignored);
         return number(1);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ns::Error error;
    MSRPValueList values;
    for (int i = 0; i < 300; ++i) values.push_back(number(i % 37));
    values.push_back(MSRPUndefinedValue::sharedInstance());
    array->setLength(0, error);
    array->appendElements(values, error);
    array->setLength(310, error);  // holes at the end
    std::vector<std::string> before = contents(*array);
    array->sortUsingFunctionValue(nativeFunction(u"compare", c.comparator), scope, error);
    EXPECT_EQ(errorCode(error), 0);
    // The sorted copy is written back: the same positions, holes last.
    EXPECT_EQ(contents(*array), before);
    ASSERT_EQ(array->count(), 310u);
    EXPECT_EQ(array->positions()[300], MSRPUndefinedValue::sharedInstance());
    EXPECT_EQ(array->positions()[309], MSRPArrayValue::emptyValue());
  }
}

TEST(MSRPArrayValueTest, TheSortKeepsEqualPositionsInOrderAndNeverHandsHolesOrUndefinedToTheComparator) {
  MSRPRuntime runtime;
  MSRPHeapActivation activation = runtime.activateHeap();
  ns::Error error;
  auto array = std::make_shared<MSRPArrayValue>(
      MSRPValueList{string(u"b1"), MSRPUndefinedValue::sharedInstance(), string(u"a1"), string(u"b2"), string(u"a2")});
  array->setLength(7, error);
  std::string seen;
  // Orders by the first letter only.
  auto byLetter = nativeFunction(u"byLetter", [&](const MSRPValueList& a) {
    ns::Error ignored;
    std::u16string x = a[0]->stringValueOrError(ignored);
    std::u16string y = a[1]->stringValueOrError(ignored);
    if (x == u"undefined" || y == u"undefined") seen += "undefined ";
    return number(double(int(x[0]) - int(y[0])));
  });
  array->sortUsingFunctionValue(byLetter, runtime.getRunScope(), error);
  EXPECT_EQ(errorCode(error), 0);
  EXPECT_EQ(positions(*array), "'a1' 'a2' 'b1' 'b2' undefined _ _");
  EXPECT_EQ(seen, "");
}

}  // namespace

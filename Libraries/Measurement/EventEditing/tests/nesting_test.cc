// The one bound on nesting: a tree, a recursion or a value holding itself
// ends with error 19 at MSRPMaxNestingDepth levels instead of running off
// the native stack, and the deepest tree that may run fits a dispatch
// worker's stack twice over.
#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdio>
#include <future>
#include <string>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPArrayValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPMapValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNestingGuard.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntime.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeEntityConverter.h"
#include "Libraries/Measurement/EventEditing/tests/EvaluatorTestSupport.h"
#include "Libraries/WireMessages/MSRPBMessageInfo.h"
#include "Platform/Dispatch/Queue.h"

namespace {

using namespace msrptest;

// `levels` sequences ("13"), each the only argument of the one above,
// around a call of probe(): the probe runs at nesting depth levels + 1.
MSRPValueRef tree(int levels) {
  MSRPValueRef value = statement(u"probe");
  for (int i = 0; i < levels; ++i) value = statement(u"13", {value});
  return value;
}

size_t stackSizeOfThisThread() {
  pthread_attr_t attributes;
  size_t size = 0;
  if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
    pthread_attr_getstacksize(&attributes, &size);
    pthread_attr_destroy(&attributes);
  }
  return size;
}

class MSRPNestingGuardTest : public ::testing::Test {
 protected:
  void SetUp() override { installTestFunctions(runtime.globalScope()); }
  MSRPRuntime runtime;
};

TEST_F(MSRPNestingGuardTest, ATreeAtTheCapRunsAndOneLevelDeeperFails) {
  static_assert(MSRPMaxNestingDepth > 2 * MSRPBMaxNestingDepth, "the deepest decoded program must run in a callback");
  ns::Error error;
  MSRPEvaluator::evaluateStatement(tree(MSRPMaxNestingDepth - 1), runtime.getRunScope(), error);
  EXPECT_EQ(errorCode(error), 0);
  EXPECT_EQ(lastProbe().depth, MSRPMaxNestingDepth);

  ns::Error deeper;
  EXPECT_EQ(describe(MSRPEvaluator::evaluateStatement(tree(MSRPMaxNestingDepth), runtime.getRunScope(), deeper)),
            "undefined");
  EXPECT_EQ(errorCode(deeper), MSRPErrorNestingTooDeep);
  EXPECT_EQ(MSRPNestingGuard::currentDepth(), 0);
}

TEST_F(MSRPNestingGuardTest, TheDeepestDecodedProgramRunsAndADeeperTreeFailsToConvert) {
  // The deepest chain of statements a Program still decodes with.
  std::shared_ptr<MSRPBProgram> deepest;
  int levels = MSRPBMaxNestingDepth + 1;
  for (; levels > 0 && !deepest; --levels) {
    auto program = MSRPBProgram::initWithBuffer(std::nullopt);
    MSRPBMessageSetArray(program.get(), 0, {entityOf(tree(levels))});
    if (std::optional<ns::Data> bytes = program->protoBuffer()) deepest = MSRPBProgram::initWithBuffer(*bytes);
  }
  ASSERT_TRUE(deepest);
  EXPECT_GE(levels + 1, MSRPBMaxNestingDepth - 1);
  std::optional<MSRPBArray> statements = MSRPBMessageGetArray<MSRPBRuntimeEntity>(deepest.get(), 0);
  ASSERT_TRUE(statements);
  ns::Error error;
  runtime.executeStatements(*statements, error);
  EXPECT_EQ(errorCode(error), 0);
  EXPECT_EQ(lastProbe().depth, levels + 2);

  ns::Error tooDeep;
  EXPECT_EQ(describe(MSRPRuntimeEntityConverter::runtimeValueFromRuntimeEntity(*entityOf(tree(MSRPMaxNestingDepth)),
                                                                               tooDeep)),
            "undefined");
  EXPECT_EQ(errorCode(tooDeep), MSRPErrorNestingTooDeep);
  ns::Error atTheCap;
  MSRPRuntimeEntityConverter::runtimeValueFromRuntimeEntity(*entityOf(tree(MSRPMaxNestingDepth - 1)), atTheCap);
  EXPECT_EQ(errorCode(atTheCap), 0);
}

TEST_F(MSRPNestingGuardTest, EndlessRecursionFailsBeforeTheInstructionLimit) {
  // function f() { f() }, and a function that calls itself through an
  // argument: f(f(...)).
  struct Case {
    const char* what;
    MSRPValueList body;
  } cases[] = {
      {"in its body", {statement(u"f")}},
      {"in its own argument", {statement(u"f", {statement(u"f")})}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    runtime.resetInstructionCount();
    ns::Error error;
    MSRPEvaluator::executeStatements({declare(u"f", function(u"f", {}, c.body)), statement(u"f")},
                                     runtime.getRunScope(), error);
    EXPECT_EQ(errorCode(error), MSRPErrorNestingTooDeep);
    EXPECT_EQ(MSRPNestingGuard::currentDepth(), 0);
    ns::Error count;
    EXPECT_LT(runtime.getInstructionCount(count), MSRPInstructionLimit);
  }
}

TEST_F(MSRPNestingGuardTest, ValuesHoldingThemselvesFailToConvertAndCompare) {
  MSRPHeapActivation activation = runtime.activateHeap();
  auto map = std::make_shared<MSRPMapValue>();
  map->setValue(map, u"self");
  auto inner = std::make_shared<MSRPMapValue>();
  auto array = std::make_shared<MSRPArrayValue>(MSRPValueList{number(1), inner});
  inner->setValue(array, u"array");
  auto other = std::make_shared<MSRPMapValue>();
  other->setValue(other, u"self");

  ns::Error toDictionary;
  MSRPRuntimeEntityConverter::dictionaryFromMapValue(*map, toDictionary);
  EXPECT_EQ(errorCode(toDictionary), MSRPErrorNestingTooDeep);
  ns::Error toArray;
  MSRPRuntimeEntityConverter::objectFromRuntimeValue(*array, toArray);
  EXPECT_EQ(errorCode(toArray), MSRPErrorNestingTooDeep);
  ns::Error compared;
  EXPECT_FALSE(map->isEqualToRuntimeValue(*other, compared));
  EXPECT_EQ(errorCode(compared), MSRPErrorNestingTooDeep);
  EXPECT_EQ(MSRPNestingGuard::currentDepth(), 0);
}

TEST_F(MSRPNestingGuardTest, NativeObjectsNestUpToTheCap) {
  auto nested = [](int levels) {
    ns::Value value(1.0);
    for (int i = 0; i < levels; ++i) {
      ns::Dictionary dictionary;
      dictionary.set("k", std::move(value));
      value = ns::Value(std::move(dictionary));
    }
    return value;
  };
  ns::Value atTheCap = nested(MSRPMaxNestingDepth);
  ns::Error error;
  MSRPValueRef converted = MSRPRuntimeEntityConverter::runtimeValueFromNSObject(&atTheCap, error);
  EXPECT_EQ(errorCode(error), 0);
  ns::Error back;
  EXPECT_EQ(MSRPRuntimeEntityConverter::objectFromRuntimeValue(*converted, back), atTheCap);
  EXPECT_EQ(errorCode(back), 0);

  ns::Value deeper = nested(MSRPMaxNestingDepth + 1);
  ns::Error tooDeep;
  EXPECT_EQ(describe(MSRPRuntimeEntityConverter::runtimeValueFromNSObject(&deeper, tooDeep)), "undefined");
  EXPECT_EQ(errorCode(tooDeep), MSRPErrorNestingTooDeep);
}

TEST_F(MSRPNestingGuardTest, TheDeepestProgramsUseUnderHalfOfAWorkersStack) {
  // Each program nests until the cap by another path, calling probe() at
  // every level; the deepest probe and one at the top give the stack used
  // per level.
  auto call = [](const std::u16string& name, MSRPValueList arguments = {}) { return statement(name, std::move(arguments)); };
  auto method = [](MSRPValueRef object, const std::u16string& name, MSRPValueList arguments) {
    return statement(u"2", {std::move(object), string(name), statement(u"7", std::move(arguments))});
  };
  auto recursive = [&](MSRPValueRef recursion, std::vector<std::u16string> parameters = {}) {
    return MSRPValueList{declare(u"f", function(u"f", parameters, {call(u"probe"), std::move(recursion)})), call(u"f")};
  };
  struct Case {
    const char* path;
    MSRPValueList program;
  } cases[] = {
      {"nested sequences", {tree(MSRPMaxNestingDepth - 1)}},
      {"a call", recursive(call(u"f"))},
      {"a call in an argument", recursive(call(u"f", {call(u"f")}))},
      {"forEach", recursive(method(statement(u"7", {number(1)}), u"forEach", {read(u"f")}))},
      {"a sort's comparator", recursive(method(statement(u"7", {number(1), number(2)}), u"sort", {read(u"f")}), {u"a", u"b"})},
      {"reduce", recursive(method(statement(u"7", {number(1)}), u"reduce", {read(u"f"), number(0)}))},
      {"a method of a map",
       {declare(u"m", statement(u"8")),
        statement(u"43", {read(u"m"), string(u"g"),
                          function(u"g", {}, {call(u"probe"), method(read(u"m"), u"g", {})})}),
        method(read(u"m"), u"g", {})}},
      {"a loop's body", recursive(statement(u"42", {boolean(false), statement(u"44"), boolean(true),
                                                   statement(u"46", {call(u"f")})}))},
      {"for-of", recursive(statement(u"66", {string(u"x"), statement(u"7", {number(1)}),
                                             statement(u"46", {call(u"f")})}))},
      {"a conditional block", recursive(statement(u"22", {boolean(true), statement(u"46", {call(u"f")})}))},
      {"a switch", recursive(statement(u"38", {number(1), statement(u"7", {number(1)}),
                                               statement(u"46", {call(u"f")})}))},
  };
  struct Figure {
    std::string path;
    double bytesPerLevel = 0;
    int32_t deepest = 0;
  };
  struct Figures {
    size_t stack = 0;
    std::vector<Figure> paths;
  };
  // Measured on a real worker.
  std::promise<Figures> measured;
  auto queue = dispatch::Queue::serial("test.evaluator.nesting");
  queue->async([&] {
    Figures figures;
    figures.stack = stackSizeOfThisThread();
    for (const auto& c : cases) {
      runtime.resetInstructionCount();
      ns::Error error;
      MSRPEvaluator::evaluateStatement(tree(0), runtime.getRunScope(), error);
      Probe top = lastProbe();
      MSRPEvaluator::executeStatements(c.program, runtime.getRunScope(), error);
      Probe deepest = lastProbe();
      Figure figure{c.path, 0, deepest.depth};
      if (deepest.depth > top.depth) {
        figure.bytesPerLevel = double(top.frame - deepest.frame) / double(deepest.depth - top.depth);
      }
      figures.paths.push_back(figure);
    }
    measured.set_value(figures);
  });
  Figures figures = measured.get_future().get();
  ASSERT_GT(figures.stack, 0u);
  for (const Figure& figure : figures.paths) {
    SCOPED_TRACE(figure.path);
    double deepestUse = figure.bytesPerLevel * MSRPMaxNestingDepth;
    std::printf("nesting through %s: %.0f bytes of stack per level, %.0f at the cap of %d, worker stack %zu\n",
                figure.path.c_str(), figure.bytesPerLevel, deepestUse, MSRPMaxNestingDepth, figures.stack);
    EXPECT_GE(figure.deepest, MSRPMaxNestingDepth - 8);
    EXPECT_GT(figure.bytesPerLevel, 0);
    EXPECT_LT(deepestUse, figures.stack / 2.0);
  }
}

}  // namespace

// The one bound on nesting: a tree, a recursion or a value holding itself
// ends with error 19 at MSRPMaxNestingDepth levels instead of running off
// the native stack, and the deepest tree that may run fits a dispatch
// worker's stack twice over.
#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdio>
#include <future>
#include <string>

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

TEST_F(MSRPNestingGuardTest, TheDeepestTreeUsesUnderHalfOfAWorkersStack) {
  struct Figures {
    size_t stack = 0;
    double bytesPerLevel = 0;
  };
  // Measured on a real worker: its stack, and the frames a probe sees at
  // depth 1 and at the cap.
  std::promise<Figures> measured;
  auto queue = dispatch::Queue::serial("test.evaluator.nesting");
  queue->async([&] {
    Figures figures;
    figures.stack = stackSizeOfThisThread();
    ns::Error error;
    MSRPEvaluator::evaluateStatement(tree(0), runtime.getRunScope(), error);
    Probe top = lastProbe();
    MSRPEvaluator::evaluateStatement(tree(MSRPMaxNestingDepth - 1), runtime.getRunScope(), error);
    Probe deepest = lastProbe();
    if (!MSRPHasError(error) && deepest.depth > top.depth) {
      figures.bytesPerLevel = double(top.frame - deepest.frame) / double(deepest.depth - top.depth);
    }
    measured.set_value(figures);
  });
  Figures figures = measured.get_future().get();
  double deepestUse = figures.bytesPerLevel * MSRPMaxNestingDepth;
  std::printf("nesting: %.0f bytes of stack per level, %.0f at the cap of %d, worker stack %zu\n",
              figures.bytesPerLevel, deepestUse, MSRPMaxNestingDepth, figures.stack);
  ASSERT_GT(figures.stack, 0u);
  ASSERT_GT(figures.bytesPerLevel, 0);
  EXPECT_LT(deepestUse, figures.stack / 2.0);
}

}  // namespace

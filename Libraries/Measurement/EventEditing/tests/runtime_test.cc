// The runtime: its scopes, "require" in the global scope, and the
// instruction limit that no program can stop.
#include <gtest/gtest.h>

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPRequire.h"
#include "Libraries/Measurement/EventEditing/MSRPRunBudget.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntime.h"
#include "Libraries/Measurement/EventEditing/tests/EvaluatorTestSupport.h"

namespace {

using namespace msrptest;

class MSRPRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override { installTestFunctions(runtime.globalScope()); }
  int32_t count() const {
    ns::Error error;
    int32_t instructions = runtime.getInstructionCount(error);
    EXPECT_EQ(errorCode(error), 0);
    return instructions;
  }
  MSRPRuntime runtime;
};

TEST_F(MSRPRuntimeTest, ScopesAndTheRequireFunction) {
  EXPECT_EQ(runtime.globalScope()->parentScope(), runtime.initialScope());
  EXPECT_EQ(runtime.initialScope()->parentScope(), nullptr);
  auto run = runtime.getRunScope();
  EXPECT_EQ(run->parentScope(), runtime.globalScope());
  EXPECT_NE(run, runtime.getRunScope());
  EXPECT_NE(MSRPValueAs<MSRPRequire>(runtime.globalScope()->valueForName(u"require")), nullptr);
  EXPECT_FALSE(runtime.initialScope()->hasName(u"require"));
  // A name declared in a run vanishes with it; nothing names the count.
  run->addValue(number(1), u"x");
  EXPECT_FALSE(runtime.getRunScope()->hasName(u"x"));
  EXPECT_FALSE(run->hasName(u"runtime.counter"));
  EXPECT_EQ(count(), 0);
}

TEST_F(MSRPRuntimeTest, AMillionEvaluationsPassAndTheNextFails) {
  MSRPValueRef literal = number(1);
  MSRPValueList million(MSRPInstructionLimit, literal);
  ns::Error error;
  EXPECT_EQ(describe(MSRPEvaluator::executeStatements(million, runtime.globalScope(), error)), "1");
  EXPECT_EQ(errorCode(error), 0);
  EXPECT_EQ(count(), MSRPInstructionLimit);
  EXPECT_EQ(describe(MSRPEvaluator::evaluateStatement(literal, runtime.getRunScope(), error)), "undefined");
  EXPECT_EQ(errorCode(error), MSRPErrorInstructionLimit);
  EXPECT_EQ(count(), MSRPInstructionLimit);

  runtime.resetInstructionCount();
  EXPECT_EQ(count(), 0);
  ns::Error again;
  MSRPEvaluator::executeStatements(million, runtime.getRunScope(), again);
  EXPECT_EQ(errorCode(again), 0);
}

TEST_F(MSRPRuntimeTest, ProgramsThatWriteOrShadowTheCounterNameStillEndAtTheLimit) {
  // for (; true; undefined) { body }
  auto forever = [](MSRPValueList body) {
    return statement(u"42", {boolean(true), statement(u"44"), boolean(false), statement(u"46", std::move(body))});
  };
  MSRPValueRef assignZero = assign(u"runtime.counter", number(0));
  MSRPValueRef declareZero = declare(u"runtime.counter", number(0));
  MSRPValueRef constantZero = statement(u"52", {string(u"runtime.counter"), number(0)});
  struct Case {
    const char* what;
    MSRPValueList program;
  } cases[] = {
      {"assigning 0 in the loop", {declareZero, forever({assignZero})}},
      {"declaring it a constant first", {constantZero, forever({assignZero})}},
      {"declaring it in every round", {forever({declareZero})}},
      {"declaring it in a block of every round", {forever({statement(u"53", {constantZero})})}},
      {"an endless loop of nothing", {forever({})}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    runtime.resetInstructionCount();
    ns::Error error;
    MSRPEvaluator::executeStatements(c.program, runtime.getRunScope(), error);
    EXPECT_EQ(errorCode(error), MSRPErrorInstructionLimit);
    EXPECT_EQ(count(), MSRPInstructionLimit);
  }
}

TEST_F(MSRPRuntimeTest, TopLevelStatementsStopAtAnErrorButNotAtAControlValue) {
  resetEvaluationCount();
  ns::Error error;
  EXPECT_EQ(describe(runtime.executeStatements(
                entitiesOf({statement(u"count"), failing(5), statement(u"count")}),
                error)),
            "undefined");
  EXPECT_EQ(errorCode(error), 5);
  EXPECT_EQ(evaluationCount(), 1);
  // An error left over stops the next list before its first statement.
  runtime.executeStatements(entitiesOf({statement(u"count")}), error);
  EXPECT_EQ(evaluationCount(), 1);

  ns::Error none;
  EXPECT_EQ(describe(runtime.executeStatements(
                entitiesOf({declare(u"g", number(1)), statement(u"36", {number(2)}), read(u"g")}),
                none)),
            "1");
  EXPECT_EQ(errorCode(none), 0);
  // Top-level declarations stay in the global scope for later runs.
  EXPECT_EQ(describe(runtime.getRunScope()->valueForName(u"g")), "1");
}

TEST_F(MSRPRuntimeTest, AChainOfItsOwnCountsOnItsOwnRoot) {
  auto root = std::make_shared<MSRPScope>(nullptr);
  ns::Error error;
  MSRPEvaluator::executeStatements({number(1), number(2)}, root->createChildScope(), error);
  EXPECT_EQ(root->runBudget().instructionCount(), 2);
  EXPECT_EQ(count(), 0);
}

}  // namespace

// Dispatch of statements, statement lists and argument lists.
#include <gtest/gtest.h>

#include "Libraries/Measurement/EventEditing/MSRPCommandRegistrar.h"
#include "Libraries/Measurement/EventEditing/MSRPControlValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntime.h"
#include "Libraries/Measurement/EventEditing/tests/EvaluatorTestSupport.h"

namespace {

using namespace msrptest;

class MSRPEvaluatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installTestFunctions(scope);
    resetEvaluationCount();
  }
  MSRPRuntime runtime;
  std::shared_ptr<MSRPScope> scope = runtime.getRunScope();
};

TEST_F(MSRPEvaluatorTest, StatementsGoToTheirEvaluatorOrToAFunctionOfTheirName) {
  scope->addValue(number(5), u"notAFunction");
  auto x = read(u"x");
  ns::Error definition;
  MSRPEvaluator::evaluateStatement(declare(u"twice", function(u"twice", {u"x"}, {statement(u"0", {x, x})})), scope,
                                   definition);
  ASSERT_EQ(errorCode(definition), 0);
  struct Case {
    const char* what;
    MSRPValueRef statement;
    std::string result;
    int64_t error = 0;
    long evaluations = 0;  // of count() among the arguments
  } cases[] = {
      {"a literal is itself", number(3), "3"},
      {"a registered code", statement(u"0", {number(1), number(2)}), "3"},
      {"a name bound to a function calls it", statement(u"twice", {number(4)}), "8"},
      {"an unbound name gives undefined and never runs its arguments",
       statement(u"nobody", {statement(u"count"), failing(4)}), "undefined"},
      {"a name bound to another value likewise", statement(u"notAFunction", {statement(u"count")}),
       "undefined"},
      {"an unbound name that is a command code of no evaluator", statement(u"31", {statement(u"count")}),
       "undefined"},
      {"a failing eager argument stops the others",
       statement(u"0", {failing(4), statement(u"count")}), "undefined", 4},
      {"arguments evaluate left to right",
       statement(u"0", {statement(u"count"), statement(u"count")}), "3", 0, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    resetEvaluationCount();
    ns::Error error;
    EXPECT_EQ(describe(MSRPEvaluator::evaluateStatement(c.statement, scope, error)), c.result);
    EXPECT_EQ(errorCode(error), c.error);
    EXPECT_EQ(evaluationCount(), c.evaluations);
  }
}

TEST_F(MSRPEvaluatorTest, AnErrorAlreadySetStopsTheNextStatement) {
  ns::Error error;
  MSRPSetError(error, MSRPErrorArgumentKind);
  EXPECT_EQ(describe(MSRPEvaluator::evaluateStatement(statement(u"count"), scope, error)), "undefined");
  EXPECT_EQ(describe(MSRPEvaluator::evaluateStatement(number(1), scope, error)), "undefined");
  EXPECT_EQ(evaluationCount(), 0);
  EXPECT_EQ(errorCode(error), 10);
}

TEST_F(MSRPEvaluatorTest, ListsStopAtAnErrorOrAControlValue) {
  struct Case {
    const char* what;
    MSRPValueList statements;
    std::string result;
    int64_t error;
    long evaluations;
  } cases[] = {
      {"an empty list", {}, "undefined", 0, 0},
      {"the last value", {number(1), statement(u"count"), string(u"last")}, "'last'", 0, 1},
      {"an error stops the list",
       {statement(u"count"), failing(3), statement(u"count")}, "undefined", 3, 1},
      {"break stops it and is the result", {statement(u"4"), statement(u"count")}, "break", 0, 0},
      {"continue likewise", {statement(u"count"), statement(u"6"), statement(u"count")},
       "continue", 0, 1},
      {"return likewise", {statement(u"36", {number(7)}), statement(u"count")}, "return 7", 0, 0},
      {"the shared break value as a literal", {MSRPControlValue::breakValue(), statement(u"count")}, "break", 0,
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    resetEvaluationCount();
    ns::Error error;
    MSRPValueRef result = MSRPEvaluator::executeStatements(c.statements, scope, error);
    EXPECT_EQ(describe(result), c.result);
    EXPECT_EQ(errorCode(error), c.error);
    EXPECT_EQ(evaluationCount(), c.evaluations);
  }
  ns::Error error;
  EXPECT_EQ(MSRPEvaluator::executeStatements({MSRPControlValue::breakValue()}, scope, error),
            MSRPControlValue::breakValue());
}

TEST_F(MSRPEvaluatorTest, ArgumentListsKeepTheFailingArgumentsUndefined) {
  ns::Error error;
  MSRPValueList values = MSRPEvaluateArguments(
      {number(1), failing(4), statement(u"count")}, scope, error);
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(describe(values[0]), "1");
  EXPECT_EQ(describe(values[1]), "undefined");
  EXPECT_EQ(errorCode(error), 4);
  EXPECT_EQ(evaluationCount(), 0);
}

TEST_F(MSRPEvaluatorTest, ALaterRegistrationOfACodeReplacesTheEarlier) {
  class Answer final : public MSRPTableCommandEvaluator {
   public:
    explicit Answer(MSRPCommandHandler handler)
        : MSRPTableCommandEvaluator(Style::Lazy, {{u"test.replaced", handler}}) {}
  };
  auto one = [](const MSRPValueList&, const std::shared_ptr<MSRPScope>&, ns::Error&) { return number(1); };
  auto two = [](const MSRPValueList&, const std::shared_ptr<MSRPScope>&, ns::Error&) { return number(2); };
  MSRPCommandRegistrar::sharedInstance().registerEvaluator(std::make_shared<Answer>(one));
  MSRPCommandRegistrar::sharedInstance().registerEvaluator(std::make_shared<Answer>(two));
  ns::Error error;
  EXPECT_EQ(describe(MSRPEvaluator::evaluateStatement(statement(u"test.replaced"), scope, error)), "2");
  EXPECT_EQ(MSRPCommandEvaluator().allSupportedCommands().size(), 0u);
  EXPECT_EQ(describe(MSRPCommandEvaluator().evaluateCommand(u"x", {}, scope, error)), "undefined");
}

}  // namespace

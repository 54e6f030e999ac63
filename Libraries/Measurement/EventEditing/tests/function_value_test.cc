// Function values: calls and their arities, closures, what a body gives,
// and "require" with its modules.
#include <gtest/gtest.h>

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPMapValue.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntime.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimePlatform.h"
#include "Libraries/Measurement/EventEditing/tests/EvaluatorTestSupport.h"

namespace {

using namespace msrptest;

class MSRPFunctionValueTest : public ::testing::Test {
 protected:
  void SetUp() override { installTestFunctions(runtime.globalScope()); }
  // Runs the statements in a fresh run scope.
  std::string run(MSRPValueList statements, int64_t expectedError = 0) {
    ns::Error error;
    MSRPValueRef result = MSRPEvaluator::executeStatements(statements, runtime.getRunScope(), error);
    EXPECT_EQ(errorCode(error), expectedError);
    return describe(result);
  }
  MSRPRuntime runtime;
};

TEST_F(MSRPFunctionValueTest, ParametersTakeTheirArgumentsOrUndefined) {
  auto pair = declare(u"pair", function(u"pair", {u"a", u"b"}, {statement(u"7", {read(u"a"), read(u"b")})}));
  struct Case {
    const char* what;
    MSRPValueList arguments;
    std::string result;
  } cases[] = {
      {"two for two", {number(1), number(2)}, "[1,2]"},
      {"one for two", {number(1)}, "[1,undefined]"},
      {"none", {}, "[undefined,undefined]"},
      {"three for two", {number(1), number(2), statement(u"count")}, "[1,2]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    resetEvaluationCount();
    EXPECT_EQ(run({pair, statement(u"pair", c.arguments)}), c.result);
    // An extra argument is still evaluated, then dropped.
    EXPECT_EQ(evaluationCount(), c.arguments.size() == 3 ? 1 : 0);
  }
}

TEST_F(MSRPFunctionValueTest, WhatABodyGives) {
  struct Case {
    const char* what;
    MSRPValueList body;
    std::string result;
    int64_t error = 0;
  } cases[] = {
      {"the last statement's value without return", {number(1), statement(u"0", {number(1), number(1)})}, "2"},
      {"a return's data", {statement(u"36", {number(5)}), number(6)}, "5"},
      {"a return without data", {statement(u"36")}, "undefined"},
      {"a break ending the body is returned as it is", {statement(u"4"), number(6)}, "break"},
      {"continue likewise", {statement(u"6")}, "continue"},
      {"an empty body", {}, "undefined"},
      {"an error inside", {failing(16), number(1)}, "undefined", 16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(run({declare(u"f", function(u"f", {}, c.body)), statement(u"f")}, c.error), c.result);
  }
}

TEST_F(MSRPFunctionValueTest, AFailingArgumentStopsTheCallBeforeTheBody) {
  resetEvaluationCount();
  EXPECT_EQ(run({declare(u"f", function(u"f", {u"a"}, {statement(u"count")})),
                 statement(u"f", {failing(4)})},
                4),
            "undefined");
  EXPECT_EQ(evaluationCount(), 0);
}

TEST_F(MSRPFunctionValueTest, ClosuresKeepReadingAndAssigningTheirScope) {
  // function counter() { var n = 0; return function next() { n = n + 1; return n } }
  auto next = function(u"next", {}, {assign(u"n", statement(u"0", {read(u"n"), number(1)})),
                                      statement(u"36", {read(u"n")})});
  auto counter = function(u"counter", {}, {declare(u"n", number(0)), statement(u"36", {next})});
  EXPECT_EQ(run({declare(u"counter", counter), declare(u"a", statement(u"counter")), declare(u"b", statement(u"counter")),
                 statement(u"a"), statement(u"a"), statement(u"b"),
                 statement(u"7", {statement(u"a"), statement(u"b"), read(u"n")})}),
            "[3,2,undefined]");
}

TEST_F(MSRPFunctionValueTest, AssignmentInsideReachesTheGlobalNameAndDeclarationShadowsIt) {
  runtime.globalScope()->addValue(number(1), u"g");
  run({declare(u"set", function(u"set", {}, {assign(u"g", number(2))})),
       declare(u"shadow", function(u"shadow", {}, {declare(u"g", number(3)), assign(u"g", number(4))})),
       statement(u"set"), statement(u"shadow")});
  EXPECT_EQ(describe(runtime.globalScope()->valueForName(u"g")), "2");
}

TEST_F(MSRPFunctionValueTest, FunctionsCompareByNameAndHaveProperties) {
  auto f = std::make_shared<MSRPFunctionValue>(u"f", std::vector<std::u16string>{}, MSRPValueList{}, nullptr);
  f->setValue(number(1), u"p");
  EXPECT_TRUE(f->hasProperty(u"p"));
  EXPECT_EQ(f->allPropertyNames(), std::vector<std::u16string>{u"p"});
  f->removeValueForProperty(u"p");
  EXPECT_FALSE(f->hasProperty(u"p"));
  ns::Error error;
  EXPECT_EQ(describe(f->invokeWithEvaluatedArguments({}, error)), "undefined");
  EXPECT_EQ(describe(f->valueForProperty(u"p")), "undefined");
  EXPECT_FALSE(f->isEqualToRuntimeValue(MSRPRuntimePlatform(), error));
  EXPECT_EQ(errorCode(error), 0);
}

class MSRPRequireTest : public MSRPFunctionValueTest {};

MSRPValueRef require(MSRPValueList arguments) { return statement(u"require", std::move(arguments)); }

TEST_F(MSRPRequireTest, LoadsEachModuleOnceAndCachesIt) {
  int made = 0;
  runtime.setModuleCreator(
      [&made]() -> MSRPValueRef {
        ++made;
        return std::make_shared<MSRPMapValue>();
      },
      u"test.module");
  ns::Error error;
  auto scope = runtime.getRunScope();
  MSRPValueRef first = MSRPEvaluator::evaluateStatement(require({string(u"test.module")}), scope, error);
  MSRPValueRef second = MSRPEvaluator::evaluateStatement(require({string(u"test.module")}), runtime.getRunScope(), error);
  EXPECT_EQ(first, second);
  EXPECT_EQ(made, 1);
  EXPECT_EQ(describe(first), "{}");
  EXPECT_EQ(errorCode(error), 0);
}

TEST_F(MSRPRequireTest, ArgumentsNamesAndCreators) {
  int madeNothing = 0;
  runtime.setModuleCreator([&madeNothing]() -> MSRPValueRef { return ++madeNothing, nullptr; }, u"test.nothing");
  runtime.setModuleCreator([]() -> MSRPValueRef { return number(1); }, u"test.replaced");
  runtime.setModuleCreator([]() -> MSRPValueRef { return number(2); }, u"test.replaced");
  struct Case {
    const char* what;
    MSRPValueList statements;
    std::string result;
    int64_t error = 0;
  } cases[] = {
      {"no argument", {require({})}, "undefined", 9},
      {"two arguments, none evaluated", {require({failing(4), string(u"b")})}, "undefined", 9},
      {"a failing argument", {require({failing(4)})}, "undefined", 4},
      {"a name without a creator", {require({string(u"test.none")})}, "undefined"},
      {"a creator that makes nothing", {require({string(u"test.nothing")})}, "undefined", 15},
      {"the later creator of a name", {require({string(u"test.replaced")})}, "2"},
      {"the platform module", {require({string(u"internal.platform")})}, "function internal.platform"},
      {"its version", {statement(u"2", {require({string(u"internal.platform")}), string(u"getVersion"), statement(u"7")})}, "0"},
      {"calling the platform module itself", {declare(u"platform", require({string(u"internal.platform")})), statement(u"platform")},
       "undefined"},
      {"a name is the argument's string", {require({statement(u"0", {number(1), number(1)})})}, "undefined"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(run(c.statements, c.error), c.result);
  }
  // A failed load is not cached: the creator runs again.
  run({require({string(u"test.nothing")})}, 15);
  EXPECT_EQ(madeNothing, 2);
  EXPECT_EQ(MSRPRuntime::runtimeVersion(), 0);
}

}  // namespace

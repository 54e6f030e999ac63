// Scopes: look-up up the chain, declaration here, assignment where the
// name lives, constants and frozen scopes, and the root's budget.
#include <gtest/gtest.h>

#include <functional>

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPScope.h"
#include "Libraries/Measurement/EventEditing/tests/EvaluatorTestSupport.h"

namespace {

using namespace msrptest;

// root <- middle <- leaf, with "a" in the root and "b" in the middle.
struct Chain {
  std::shared_ptr<MSRPScope> root = std::make_shared<MSRPScope>(nullptr);
  std::shared_ptr<MSRPScope> middle = root->createChildScope();
  std::shared_ptr<MSRPScope> leaf = middle->createChildScope();
  Chain() {
    root->addValue(number(1), u"a");
    middle->addValue(number(2), u"b");
  }
  std::string at(const std::shared_ptr<MSRPScope>& scope, const std::u16string& name) const {
    return describe(scope->valueForName(name));
  }
};

TEST(MSRPScopeTest, NamesAreFoundUpTheChain) {
  Chain chain;
  EXPECT_EQ(chain.leaf->parentScope(), chain.middle);
  EXPECT_EQ(chain.root->parentScope(), nullptr);
  EXPECT_TRUE(chain.leaf->hasName(u"a"));
  EXPECT_TRUE(chain.leaf->hasName(u"b"));
  EXPECT_FALSE(chain.root->hasName(u"b"));
  EXPECT_EQ(chain.at(chain.leaf, u"a"), "1");
  EXPECT_EQ(chain.at(chain.leaf, u"nowhere"), "undefined");
  EXPECT_FALSE(chain.leaf->hasName(u"nowhere"));
}

TEST(MSRPScopeTest, AssignmentUpdatesTheNearestBindingAndDeclarationShadows) {
  struct Case {
    const char* what;
    std::function<void(Chain&)> act;
    std::string leafA, middleA, rootA, leafB, middleB;
  } cases[] = {
      {"assigning a root name from the leaf updates the root", [](Chain& c) { c.leaf->setValue(number(9), u"a"); },
       "9", "9", "9", "2", "2"},
      {"declaring in the leaf shadows", [](Chain& c) { c.leaf->addValue(number(9), u"a"); }, "9", "1", "1", "2", "2"},
      {"assigning after shadowing stays in the leaf",
       [](Chain& c) {
         c.leaf->addValue(number(9), u"a");
         c.leaf->setValue(number(8), u"a");
       },
       "8", "1", "1", "2", "2"},
      {"assigning an unbound name defines it where it runs",
       [](Chain& c) { c.middle->setValue(number(7), u"c"); }, "1", "1", "1", "2", "2"},
      {"a constant keeps its value", [](Chain& c) {
         c.root->addImmutableValue(number(5), u"a");
         c.leaf->setValue(number(6), u"a");
         c.root->addValue(number(6), u"a");
       },
       "5", "5", "5", "2", "2"},
      {"a frozen scope on the way stops the assignment", [](Chain& c) {
         c.middle->makeImmutable();
         c.leaf->setValue(number(6), u"a");
         c.middle->setValue(number(6), u"b");
       },
       "1", "1", "1", "2", "2"},
      {"a frozen scope keeps its declarations", [](Chain& c) {
         c.middle->makeImmutable();
         c.middle->addValue(number(6), u"b");
         c.leaf->setValue(number(6), u"b");
       },
       "1", "1", "1", "2", "2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Chain chain;
    c.act(chain);
    EXPECT_EQ(chain.at(chain.leaf, u"a"), c.leafA);
    EXPECT_EQ(chain.at(chain.middle, u"a"), c.middleA);
    EXPECT_EQ(chain.at(chain.root, u"a"), c.rootA);
    EXPECT_EQ(chain.at(chain.leaf, u"b"), c.leafB);
    EXPECT_EQ(chain.at(chain.middle, u"b"), c.middleB);
  }
  Chain chain;
  chain.middle->setValue(number(7), u"c");
  EXPECT_EQ(chain.at(chain.leaf, u"c"), "7");
  EXPECT_FALSE(chain.root->hasName(u"c"));
}

TEST(MSRPScopeTest, EveryScopeCountsOnItsRoot) {
  Chain chain;
  auto other = std::make_shared<MSRPScope>(nullptr);
  ns::Error error;
  chain.leaf->runBudget().countInstruction(error);
  chain.middle->runBudget().countInstruction(error);
  other->createChildScope()->runBudget().countInstruction(error);
  EXPECT_EQ(&chain.leaf->rootScope(), chain.root.get());
  EXPECT_EQ(chain.root->runBudget().instructionCount(), 2);
  EXPECT_EQ(other->runBudget().instructionCount(), 1);
  // No name holds the count.
  EXPECT_FALSE(chain.leaf->hasName(u"runtime.counter"));
  EXPECT_EQ(errorCode(error), 0);
}

}  // namespace

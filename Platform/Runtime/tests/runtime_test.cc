#include "Platform/Runtime/Runtime.h"

#include <gtest/gtest.h>

namespace {

class Greeter {
 public:
  virtual ~Greeter() = default;
  virtual std::string greeting() const = 0;
};

class Farewell {
 public:
  virtual ~Farewell() = default;
};

class RTTestGreeter : public rt::Class, public Greeter {
 public:
  explicit RTTestGreeter(std::string text) : rt::Class("RTTestGreeter", {"greeting"}), text_(std::move(text)) {}
  std::string greeting() const override { return text_; }

 private:
  std::string text_;
};

TEST(RuntimeTest, ClassesAreFoundByNameAndAnswerForTheirProtocolsAndOperations) {
  EXPECT_EQ(rt::classFromString("RTTestGreeter"), nullptr);
  rt::registerClass(nullptr);
  rt::registerClass(std::make_shared<RTTestGreeter>("hello"));

  std::shared_ptr<rt::Class> found = rt::classFromString("RTTestGreeter");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name(), "RTTestGreeter");
  EXPECT_TRUE(rt::conformsToProtocol<Greeter>(*found));
  EXPECT_FALSE(rt::conformsToProtocol<Farewell>(*found));
  EXPECT_EQ(rt::classAs<Farewell>(found), nullptr);
  ASSERT_TRUE(rt::classAs<Greeter>(found));
  EXPECT_EQ(rt::classAs<Greeter>(found)->greeting(), "hello");

  EXPECT_TRUE(found->respondsToSelector("greeting"));
  EXPECT_FALSE(found->respondsToSelector("greeting:"));
  EXPECT_FALSE(found->respondsToSelector(""));

  // A later class of the same name replaces the first.
  rt::registerClass(std::make_shared<RTTestGreeter>("again"));
  EXPECT_EQ(rt::classAs<Greeter>(rt::classFromString("RTTestGreeter"))->greeting(), "again");

  // Taken back, it is no longer found; its holders keep it.
  rt::unregisterClass("RTTestGreeter");
  rt::unregisterClass("RTTestGreeter");
  EXPECT_EQ(rt::classFromString("RTTestGreeter"), nullptr);
  EXPECT_EQ(found->name(), "RTTestGreeter");
}

using Speak = std::string(const rt::Class& receiver);

rt::IMP speaking(std::string text) {
  return rt::implementationWithBlock<Speak>([text](const rt::Class&) { return text; });
}

TEST(RuntimeTest, MethodsAreInheritedThroughSuperclassNamesAndOverriddenWhereSet) {
  auto base = std::make_shared<rt::Class>("RTTestBase");
  auto derived = std::make_shared<rt::Class>("RTTestDerived", std::vector<std::string>{}, "RTTestBase");
  auto looping = std::make_shared<rt::Class>("RTTestLoop", std::vector<std::string>{}, "RTTestLoop");
  rt::registerClass(base);
  rt::registerClass(derived);
  rt::registerClass(looping);
  base->setMethod("speak", speaking("base"), rt::MethodKind::Instance);
  base->setMethod("make", speaking("class"), rt::MethodKind::Class);

  auto speak = [](const rt::Class& cls, rt::MethodKind kind, const char* selector) {
    auto method = rt::functionOf<Speak>(rt::methodImplementation(cls, selector, kind));
    return method ? method(cls) : std::string("(none)");
  };
  EXPECT_EQ(speak(*derived, rt::MethodKind::Instance, "speak"), "base");
  EXPECT_EQ(speak(*derived, rt::MethodKind::Class, "make"), "class");
  EXPECT_EQ(speak(*derived, rt::MethodKind::Class, "speak"), "(none)");  // kinds apart
  EXPECT_EQ(derived->ownMethod("speak", rt::MethodKind::Instance), nullptr);
  EXPECT_EQ(speak(*looping, rt::MethodKind::Instance, "speak"), "(none)");

  EXPECT_EQ(derived->setMethod("speak", speaking("derived"), rt::MethodKind::Instance), nullptr);
  EXPECT_EQ(speak(*derived, rt::MethodKind::Instance, "speak"), "derived");
  EXPECT_EQ(speak(*base, rt::MethodKind::Instance, "speak"), "base");

  // A different signature is not this function.
  EXPECT_FALSE(rt::functionOf<void(const rt::Class&)>(derived->ownMethod("speak", rt::MethodKind::Instance)));
  EXPECT_EQ(rt::implementationWithBlock<Speak>(nullptr), nullptr);
}

struct RTTestNamed {
  virtual ~RTTestNamed() = default;
};
struct RTTestNamedChild : RTTestNamed {};

TEST(RuntimeTest, AnObjectsClassNameIsItsDynamicTypeWithoutScopes) {
  RTTestNamedChild child;
  const RTTestNamed& asBase = child;
  EXPECT_EQ(rt::classNameOf(asBase), "RTTestNamedChild");
  EXPECT_EQ(rt::classNameOf(typeid(rt::Class)), "Class");
}

}  // namespace

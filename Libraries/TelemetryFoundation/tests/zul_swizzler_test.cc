// Replacing runtime-class methods with blocks, and the view controllers'
// appearance methods wrapped as the measurement reporters do.
#include <gtest/gtest.h>

#include "Libraries/TelemetryFoundation/ZULSwizzler.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

using Describe = std::string(const rt::Class& receiver);

rt::IMP describing(std::string text) {
  return rt::implementationWithBlock<Describe>([text](const rt::Class&) { return text; });
}

std::string describe(const std::shared_ptr<rt::Class>& cls) {
  auto method = rt::functionOf<Describe>(ZULSwizzler::currentImplementationForClass(cls, "describe", false));
  return method ? method(*cls) : "(none)";
}

TEST(ZULSwizzlerTest, AnInheritedMethodIsReplacedInTheSubclassOnly) {
  auto base = std::make_shared<rt::Class>("ZULSwizzlerTestBase");
  auto derived = std::make_shared<rt::Class>("ZULSwizzlerTestDerived", std::vector<std::string>{},
                                             "ZULSwizzlerTestBase");
  rt::registerClass(base);
  rt::registerClass(derived);
  base->setMethod("describe", describing("base"), rt::MethodKind::Instance);
  EXPECT_TRUE(ZULSwizzler::selectorExistsInClass("describe", derived, false));
  EXPECT_FALSE(ZULSwizzler::selectorExistsInClass("describe", derived, true));

  // The block calls what it saved first, as callers do.
  auto saved = rt::functionOf<Describe>(ZULSwizzler::currentImplementationForClass(derived, "describe", false));
  ASSERT_TRUE(saved);
  EXPECT_TRUE(ZULSwizzler::swizzleClass(
      derived, "describe", false,
      rt::implementationWithBlock<Describe>([saved](const rt::Class& self) { return "wrapped " + saved(self); })));
  EXPECT_EQ(describe(derived), "wrapped base");
  EXPECT_EQ(describe(base), "base");

  // A block of another signature would leave callers unable to call it.
  EXPECT_FALSE(ZULSwizzler::swizzleClass(derived, "describe", false,
                                         rt::implementationWithBlock<void(const rt::Class&)>([](const rt::Class&) {})));
  EXPECT_EQ(describe(derived), "wrapped base");
}

TEST(ZULSwizzlerTest, AReaderBetweenTwoReplacementsSeesTheFirst) {
  auto cls = std::make_shared<rt::Class>("ZULSwizzlerTestTwice");
  cls->setMethod("describe", describing("own"), rt::MethodKind::Class);
  rt::IMP first = describing("first");
  rt::IMP second = describing("second");
  ASSERT_TRUE(ZULSwizzler::swizzleClass(cls, "describe", true, first));
  EXPECT_EQ(ZULSwizzler::currentImplementationForClass(cls, "describe", true), first);
  ASSERT_TRUE(ZULSwizzler::swizzleClass(cls, "describe", true, second));
  EXPECT_EQ(ZULSwizzler::currentImplementationForClass(cls, "describe", true), second);
  EXPECT_EQ(ZULSwizzler::currentImplementationForClass(cls, "describe", false), nullptr);
}

TEST(ZULSwizzlerTest, ANullClassOrSelectorAnswersNull) {
  auto cls = std::make_shared<rt::Class>("ZULSwizzlerTestEmpty");
  cls->setMethod("describe", describing("own"), rt::MethodKind::Instance);
  EXPECT_EQ(ZULSwizzler::currentImplementationForClass(nullptr, "describe", false), nullptr);
  EXPECT_EQ(ZULSwizzler::currentImplementationForClass(cls, "", false), nullptr);
  EXPECT_EQ(ZULSwizzler::currentImplementationForClass(cls, "missing", false), nullptr);
  EXPECT_FALSE(ZULSwizzler::swizzleClass(nullptr, "describe", false, describing("x")));
  EXPECT_FALSE(ZULSwizzler::swizzleClass(cls, "describe", false, nullptr));
}

class AppearanceWrapTest : public ui::testing::InterfaceTest {
 protected:
  void SetUp() override {
    cls = rt::classFromString(ui::kViewControllerClassName);
    ASSERT_TRUE(cls);
    for (const char* selector : {"viewDidAppear:", "viewDidDisappear:"}) {
      rt::IMP saved = ZULSwizzler::currentImplementationForClass(cls, selector, false);
      ASSERT_TRUE(saved);
      originals.emplace_back(selector, saved);
      auto call = rt::functionOf<ui::ViewControllerAppearanceMethod>(saved);
      ASSERT_TRUE(ZULSwizzler::swizzleClass(
          cls, selector, false,
          rt::implementationWithBlock<ui::ViewControllerAppearanceMethod>(
              [this, call, selector](ui::ViewController& controller, bool animated) {
                call(controller, animated);
                reports.push_back(std::string(selector) + " " + controller.title());
              })));
    }
  }
  void TearDown() override {
    for (const auto& [selector, imp] : originals) ZULSwizzler::swizzleClass(cls, selector, false, imp);
  }

  std::shared_ptr<rt::Class> cls;
  std::vector<std::pair<std::string, rt::IMP>> originals;
  std::vector<std::string> reports;
};

// Counts its own callback, so the wrapped one is seen to run too.
class CountingController : public ui::ViewController {
 public:
  void viewDidAppear(bool animated) override {
    ViewController::viewDidAppear(animated);
    ++appeared;
  }
  int appeared = 0;
};

TEST_F(AppearanceWrapTest, AWrappedViewDidAppearRunsOncePerAppearanceInANavigationPush) {
  auto root = std::make_shared<CountingController>();
  root->setTitle("Folders");
  auto nav = std::make_shared<ui::NavigationController>(root);
  show(nav);
  auto pushed = std::make_shared<CountingController>();
  pushed->setTitle("Note");
  reports.clear();

  nav->pushViewController(pushed, true);
  advance(1);
  EXPECT_EQ(pushed->appeared, 1);
  EXPECT_EQ(reports, (std::vector<std::string>{"viewDidDisappear: Folders", "viewDidAppear: Note"}));

  reports.clear();
  nav->popViewController(false);
  advance(1);
  EXPECT_EQ(root->appeared, 2);
  EXPECT_EQ(reports, (std::vector<std::string>{"viewDidDisappear: Note", "viewDidAppear: Folders"}));
}

}  // namespace

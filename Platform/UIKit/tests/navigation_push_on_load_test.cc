// A root controller that pushes while its view loads (a list reopening
// what was open at the last launch) leaves only the new top on screen.
#include <gtest/gtest.h>

#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

class Labelled : public ViewController {
 public:
  explicit Labelled(std::string text) : text_(std::move(text)) {}
  void viewDidLoad() override {
    setTitle(text_);
    auto label = std::make_shared<Label>();
    label->setText(text_ + " body");
    label->setFrame(Rect(0, 100, 200, 30));
    view()->addSubview(label);
  }
  std::string text_;
};

class Reopening : public Labelled {
 public:
  Reopening(int depth, bool animated) : Labelled("Root"), depth_(depth), animated_(animated) {}
  void viewDidLoad() override {
    Labelled::viewDidLoad();
    for (int i = 1; i <= depth_; ++i) {
      navigationController()->pushViewController(std::make_shared<Labelled>("Level " + std::to_string(i)), animated_);
    }
  }
  int depth_;
  bool animated_;
};

using NavigationPushOnLoadTest = testing::InterfaceTest;

TEST_F(NavigationPushOnLoadTest, OnlyTheLastPushedScreenShows) {
  struct Case {
    int depth;
    bool animated;
    std::string shown;
  };
  const std::vector<Case> cases = {{0, false, "Root"}, {1, false, "Level 1"}, {2, false, "Level 2"}, {2, true, "Level 2"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.depth) + (c.animated ? " animated" : ""));
    auto nav = std::make_shared<NavigationController>(std::make_shared<Reopening>(c.depth, c.animated));
    show(nav);
    advance(1);
    ASSERT_EQ(nav->viewControllers().size(), size_t(c.depth + 1));
    std::string screen = ScreenText::render();
    EXPECT_NE(screen.find("\"" + c.shown + " body\""), std::string::npos) << screen;
    for (const std::string other : {"Root", "Level 1", "Level 2"}) {
      if (other != c.shown) {
        EXPECT_EQ(screen.find(other + " body"), std::string::npos) << screen;
      }
    }
    EXPECT_EQ(nav->topViewController()->appearanceState(), ViewController::AppearanceState::Appeared);
    // Back to the root shows it again.
    nav->popToRootViewController(false);
    advance(1);
    EXPECT_NE(ScreenText::render().find("\"Root body\""), std::string::npos);
  }
}

}  // namespace
}  // namespace ui

// A controller presented over the current context (search results over a
// list) belongs to the controller that defines the context: a screen pushed
// over that controller hides it, and going back shows it again.
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
    auto label = std::make_shared<Label>();
    label->setText(text_);
    label->setFrame(Rect(0, 100, 200, 30));
    view()->addSubview(label);
  }
  std::string text_;
};

using PresentationContextTest = testing::InterfaceTest;

TEST_F(PresentationContextTest, ContextPresentationLeavesAndReturnsWithItsContext) {
  auto list = std::make_shared<Labelled>("List");
  list->setDefinesPresentationContext(true);
  auto nav = std::make_shared<NavigationController>(list);
  show(nav);
  auto results = std::make_shared<Labelled>("Results");
  results->setModalPresentationStyle(ModalPresentationStyle::OverCurrentContext);
  list->presentViewController(results, false);
  advance(1);
  EXPECT_EQ(results->presentingViewController(), list.get());
  EXPECT_NE(ScreenText::render().find("\"Results\""), std::string::npos) << ScreenText::render();

  nav->pushViewController(std::make_shared<Labelled>("Editor"), false);
  advance(1);
  std::string screen = ScreenText::render();
  EXPECT_NE(screen.find("\"Editor\""), std::string::npos) << screen;
  EXPECT_EQ(screen.find("Results"), std::string::npos) << screen;

  nav->popViewController(false);
  advance(1);
  EXPECT_NE(ScreenText::render().find("\"Results\""), std::string::npos) << ScreenText::render();
  results->dismissViewController(false);
  advance(1);
  EXPECT_EQ(ScreenText::render().find("Results"), std::string::npos);
}

}  // namespace
}  // namespace ui

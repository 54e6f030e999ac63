#include <gtest/gtest.h>

#include "Platform/UIKit/AlertView.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

class RecordingAlertDelegate : public AlertViewDelegate {
 public:
  void alertViewDidDismissWithButtonIndex(AlertView& alert, int64_t index) override {
    answers.push_back(alert.buttonTitleAtIndex(index) + " " + std::to_string(index));
  }
  std::vector<std::string> answers;
};

class AlertViewTest : public testing::InterfaceTest {
 protected:
  std::shared_ptr<ViewController> root = std::make_shared<ViewController>();
  std::shared_ptr<RecordingAlertDelegate> delegate = std::make_shared<RecordingAlertDelegate>();
  AlertViewTest() { show(root); }
};

TEST_F(AlertViewTest, ButtonsKeepTheirIndicesAndTheDelegateHearsTheOneTapped) {
  auto alert = AlertView::make("Rate Quill", "Enjoying it?", delegate);
  EXPECT_EQ(alert->addButtonWithTitle("Rate"), 0);
  alert->setCancelButtonIndex(alert->addButtonWithTitle("No"));
  EXPECT_EQ(alert->addButtonWithTitle("Later"), 2);
  alert.reset();  // a shown alert keeps itself
  {
    auto shown = AlertView::make("Rate Quill", "Enjoying it?", delegate);
    shown->addButtonWithTitle("Rate");
    shown->setCancelButtonIndex(shown->addButtonWithTitle("No"));
    shown->addButtonWithTitle("Later");
    shown->show();
  }
  Input::settle();
  EXPECT_NE(ScreenText::render().find("Alert \"Rate Quill\""), std::string::npos);
  ASSERT_TRUE(Input::tap("Later")) << Input::lastFailure();
  Input::settle();
  EXPECT_EQ(delegate->answers, std::vector<std::string>{"Later 2"});
  EXPECT_EQ(ScreenText::render(), "Window (key)\n");

  // A cancel title given at creation is button 0.
  auto withCancel = AlertView::make("T", "", delegate, "Cancel");
  EXPECT_EQ(withCancel->cancelButtonIndex(), 0);
  EXPECT_EQ(withCancel->addButtonWithTitle("OK"), 1);
  withCancel->show();
  Input::settle();
  withCancel->dismissWithClickedButtonIndex(1, false);
  Input::settle();
  EXPECT_EQ(delegate->answers.back(), "OK 1");
  EXPECT_FALSE(withCancel->isVisible());
}

}  // namespace
}  // namespace ui

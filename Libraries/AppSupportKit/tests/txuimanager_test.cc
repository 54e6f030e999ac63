// The kit's UI manager: the topmost controller of the key window, the
// serial presentation queue, and the HUD with a text.
#include <gtest/gtest.h>

#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Libraries/UIComponents/QBProgressHUD.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

using ui::Input;

class TXUIManagerTest : public ui::testing::InterfaceTest {
 protected:
  TXUIManagerTest() {
    TXUIManager::sharedInstance().reset();
    root_ = std::make_shared<ui::ViewController>();
    show(root_);
  }
  ~TXUIManagerTest() override { TXUIManager::sharedInstance().reset(); }

  static std::shared_ptr<ui::AlertController> alert(const std::string& title) {
    auto a = ui::AlertController::make(title, "", ui::AlertControllerStyle::Alert);
    a->addAction(ui::AlertAction::make("OK " + title, ui::AlertActionStyle::Default));
    return a;
  }

  std::shared_ptr<ui::ViewController> root_;
};

TEST_F(TXUIManagerTest, TopmostFollowsPresentationsAndSkipsOneBeingDismissed) {
  EXPECT_EQ(TXUIManager::topmostViewController(), root_);
  auto first = std::make_shared<ui::ViewController>();
  auto second = std::make_shared<ui::ViewController>();
  root_->presentViewController(first, false);
  first->presentViewController(second, false);
  EXPECT_EQ(TXUIManager::topmostViewController(), second);
  second->dismissViewController(true);
  ASSERT_TRUE(second->isBeingDismissed());
  EXPECT_EQ(TXUIManager::topmostViewController(), first);
  Input::settle();
  EXPECT_EQ(TXUIManager::topmostViewController(), first);

  // No window at all: nothing to present on.
  ui::Application::shared().reset();
  EXPECT_EQ(TXUIManager::topmostViewController(), nullptr);
}

TEST_F(TXUIManagerTest, PresentationsWaitTheirTurnAndComeFromTheTopmost) {
  auto cover = std::make_shared<ui::ViewController>();
  root_->presentViewController(cover, false);
  auto one = alert("one"), two = alert("two");
  TXUIManager::presentViewController(one, true);
  TXUIManager::presentViewController(two, false);
  EXPECT_EQ(cover->presentedViewController(), nullptr) << "queued, not presented in the caller's turn";
  Input::settle();
  EXPECT_EQ(cover->presentedViewController(), one) << "presented from the topmost controller";
  EXPECT_EQ(one->presentedViewController(), nullptr) << "the second waits while the first is up";
  EXPECT_EQ(Input::find("OK two"), nullptr);

  ASSERT_TRUE(Input::tap("OK one")) << Input::lastFailure();
  Input::settle();
  EXPECT_EQ(cover->presentedViewController(), two);
  ASSERT_TRUE(Input::tap("OK two")) << Input::lastFailure();
  EXPECT_EQ(cover->presentedViewController(), nullptr);
}

TEST_F(TXUIManagerTest, HudShowsTheTextAndHides) {
  TXUIManager::sharedInstance().showHUDWithText("Restoring");
  advance(1);
  EXPECT_TRUE(QBProgressHUD::isVisible());
  EXPECT_EQ(QBProgressHUD::sharedView()->statusLabel().text(), "Restoring");
  TXUIManager::sharedInstance().hideHUD();
  advance(2);
  EXPECT_FALSE(QBProgressHUD::isVisible());
}

}  // namespace

// The kit's UI manager: the topmost controller of the key window, the
// presentation queue with its popups, and the HUD with a text.
#include <gtest/gtest.h>

#include "Libraries/AppSupportKit/QBPopupViewController.h"
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

TEST_F(TXUIManagerTest, PresentationsStackInQueueOrderEachAfterTheOneBeforeCompleted) {
  auto cover = std::make_shared<ui::ViewController>();
  root_->presentViewController(cover, false);
  auto one = alert("one"), two = alert("two");
  TXUIManager::presentViewController(one, true);
  TXUIManager::presentViewController(two, false);
  EXPECT_EQ(cover->presentedViewController(), one) << "presented from the topmost controller";
  EXPECT_EQ(one->presentedViewController(), nullptr) << "the second waits for the first's completion";
  advance(0.4);
  EXPECT_EQ(one->presentedViewController(), two) << "then lands on top of it";

  ASSERT_TRUE(Input::tap("OK two")) << Input::lastFailure();
  ASSERT_TRUE(Input::tap("OK one")) << Input::lastFailure();
  EXPECT_EQ(cover->presentedViewController(), nullptr);
}

TEST_F(TXUIManagerTest, APresentMadeBeforeTheWindowExistsWaitsForIt) {
  ui::Application::shared().reset();
  auto early = std::make_shared<ui::ViewController>();
  TXUIManager::presentViewController(early, false);
  advance(3);
  EXPECT_EQ(TXUIManager::sharedInstance().queuedRequestCount(), 1u);
  auto root = std::make_shared<ui::ViewController>();
  show(root);
  EXPECT_EQ(root->presentedViewController(), nullptr) << "looked for once a second";
  advance(1);
  EXPECT_EQ(root->presentedViewController(), early);
}

TEST_F(TXUIManagerTest, ADismissQueuedTwiceIsDroppedTheSecondTime) {
  auto shown = std::make_shared<ui::ViewController>();
  TXUIManager::presentViewController(shown, false);
  ASSERT_EQ(root_->presentedViewController(), shown);
  TXUIManager::dismissViewController(shown, true);
  TXUIManager::dismissViewController(shown, true);
  EXPECT_TRUE(shown->isBeingDismissed());
  EXPECT_EQ(TXUIManager::sharedInstance().queuedRequestCount(), 1u) << "waits for the first dismissal";
  advance(0.4);
  EXPECT_EQ(root_->presentedViewController(), nullptr);
  EXPECT_EQ(TXUIManager::sharedInstance().queuedRequestCount(), 0u);
  EXPECT_FALSE(TXUIManager::sharedInstance().isAnimating());

  auto next = std::make_shared<ui::ViewController>();
  TXUIManager::presentViewController(next, false);
  EXPECT_EQ(root_->presentedViewController(), next);
}

TEST_F(TXUIManagerTest, AnUnknownActionStaysQueuedWithoutBlockingTheOthers) {
  auto& manager = TXUIManager::sharedInstance();
  manager.enqueue({std::make_shared<ui::ViewController>(), "wiggle", true, 0, nullptr});
  auto shown = std::make_shared<ui::ViewController>();
  TXUIManager::presentViewController(shown, false);
  EXPECT_EQ(root_->presentedViewController(), shown);
  advance(5);
  EXPECT_EQ(manager.queuedRequestCount(), 1u);
}

// The interface refuses these presentations and never completes them; the
// queue must not wait for them for the rest of the process.
TEST_F(TXUIManagerTest, ARefusedPresentationDoesNotStallTheQueue) {
  // Already on screen, presented by someone else: dropped.
  auto elsewhere = std::make_shared<ui::ViewController>();
  root_->presentViewController(elsewhere, false);
  TXUIManager::presentViewController(elsewhere, true);
  EXPECT_FALSE(TXUIManager::sharedInstance().isAnimating());
  auto next = std::make_shared<ui::ViewController>();
  TXUIManager::presentViewController(next, false);
  EXPECT_EQ(elsewhere->presentedViewController(), next);

  // The presenter is still dismissing what it showed: tried again when free.
  root_->dismissViewController(true);
  ASSERT_TRUE(elsewhere->isBeingDismissed());
  auto pin = std::make_shared<ui::ViewController>();
  TXUIManager::presentViewController(pin, false);
  auto after = std::make_shared<ui::ViewController>();
  TXUIManager::presentViewController(after, false);
  EXPECT_EQ(pin->presentingViewController(), nullptr);
  EXPECT_FALSE(TXUIManager::sharedInstance().isAnimating());
  advance(1);
  EXPECT_EQ(root_->presentedViewController(), pin);
  EXPECT_EQ(pin->presentedViewController(), after) << "in queue order";
}

// A popup's controller: its view is a fixed-size panel.
std::shared_ptr<ui::ViewController> popup(const std::string& text) {
  auto controller = std::make_shared<ui::ViewController>();
  controller->setView(std::make_shared<ui::View>(ui::Rect(0, 0, 200, 100)));
  auto label = std::make_shared<ui::Label>(ui::Rect(0, 0, 200, 100));
  label->setText(text);
  controller->view()->addSubview(label);
  return controller;
}

bool onScreen(const std::shared_ptr<ui::ViewController>& controller) {
  return controller->view()->superview() != nullptr;
}

TEST_F(TXUIManagerTest, PopupsComeOneAtATimeASecondApartAndPresentsOvertakeThem) {
  auto first = popup("first"), second = popup("second");
  int dismissed = 0;
  TXUIManager::presentPopupViewController(first, 2, [&] { ++dismissed; });
  TXUIManager::presentPopupViewController(second, 2);
  EXPECT_TRUE(onScreen(first));
  EXPECT_FALSE(onScreen(second));

  // A present queued behind the waiting popup goes first.
  auto shown = std::make_shared<ui::ViewController>();
  TXUIManager::presentViewController(shown, false);
  EXPECT_EQ(root_->presentedViewController(), shown);
  shown->dismissViewController(false);

  TXUIManager::dismissPopupViewController(first, 2);
  EXPECT_EQ(dismissed, 1) << "as the exit starts";
  advance(0.95);
  EXPECT_FALSE(onScreen(first));
  EXPECT_FALSE(onScreen(second)) << "not within a second of the last one's dismissal";
  advance(0.1);
  EXPECT_TRUE(onScreen(second));
  EXPECT_EQ(QBPopupViewController::qb_presentingViewController(*second), root_);

  // Dismissed twice: the second request finds nothing to do.
  TXUIManager::dismissPopupViewController(second, 0);
  TXUIManager::dismissPopupViewController(second, 0);
  advance(2);
  EXPECT_FALSE(onScreen(second));
  EXPECT_FALSE(TXUIManager::sharedInstance().isPopupShowing());
  EXPECT_EQ(TXUIManager::sharedInstance().queuedRequestCount(), 0u);
}

TEST_F(TXUIManagerTest, HudShowsTheTextAndHides) {
  TXUIManager::sharedInstance().showHUDWithText("Restoring");
  advance(1);
  EXPECT_TRUE(QBProgressHUD::isVisible());
  EXPECT_EQ(QBProgressHUD::sharedView()->statusLabel().text(), "Restoring");
  TXUIManager::sharedInstance().hideHUD();
  advance(2);
  EXPECT_FALSE(QBProgressHUD::isVisible());
  EXPECT_EQ(QBProgressHUD::sharedView()->defaultMaskType(), QBProgressHUDMaskType::Black);
}

}  // namespace

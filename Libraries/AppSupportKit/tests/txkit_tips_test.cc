// The kit's tips on a fresh device: views counted in the standard
// defaults, when a tip is due, and the bubble it shows.
#include <gtest/gtest.h>

#include "Libraries/AppSupportKit/QBPopTipView.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UIKit/DeviceInfo.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/SplitViewController.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

class TXKitTipsTest : public ui::testing::InterfaceTest {
 protected:
  explicit TXKitTipsTest(ns::UserInterfaceIdiom idiom = ns::UserInterfaceIdiom::Phone) : InterfaceTest(idiom) {
    TXConfig::sharedInstance().reset();
    kit().setShowingMessage(false);
    auto root = std::make_shared<ui::ViewController>();
    show(root);
    root_ = root->view();
    target_ = ui::View::make(ui::Rect(100, 100, 40, 20));
    root_->addSubview(target_);
  }
  ~TXKitTipsTest() override {
    kit().setShowingMessage(false);
    TXConfig::sharedInstance().reset();
  }
  static TXKit& kit() { return TXKit::sharedInstance(); }
  static int64_t views(const std::string& tipID) {
    return ns::UserDefaults::standardUserDefaults()->integerForKey("com.tavrix.viewsCount." + tipID);
  }
  // The tip bubble on screen, or null.
  QBPopTipView* shownTip() { return root_->firstOfType<QBPopTipView>(); }
  void showTip(const std::string& tipID, int64_t afterViews) {
    kit().showTipIfNeededWithID(tipID, "Tip text", target_.get(), nullptr, afterViews, false);
    advance(0.1);
  }

  std::shared_ptr<ui::View> root_;
  std::shared_ptr<ui::View> target_;
};

TEST_F(TXKitTipsTest, ShownOnTheThirdOfFourViewsThenNeverCountedAgain) {
  for (int view = 1; view <= 4; ++view) {
    SCOPED_TRACE(view);
    showTip("tipThree", 3);
    EXPECT_EQ(shownTip() != nullptr, view == 3);
    EXPECT_EQ(views("tipThree"), std::min(view, 3));
    if (auto* tip = shownTip()) tip->dismissAnimated(false);
  }
  EXPECT_TRUE(TXKit::showedMessageID("tipThree"));
}

TEST_F(TXKitTipsTest, WhenATipIsDue) {
  auto& config = TXConfig::sharedInstance();
  // Another kit popup on screen: not due, but the view counts.
  kit().setShowingMessage(true);
  EXPECT_FALSE(kit().shouldShowTipID("tipBusy", 1));
  EXPECT_EQ(views("tipBusy"), 1);
  kit().setShowingMessage(false);
  EXPECT_TRUE(kit().shouldShowTipID("tipBusy", 1));

  // A negative uses threshold turns every tip off; views still count.
  config.setDefaultValue("app", "showTipsAfterUsesCount", ns::Value(-1));
  EXPECT_FALSE(kit().shouldShowTipID("tipOff", 0));
  EXPECT_FALSE(kit().shouldShowTipID("tipOff", 0));
  EXPECT_EQ(views("tipOff"), 2);

  // Not before the app has been used that often.
  config.setDefaultValue("app", "showTipsAfterUsesCount", ns::Value(2));
  kit().incrementUsesCount();
  EXPECT_FALSE(kit().shouldShowTipID("tipLater", 0));
  kit().incrementUsesCount();
  EXPECT_TRUE(kit().shouldShowTipID("tipLater", 0));
}

TEST_F(TXKitTipsTest, TheBubbleLooksLikeTheKitsAndATapClearsThePopupFlag) {
  auto other = ui::View::make(ui::Rect(0, 0, 50, 50));
  root_->addSubview(other);
  // On a phone the bubble lies over the topmost controller's view, whatever
  // view was proposed.
  kit().showTipIfNeededWithID("tipLook", "Look here", target_.get(), other.get(), 0, true);
  EXPECT_TRUE(kit().isShowingMessage());
  EXPECT_FALSE(shownTip());  // 0.1 s later
  advance(0.1);
  QBPopTipView* tip = shownTip();
  ASSERT_TRUE(tip);
  EXPECT_EQ(tip->superview(), root_.get());
  EXPECT_EQ(tip->title(), "Look here");
  EXPECT_FALSE(tip->message());
  EXPECT_FALSE(tip->has3DStyle());
  EXPECT_FALSE(tip->hasGradientBackground());
  EXPECT_TRUE(tip->dismissTapAnywhere());
  auto yellow = ui::Color::withRGBA(245 / 255.0, 234 / 255.0, 146 / 255.0, 1);
  EXPECT_TRUE(tip->backgroundColor()->isEqual(*yellow));
  EXPECT_TRUE(tip->borderColor()->isEqual(*yellow));

  ASSERT_TRUE(ui::Input::tap("Look here"));
  EXPECT_FALSE(shownTip());
  EXPECT_FALSE(kit().isShowingMessage());
}

// The target leaves the screen before its tip would show: no tip, and the
// kit's other popups are not blocked.
TEST_F(TXKitTipsTest, ATargetGoneFromTheWindowSkipsTheTipAndFreesThePopups) {
  kit().showTipIfNeededWithID("tipGone", "Gone", target_.get(), nullptr, 0, true);
  target_->removeFromSuperview();
  advance(0.1);
  EXPECT_FALSE(shownTip());
  EXPECT_FALSE(kit().isShowingMessage());

  // Nor a tip for a view that was never on screen.
  auto loose = ui::View::make(ui::Rect(0, 0, 10, 10));
  kit().showTipIfNeededWithID("tipLoose", "Loose", loose.get(), nullptr, 0, true);
  advance(0.1);
  EXPECT_FALSE(shownTip());
  EXPECT_FALSE(kit().isShowingMessage());
}

class PadTipsTest : public TXKitTipsTest {
 protected:
  PadTipsTest() : TXKitTipsTest(ns::UserInterfaceIdiom::Pad) {}
};

// On a pad whose topmost controller is a split view, the proposed view is
// the container in portrait; in landscape the split view's own view is.
TEST_F(PadTipsTest, ASplitViewInPortraitTakesTheProposedContainer) {
  auto list = std::make_shared<ui::ViewController>(), detail = std::make_shared<ui::ViewController>();
  auto split = std::make_shared<ui::SplitViewController>();
  split->setViewControllers({list, detail});
  show(split);
  auto row = ui::View::make(ui::Rect(10, 100, 200, 44));
  list->view()->addSubview(row);

  kit().showTipIfNeededWithID("tipPortrait", "In the list", row.get(), list->view().get(), 0, false);
  advance(0.1);
  auto* tip = list->view()->firstOfType<QBPopTipView>();
  ASSERT_TRUE(tip);
  EXPECT_EQ(tip->superview(), list->view().get());
  tip->dismissByUser();
  advance(0.3);

  ui::DeviceInfo::current().setOrientation(ns::DeviceOrientation::LandscapeLeft);
  kit().showTipIfNeededWithID("tipLandscape", "Over the split", row.get(), list->view().get(), 0, false);
  advance(0.1);
  tip = split->view()->firstOfType<QBPopTipView>();
  ASSERT_TRUE(tip);
  EXPECT_EQ(tip->superview(), split->view().get());
}

}  // namespace

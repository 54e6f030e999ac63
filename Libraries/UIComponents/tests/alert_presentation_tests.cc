// Alert windows and transitions: a newer alert hides the older one's
// window until it goes, an alert hidden that way dismisses at once, one
// alert morphs into another, and a rotation places the panel again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Libraries/UIComponents/QBAlertView.h"
#include "Libraries/UIComponents/QBAlertViewButton.h"
#include "Libraries/UIComponents/QBAlertViewController.h"
#include "Libraries/UIComponents/QBAlertViewShadowView.h"
#include "Platform/UIKit/DeviceInfo.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/ScrollView.h"
#include "Platform/UIKit/VisualEffectView.h"
#include "Platform/UIKit/Window.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

using Strings = std::vector<std::string>;
using ui::Input;

class AlertPresentationTest : public ui::testing::InterfaceTest {
 protected:
  AlertPresentationTest() { show(std::make_shared<ui::ViewController>()); }

  // Logs the will/did callbacks of `alert` under `name`.
  void record(QBAlertView& alert, const std::string& name) {
    alert.willShowHandler = [this, name](QBAlertView&) { log.push_back(name + " willShow"); };
    alert.didShowHandler = [this, name](QBAlertView&) { log.push_back(name + " didShow"); };
    alert.willDismissHandler = [this, name](QBAlertView&) { log.push_back(name + " willDismiss"); };
    alert.didDismissHandler = [this, name](QBAlertView&) { log.push_back(name + " didDismiss"); };
  }
  Strings log;
};

TEST_F(AlertPresentationTest, NewerAlertHidesTheOlderUntilItIsGone) {
  auto first = QBAlertView::alertViewWithTitle("First", "", QBAlertViewStyle::Alert, {"One"}, "", "");
  first->show();
  auto firstWindow = first->window();
  {
    auto second = QBAlertView::alertViewWithTitle("Second", "", QBAlertViewStyle::Alert, {"Two"}, "", "");
    second->show();
    EXPECT_TRUE(firstWindow->isHidden());
    EXPECT_TRUE(second->window()->isKeyWindow());
    EXPECT_EQ(Input::find("One"), nullptr);
  }
  ASSERT_TRUE(Input::tap("Two")) << Input::lastFailure();
  // The second alert is freed; the first comes back in front.
  EXPECT_FALSE(firstWindow->isHidden());
  EXPECT_TRUE(firstWindow->isKeyWindow());
  ASSERT_TRUE(Input::tap("One")) << Input::lastFailure();
  EXPECT_FALSE(first->window());
  EXPECT_TRUE(window_->isKeyWindow());
}

TEST_F(AlertPresentationTest, AnotherKindOfAlertWindowGoesInFrontOfOurs) {
  struct SystemAlertWindow : ui::Window {
    std::string typeName() const override { return "SystemAlertWindow"; }
  };
  auto alert = QBAlertView::alertViewWithTitle("Ours", "", QBAlertViewStyle::Alert, {"OK"}, "", "");
  alert->show();
  {
    auto other = std::make_shared<SystemAlertWindow>();
    other->setWindowLevel(ui::kWindowLevelAlert);
    other->makeKeyAndVisible();
    EXPECT_TRUE(alert->window()->isHidden());
    other->setHidden(true);
  }
  // Once the other window is gone, ours comes back.
  Input::settle();
  EXPECT_FALSE(alert->window()->isHidden());
  EXPECT_TRUE(alert->window()->isKeyWindow());
  ASSERT_TRUE(Input::tap("OK")) << Input::lastFailure();
}

TEST_F(AlertPresentationTest, AlertHiddenByANewerOneDismissesAtOnce) {
  auto first = QBAlertView::alertViewWithTitle("First", "", QBAlertViewStyle::Alert, {"One"}, "", "");
  record(*first, "first");
  first->show();
  auto second = QBAlertView::alertViewWithTitle("Second", "", QBAlertViewStyle::Alert, {"Two"}, "", "");
  second->show();
  log.clear();
  bool completed = false;
  first->dismissAnimated(true, [&] { completed = true; });
  EXPECT_EQ(log, (Strings{"first didDismiss"})) << "no will-dismiss and no animation";
  EXPECT_TRUE(completed);
  EXPECT_FALSE(first->isShowing());
  EXPECT_FALSE(first->window());
  Input::settle();
  EXPECT_TRUE(second->window()->isKeyWindow()) << "the shown alert keeps the front";
  second->dismiss();
}

TEST_F(AlertPresentationTest, TransitionMorphsOneAlertIntoAnother) {
  auto first = QBAlertView::alertViewWithTitle("First", "Short", QBAlertViewStyle::Alert, {"One"}, "", "");
  auto second = QBAlertView::alertViewWithTitle("Second", "A longer message\nover two lines",
                                                QBAlertViewStyle::Alert, {"Two", "Three"}, "Cancel", "");
  record(*first, "first");
  record(*second, "second");
  first->show();
  log.clear();
  bool completed = false;
  first->transitionToAlertView(second, [&] {
    completed = true;
    log.push_back("completion");
  });
  // The new alert is up but hidden, and has not completed its show.
  EXPECT_TRUE(second->isShowing());
  EXPECT_TRUE(second->window()->isKeyWindow());
  EXPECT_TRUE(second->scrollView()->isHidden());
  EXPECT_TRUE(second->backgroundView()->isHidden());
  EXPECT_EQ(Input::find("Two"), nullptr);
  EXPECT_EQ(log, (Strings{"second willShow"}));
  EXPECT_FALSE(second->view()->isUserInteractionEnabled());

  advance(0.3);  // the old panel has faded; the shadow starts from it
  EXPECT_EQ(first->scrollView()->alpha(), 0);
  EXPECT_FALSE(second->shadowView()->isHidden());
  EXPECT_TRUE(first->shadowView()->isHidden());

  // Each step starts when the one before ends: the shadow's move, the
  // cross-fade, then the old alert's dismissal.
  for (int step = 0; step < 3; ++step) advance(0.3);
  EXPECT_TRUE(completed);
  EXPECT_EQ(log, (Strings{"second willShow", "first willDismiss", "first didDismiss", "second didShow", "completion"}));
  EXPECT_FALSE(first->window());
  EXPECT_FALSE(second->scrollView()->isHidden());
  EXPECT_EQ(second->scrollView()->alpha(), 1);
  EXPECT_EQ(second->backgroundView()->alpha(), second->coverAlpha);
  ui::Rect panel = second->scrollView()->frame();
  EXPECT_EQ(second->shadowView()->frame(), panel) << "the shadow ends around the new panel";
  EXPECT_TRUE(second->view()->isUserInteractionEnabled());
  ASSERT_TRUE(Input::tap("Two")) << Input::lastFailure();
  EXPECT_FALSE(second->isShowing());

  // Only a shown alert can morph.
  auto third = QBAlertView::alertViewWithTitle("Third", "", QBAlertViewStyle::Alert, {"OK"}, "", "");
  second->transitionToAlertView(third);
  EXPECT_FALSE(third->isShowing());
}

TEST_F(AlertPresentationTest, RotationPlacesThePanelForTheNewScreen) {
  struct Case {
    const char* name;
    QBAlertViewStyle style;
  };
  for (const Case& c : {Case{"alert", QBAlertViewStyle::Alert}, Case{"action sheet", QBAlertViewStyle::ActionSheet}}) {
    SCOPED_TRACE(c.name);
    ui::DeviceInfo::current().setOrientation(ns::DeviceOrientation::Portrait);
    Input::settle();
    auto alert = QBAlertView::alertViewWithTitle("Turn", "", c.style, {"OK"}, "", "");
    alert->show();
    ui::DeviceInfo::current().setOrientation(ns::DeviceOrientation::LandscapeLeft);
    Input::settle();
    ui::Rect panel = alert->scrollView()->frame();
    // 844 x 390 now; the width stays that of the phone's shorter side.
    EXPECT_DOUBLE_EQ(panel.midX(), 422);
    if (c.style == QBAlertViewStyle::Alert)
      EXPECT_DOUBLE_EQ(panel.midY(), 195);
    else
      EXPECT_DOUBLE_EQ(panel.maxY(), 390 - 8);
    EXPECT_EQ(alert->backgroundView()->frame(), ui::Rect(0, 0, 844, 390));
    alert->dismiss();
  }
  ui::DeviceInfo::current().setOrientation(ns::DeviceOrientation::Portrait);
}

}  // namespace

// The tip bubble on a real view tree: where it goes, what it draws, how it
// comes and goes on the virtual clock, and who hears of its dismissal.
#include <gtest/gtest.h>

#include <cmath>

#include "Libraries/AppSupportKit/QBPopTipView.h"
#include "Libraries/CrashReporter/testing/DodevadarudCallRecorder.h"
#include "Platform/UIKit/BarButtonItem.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/ScreenPicture.h"
#include "Platform/UIKit/Switch.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

using ui::Rect;

class CountingDelegate : public QBPopTipViewDelegate {
 public:
  void popTipViewWasDismissedByUser(QBPopTipView&) override { ++dismissals; }
  int dismissals = 0;
};

class PopTipTest : public ui::testing::InterfaceTest {
 protected:
  explicit PopTipTest(ns::UserInterfaceIdiom idiom = ns::UserInterfaceIdiom::Phone) : InterfaceTest(idiom) {
    auto root = std::make_shared<ui::ViewController>();
    show(root);
    root_ = root->view();
  }

  // A container at `frame` in the window's root view.
  std::shared_ptr<ui::View> addContainer(Rect frame) {
    auto container = ui::View::make(frame);
    root_->addSubview(container);
    return container;
  }
  static std::shared_ptr<ui::View> addTarget(ui::View& parent, Rect frame) {
    auto target = ui::View::make(frame);
    parent.addSubview(target);
    return target;
  }
  std::shared_ptr<QBPopTipView> tip(const std::string& message = "Tap here") {
    auto tip = QBPopTipView::withMessage(message);
    tip->setDelegate(delegate_);
    return tip;
  }

  std::shared_ptr<ui::View> root_;
  std::shared_ptr<CountingDelegate> delegate_ = std::make_shared<CountingDelegate>();
};

TEST_F(PopTipTest, PlacementAboveOrBelowAndInsideTheContainer) {
  struct Case {
    const char* name;
    Rect container;
    Rect target;  // in the container, or in the root view when `outside`
    bool outside;
    QBPopTipView::PointDirection direction;
    double frameY;        // of the tip's frame; NAN: not checked
    double frameX;        // NAN: not checked
    double pointerX;      // the apex from the bubble's left; NAN: not checked
  };
  // The bubble of "Tap here" is h high; the frame is h + 12 + 10.
  auto probe = tip();
  auto c = addContainer(Rect(0, 0, 300, 300));
  probe->presentPointingAtView(addTarget(*c, Rect(100, 0, 20, 20)), c, false);
  double frameHeight = probe->frame().height();
  probe->dismissAnimated(false);
  c->removeFromSuperview();

  const std::vector<Case> cases = {
      // 300 − 150 ≤ 150: as much room below as above the top, ties go above.
      {"tie goes above", Rect(0, 0, 300, 300), Rect(100, 150, 20, 20), false, QBPopTipView::kPointDirectionDown,
       150 - frameHeight, NAN, NAN},
      {"one point lower: below", Rect(0, 0, 300, 300), Rect(100, 149, 20, 20), false,
       QBPopTipView::kPointDirectionUp, 149 + 20 + 2, NAN, NAN},
      {"target wholly above", Rect(0, 100, 300, 300), Rect(100, 10, 20, 20), true, QBPopTipView::kPointDirectionUp,
       2, NAN, NAN},
      {"target wholly below", Rect(0, 100, 300, 300), Rect(100, 450, 20, 20), true,
       QBPopTipView::kPointDirectionDown, 300 - frameHeight, NAN, NAN},
      // Centre x = 2: the bubble starts at the side padding, the pointer
      // 10 + 12 in from the bubble's left.
      {"left edge", Rect(0, 0, 300, 300), Rect(0, 40, 4, 20), false, QBPopTipView::kPointDirectionUp, NAN, 0, 22},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    auto container = addContainer(k.container);
    auto target = addTarget(k.outside ? *root_ : *container, k.target);
    auto t = tip();
    t->presentPointingAtView(target, container, false);
    EXPECT_EQ(t->getPointDirection(), k.direction);
    if (!std::isnan(k.frameY)) EXPECT_DOUBLE_EQ(t->frame().minY(), k.frameY);
    if (!std::isnan(k.frameX)) EXPECT_DOUBLE_EQ(t->frame().minX(), k.frameX);
    if (!std::isnan(k.pointerX)) EXPECT_DOUBLE_EQ(t->targetPoint().x, k.pointerX);
    EXPECT_GE(t->bubbleFrame().minX() + t->frame().minX(), t->sidePadding() - 1e-9);
    container->removeFromSuperview();
    target->removeFromSuperview();
  }
}

// The widest content: what a long message wraps to.
double contentWidth(QBPopTipView& tip) { return tip.bubbleSize().width - 2 * tip.cornerRadius(); }

std::string longText() {
  std::string text;
  for (int i = 0; i < 60; ++i) text += "word ";
  return text;
}

TEST_F(PopTipTest, PhoneWidthLimits) {
  auto container = addContainer(Rect(0, 0, 375, 600));
  auto target = addTarget(*container, Rect(100, 10, 20, 20));
  for (auto [maxWidth, limit] : {std::pair{0.0, 250.0}, std::pair{200.0, 200.0}, std::pair{375.0, 365.0}}) {
    SCOPED_TRACE(maxWidth);
    auto t = tip(longText());
    t->setMaxWidth(maxWidth);
    t->presentPointingAtView(target, container, false);
    EXPECT_LE(contentWidth(*t), limit);
    EXPECT_GT(contentWidth(*t), limit - 30);  // wrapped at the limit, not before
    t->dismissAnimated(false);
  }
}

class PadPopTipTest : public PopTipTest {
 protected:
  PadPopTipTest() : PopTipTest(ns::UserInterfaceIdiom::Pad) {}
};

TEST_F(PadPopTipTest, PadWidthLimits) {
  auto container = addContainer(Rect(0, 0, 1024, 700));
  auto target = addTarget(*container, Rect(100, 10, 20, 20));
  for (auto [maxWidth, limit] : {std::pair{0.0, 341.0}, std::pair{2000.0, 1004.0}}) {
    SCOPED_TRACE(maxWidth);
    auto t = tip(maxWidth ? longText() + longText() + longText() : longText());
    t->setMaxWidth(maxWidth);
    t->presentPointingAtView(target, container, false);
    EXPECT_LE(contentWidth(*t), limit);
    EXPECT_GT(contentWidth(*t), limit - 40);
    t->dismissAnimated(false);
  }
}

TEST_F(PopTipTest, DrawsTheBubbleAndItsPointer) {
  auto container = addContainer(Rect(0, 0, 300, 300));
  auto target = addTarget(*container, Rect(140, 20, 20, 20));
  auto t = tip();
  t->setHasGradientBackground(false);
  t->setHas3DStyle(false);
  t->setBorderWidth(0);
  t->setBackgroundColor(ui::Color::withRGBA(1, 0, 0, 1));
  t->presentPointingAtView(target, container, false);
  ASSERT_EQ(t->getPointDirection(), QBPopTipView::kPointDirectionUp);
  auto picture = ui::ScreenPicture::capture(*t, 1);
  ASSERT_TRUE(picture);
  Rect bubble = t->bubbleFrame();
  ui::Point apex{t->targetPoint().x + t->sidePadding(), t->targetPoint().y};
  auto at = [&](double x, double y) { return picture->pixel(int(x), int(y)); };
  // Inside the bubble, away from the text: the fill.
  EXPECT_EQ(at(bubble.minX() + 3, bubble.midY()), (cg::Pixel{255, 0, 0, 255}));
  // Outside it: beside the pointer, and the rounded-off corner.
  EXPECT_EQ(at(apex.x - 10, apex.y + 3).a, 0);
  EXPECT_EQ(at(bubble.minX() + 0.5, bubble.minY() + 0.5).a, 0);
  // The pointer: filled just under its apex, widening to its base.
  EXPECT_EQ(at(apex.x, apex.y + 2), (cg::Pixel{255, 0, 0, 255}));
  EXPECT_EQ(at(apex.x + t->pointerSize() - 2, apex.y + t->pointerSize() - 1).a, 255);
  EXPECT_EQ(t->ui::View::backgroundColor(), nullptr);  // never the view's own background
}

TEST_F(PopTipTest, SlidesAndPopsInOnTheClock) {
  auto container = addContainer(Rect(0, 0, 300, 300));
  auto target = addTarget(*container, Rect(100, 20, 20, 20));
  auto still = tip();
  still->presentPointingAtView(target, container, false);
  Rect final = still->frame();
  still->dismissAnimated(false);

  auto slide = tip();
  slide->presentPointingAtView(target, container, true);
  EXPECT_EQ(slide->frame(), final);  // the animation's end state, at once
  EXPECT_EQ(slide->alpha(), 1);

  auto pop = tip();
  pop->setAnimation(QBPopTipView::kAnimationPop);
  pop->presentPointingAtView(target, container, true);
  EXPECT_EQ(pop->transform(), ui::AffineTransform::scale(1.1, 1.1));
  advance(0.15);
  EXPECT_TRUE(pop->transform().isIdentity());
  EXPECT_EQ(pop->frame(), final);

  // Dismissed animated: faded and dropped at once, gone after the fade.
  slide->dismissAnimated(true);
  EXPECT_EQ(slide->alpha(), 0);
  EXPECT_EQ(slide->frame().minY(), final.minY() + 10);
  EXPECT_TRUE(slide->superview());
  advance(0.21);
  EXPECT_FALSE(slide->superview());
  EXPECT_EQ(delegate_->dismissals, 0);  // the owner's dismissal tells nobody
}

TEST_F(PopTipTest, TimerDismissesAndTellsTheDelegate) {
  auto container = addContainer(Rect(0, 0, 300, 300));
  auto t = tip();
  t->presentPointingAtView(addTarget(*container, Rect(100, 20, 20, 20)), container, false);
  t->autoDismissAnimated(false, 5);
  ASSERT_TRUE(t->autoDismissTimer());
  advance(4.9);
  EXPECT_TRUE(t->superview());
  advance(0.2);
  EXPECT_FALSE(t->superview());
  EXPECT_EQ(delegate_->dismissals, 1);
  EXPECT_FALSE(t->autoDismissTimer());
  EXPECT_FALSE(t->targetObject());
}

TEST_F(PopTipTest, TouchesOnTheTip) {
  auto container = addContainer(Rect(0, 0, 300, 300));
  auto target = addTarget(*container, Rect(100, 20, 20, 20));

  auto kept = tip("Kept");
  kept->setDisableTapToDismiss(true);
  kept->presentPointingAtView(target, container, false);
  ui::Input::tapView(*kept);
  EXPECT_TRUE(kept->superview());
  EXPECT_EQ(delegate_->dismissals, 0);
  kept->dismissAnimated(false);

  auto tapped = tip("Tapped");
  tapped->presentPointingAtView(target, container, false);
  EXPECT_TRUE(ui::Input::tap("Tapped"));
  EXPECT_FALSE(tapped->superview());
  EXPECT_EQ(delegate_->dismissals, 1);
}

// With tap-anywhere, a touch on the tip reaches both the container's
// recognizer and the tip: one dismissal all the same.
TEST_F(PopTipTest, TapAnywhereDismissesOnceAndTheTouchGoesOn) {
  auto container = addContainer(Rect(0, 0, 300, 300));
  auto target = addTarget(*container, Rect(100, 20, 20, 20));
  auto button = ui::Button::withType(ui::ButtonType::System);
  button->setTitle("Go");
  button->setFrame(Rect(10, 250, 80, 30));
  int pressed = 0;
  button->addTarget(nullptr, [&](ui::Control&) { ++pressed; }, ui::kControlEventTouchUpInside);
  container->addSubview(button);

  auto onTip = tip("On the tip");
  onTip->setDismissTapAnywhere(true);
  onTip->presentPointingAtView(target, container, true);
  ASSERT_TRUE(onTip->dismissGestureRecognizer());
  EXPECT_TRUE(ui::Input::tap("On the tip"));
  EXPECT_EQ(delegate_->dismissals, 1);
  EXPECT_FALSE(onTip->superview());
  EXPECT_TRUE(container->gestureRecognizers().empty());

  auto elsewhere = tip("Elsewhere");
  elsewhere->setDismissTapAnywhere(true);
  elsewhere->presentPointingAtView(target, container, true);
  EXPECT_TRUE(ui::Input::tap("Go"));
  EXPECT_EQ(pressed, 1);  // the touch still reached the button
  EXPECT_EQ(delegate_->dismissals, 2);
  EXPECT_FALSE(elsewhere->superview());

  // Not only taps: flipping a switch is a touch in the container too.
  auto row = ui::View::make(Rect(10, 200, 200, 40));
  auto label = std::make_shared<ui::Label>(Rect(0, 0, 100, 40));
  label->setText("Sync");
  auto toggle = std::make_shared<ui::Switch>();
  toggle->setFrame(Rect(120, 5, 51, 31));
  row->addSubview(label);
  row->addSubview(toggle);
  container->addSubview(row);
  auto third = tip("Third");
  third->setDismissTapAnywhere(true);
  third->presentPointingAtView(target, container, true);
  EXPECT_TRUE(ui::Input::toggle("Sync"));
  EXPECT_TRUE(toggle->isOn());
  EXPECT_EQ(delegate_->dismissals, 3);
  EXPECT_FALSE(third->superview());
}

TEST_F(PopTipTest, ShadowSetterChangesTheLayerOnlyOnAChange) {
  auto t = tip();
  EXPECT_TRUE(t->hasShadow());
  EXPECT_DOUBLE_EQ(t->layer().shadowOpacity(), 0.3);
  EXPECT_EQ(t->layer().shadowOffset(), (ui::Size{0, 3}));
  EXPECT_DOUBLE_EQ(t->layer().shadowRadius(), 2);
  t->layer().setShadowOpacity(0.9);
  t->setHasShadow(true);
  EXPECT_DOUBLE_EQ(t->layer().shadowOpacity(), 0.9);  // unchanged value: untouched
  t->setHasShadow(false);
  EXPECT_DOUBLE_EQ(t->layer().shadowOpacity(), 0);
  t->setHasShadow(true);
  EXPECT_DOUBLE_EQ(t->layer().shadowOpacity(), 0.3);
}

TEST_F(PopTipTest, BarButtonItemWithoutAContainerIsReported) {
  auto& reporter = dvcr_testing::DodevadarudCallRecorder::shared();
  reporter.clearRecords();
  auto item = ui::BarButtonItem::withTitle("Edit", ui::BarButtonItemStyle::Plain, nullptr);
  auto t = tip();
  t->presentPointingAtBarButtonItem(item, false);
  EXPECT_FALSE(t->superview());
  EXPECT_FALSE(t->targetObject());
  ASSERT_EQ(reporter.recordedErrors().size(), 1u);
  EXPECT_EQ(reporter.recordedErrors()[0].localizedDescription().rfind("Cannot determine container view from "
                                                                      "UIBarButtonItem: ",
                                                                      0),
            0u);
  reporter.clearRecords();
}

}  // namespace

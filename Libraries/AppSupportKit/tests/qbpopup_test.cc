// Popups: where each animation type starts and ends, the dimming, the
// order of the appearance callbacks and the dismissed block, and the view
// a popup from a child controller covers.
#include <gtest/gtest.h>

#include "Libraries/AppSupportKit/QBPopupViewController.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

namespace popups = QBPopupViewController;

// Notes each appearance callback with the popup view's frame and the
// background's alpha at that moment.
class RecordingPopup : public ui::ViewController {
 public:
  explicit RecordingPopup(std::vector<std::string>* events) : events_(events) {}
  void loadView() override { setView(std::make_shared<ui::View>(ui::Rect(0, 0, 200, 100))); }
  void viewWillAppear(bool animated) override { note("willAppear", animated); }
  void viewDidAppear(bool animated) override { note("didAppear", animated); }
  void viewWillDisappear(bool animated) override { note("willDisappear", animated); }
  void viewDidDisappear(bool animated) override { note("didDisappear", animated); }

  std::shared_ptr<QBPopupBackgroundView> background;
  std::vector<ui::Rect> frames;  // the popup view's frame at each callback

 private:
  void note(const char* what, bool animated) {
    events_->push_back(std::string(what) + (animated ? " YES" : " NO"));
    frames.push_back(view()->frame());
  }
  std::vector<std::string>* events_;
};

class QBPopupTest : public ui::testing::InterfaceTest {
 protected:
  QBPopupTest() {
    root_ = std::make_shared<ui::ViewController>();
    show(root_);
  }
  ui::Size source() { return root_->view()->bounds().size; }
  std::shared_ptr<ui::ViewController> root_;
};

TEST_F(QBPopupTest, EachTypeEntersAndLeavesOverTheDimmedScreen) {
  const double sw = source().width, sh = source().height, cx = (sw - 200) / 2, cy = (sh - 100) / 2;
  struct Case {
    int32_t type;
    ui::Point start;
    ui::Point end;  // from the centre
    double dimming;  // the background's alpha once in
  };
  const std::vector<Case> cases = {
      {1, {cx, sh}, {cx, -100}, 1},     {2, {cx, sh}, {cx, sh}, 1},   {3, {cx, -100}, {cx, -100}, 1},
      {4, {cx, -100}, {cx, sh}, 1},     {5, {-sw, cy}, {-200, cy}, 1}, {6, {-sw, cy}, {sw, cy}, 1},
      {7, {sw, cy}, {-200, cy}, 1},     {8, {sw, cy}, {sw, cy}, 1},   {0, {cx, cy}, {cx, cy}, 0.5},
      {9, {cx, cy}, {cx, cy}, 0.5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type));
    std::vector<std::string> events;
    auto popup = std::make_shared<RecordingPopup>(&events);
    popups::presentPopupViewController(*root_, popup, c.type, [&] {
      events.push_back("dismissed block");
      popup->frames.push_back(popup->view()->frame());
      EXPECT_TRUE(popup->view()->superview()) << "the block runs as the exit starts";
    });
    ui::View* overlay = root_->view()->viewWithTag(popups::kOverlayViewTag);
    ASSERT_TRUE(overlay);
    auto background = popups::qb_popupBackgroundView(*root_);
    ASSERT_TRUE(background);
    EXPECT_EQ(background->superview(), overlay);
    EXPECT_EQ(popup->view()->superview(), overlay);
    EXPECT_EQ(popup->view()->tag(), popups::kPopupViewTag);
    EXPECT_EQ(root_->view()->tag(), popups::kSourceViewTag);
    EXPECT_EQ(popups::qb_presentingViewController(*popup), root_);
    EXPECT_EQ(popups::qb_popupViewController(*root_), popup);

    ASSERT_EQ(popup->frames.size(), 1u);
    EXPECT_EQ(popup->frames[0].origin, c.start) << "where it enters from";
    EXPECT_EQ(popup->view()->frame(), ui::Rect(cx, cy, 200, 100)) << "centred";
    EXPECT_DOUBLE_EQ(background->alpha(), c.dimming);
    EXPECT_DOUBLE_EQ(popup->view()->alpha(), 1);
    advance(0.4);

    popups::dismissPopupViewControllerWithAnimationType(*root_, c.type);
    EXPECT_EQ(popups::qb_popupViewController(*root_), nullptr);
    EXPECT_FALSE(popups::qb_dismissedBlock(*root_));
    EXPECT_DOUBLE_EQ(background->alpha(), 0);
    if (c.type < 1 || c.type > 8) {
      EXPECT_DOUBLE_EQ(popup->view()->alpha(), 0);
    }
    EXPECT_TRUE(popup->view()->superview()) << "until the exit ends";
    advance(0.4);
    EXPECT_FALSE(popup->view()->superview());
    EXPECT_FALSE(root_->view()->viewWithTag(popups::kOverlayViewTag));

    EXPECT_EQ(events, (std::vector<std::string>{"willAppear NO", "didAppear NO", "willDisappear NO",
                                                "dismissed block", "didDisappear NO"}));
    ASSERT_EQ(popup->frames.size(), 5u);
    EXPECT_EQ(popup->frames[2].origin, ui::Point(cx, cy));
    EXPECT_EQ(popup->frames[3].origin, c.end) << "where it leaves to";
  }
}

TEST_F(QBPopupTest, ASideExitKeepsTheHeightItHasWhenDismissed) {
  std::vector<std::string> events;
  auto popup = std::make_shared<RecordingPopup>(&events);
  popups::presentPopupViewController(*root_, popup, 7);
  advance(1);
  popup->view()->setFrame(ui::Rect(50, 40, 200, 100));
  popups::dismissPopupViewControllerWithAnimationType(*root_, 7);
  EXPECT_EQ(popup->view()->frame(), ui::Rect(-200, 40, 200, 100));
  advance(1);
}

TEST_F(QBPopupTest, APopupFromAChildCoversItsOutermostParent) {
  auto child = std::make_shared<ui::ViewController>();
  root_->addChildViewController(child);
  child->view()->setFrame(ui::Rect(0, 0, 100, 100));
  root_->view()->addSubview(child->view());
  child->didMoveToParentViewController(root_.get());

  std::vector<std::string> events;
  auto popup = std::make_shared<RecordingPopup>(&events);
  popups::presentPopupViewController(*child, popup, 2);
  ui::View* overlay = root_->view()->viewWithTag(popups::kOverlayViewTag);
  ASSERT_TRUE(overlay);
  EXPECT_EQ(overlay->superview(), root_->view().get());
  EXPECT_EQ(overlay->frame(), root_->view()->bounds());
  EXPECT_EQ(popups::qb_presentingViewController(*popup), child);

  // The action form: a button tagged with a slide type picks it.
  auto button = std::make_shared<ui::Button>();
  button->setTag(3);
  popups::dismissPopupViewControllerWithAnimation(*child, button.get());
  EXPECT_EQ(popup->view()->frame().origin.y, -100) << "type 3 leaves at the top";
  advance(1);
  EXPECT_FALSE(root_->view()->viewWithTag(popups::kOverlayViewTag));
}

}  // namespace

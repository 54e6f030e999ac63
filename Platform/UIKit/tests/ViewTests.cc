#include <gtest/gtest.h>

#include <cmath>

#include "Platform/UIKit/BarButtonItem.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/DeviceInfo.h"
#include "Platform/UIKit/GestureRecognizer.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/NavigationItem.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

using ViewTest = testing::InterfaceTest;

TEST_F(ViewTest, AutoresizingFollowsTheSuperview) {
  struct Case {
    const char* name;
    uint32_t mask;
    Rect expected;  // child (10, 20, 30, 40) in a 100 x 100 parent grown to 200 x 150
  } cases[] = {
      {"none", kAutoresizingNone, Rect(10, 20, 30, 40)},
      {"flexible width", kAutoresizingFlexibleWidth, Rect(10, 20, 130, 40)},
      {"flexible left margin", kAutoresizingFlexibleLeftMargin, Rect(110, 20, 30, 40)},
      {"flexible left and top margins", kAutoresizingFlexibleLeftMargin | kAutoresizingFlexibleTopMargin,
       Rect(110, 70, 30, 40)},
      {"flexible size", kAutoresizingFlexibleWidth | kAutoresizingFlexibleHeight, Rect(10, 20, 130, 90)},
      // Both margins share the growth in proportion to their lengths (10 : 60).
      {"flexible side margins", kAutoresizingFlexibleLeftMargin | kAutoresizingFlexibleRightMargin,
       Rect(10 + 100.0 * 10 / 70, 20, 30, 40)},
  };
  for (const auto& c : cases) {
    auto parent = View::make(Rect(0, 0, 100, 100));
    auto child = View::make(Rect(10, 20, 30, 40));
    child->setAutoresizingMask(c.mask);
    parent->addSubview(child);
    parent->setFrame(Rect(0, 0, 200, 150));
    Rect f = child->frame();
    EXPECT_NEAR(f.minX(), c.expected.minX(), 1e-9) << c.name;
    EXPECT_NEAR(f.minY(), c.expected.minY(), 1e-9) << c.name;
    EXPECT_NEAR(f.width(), c.expected.width(), 1e-9) << c.name;
    EXPECT_NEAR(f.height(), c.expected.height(), 1e-9) << c.name;
  }
}

TEST_F(ViewTest, TintIsInheritedUntilSet) {
  auto parent = View::make(Rect(0, 0, 100, 100));
  auto child = View::make(Rect(0, 0, 10, 10));
  parent->addSubview(child);
  auto orange = Color::withRGBA(1, 0.5, 0);
  auto green = Color::withRGBA(0, 1, 0);
  EXPECT_TRUE(child->tintColor()->isEqual(*Color::withRGBA(0, 122 / 255.0, 1)));
  parent->setTintColor(orange);
  EXPECT_TRUE(child->tintColor()->isEqual(*orange));
  child->setTintColor(green);
  parent->setTintColor(Color::red());
  EXPECT_TRUE(child->tintColor()->isEqual(*green));
}

TEST_F(ViewTest, GeometryConversionsAndHitTesting) {
  auto window = std::make_shared<Window>();
  window->setHidden(false);
  auto outer = View::make(Rect(10, 20, 200, 200));
  auto inner = View::make(Rect(5, 5, 50, 50));
  window->addSubview(outer);
  outer->addSubview(inner);
  EXPECT_EQ(inner->convertPointTo({0, 0}, nullptr), (Point{15, 25}));
  EXPECT_EQ(inner->convertPointFrom({15, 25}, nullptr), (Point{0, 0}));
  EXPECT_EQ(inner->convertRectTo(Rect(1, 1, 2, 2), outer.get()), Rect(6, 6, 2, 2));
  EXPECT_EQ(window->hitTest({20, 30}), inner.get());
  inner->setUserInteractionEnabled(false);
  EXPECT_EQ(window->hitTest({20, 30}), outer.get());
  outer->setHidden(true);
  EXPECT_EQ(window->hitTest({20, 30}), window.get());
  EXPECT_EQ(inner->window(), window.get());
  inner->removeFromSuperview();
  EXPECT_EQ(inner->window(), nullptr);
}

TEST_F(ViewTest, AnimationsApplyAtOnceAndCompleteOnTheClock) {
  auto view = View::make(Rect(0, 0, 10, 10));
  std::vector<double> completions;
  View::animate(0.3, [&] { view->setAlpha(0); }, [&](bool finished) {
    EXPECT_TRUE(finished);
    completions.push_back(0.3);
  });
  View::animate(0.2, 0.5, kAnimationOptionNone, [&] { view->setAlpha(0.5); },
                [&](bool) { completions.push_back(0.7); });
  EXPECT_EQ(view->alpha(), 0.5);  // the final state of both, at once
  dispatch::RunLoop::main().drain();
  EXPECT_TRUE(completions.empty());
  advance(0.29);
  EXPECT_TRUE(completions.empty());
  advance(0.02);
  EXPECT_EQ(completions, std::vector<double>{0.3});
  advance(0.4);
  EXPECT_EQ(completions, (std::vector<double>{0.3, 0.7}));

  // Without animations the completion still comes, on the next turn.
  completions.clear();
  View::performWithoutAnimation([&] {
    View::animate(5, [&] { view->setAlpha(1); }, [&](bool) { completions.push_back(0); });
  });
  dispatch::RunLoop::main().drain();
  EXPECT_EQ(completions, std::vector<double>{0});
}

class RefusingDelegate : public GestureRecognizerDelegate {
 public:
  bool refuse = false;
  bool gestureRecognizerShouldReceiveTouch(GestureRecognizer&, Point) override { return !refuse; }
};

// Records who saw a touch, in order.
struct TouchLog {
  std::vector<std::string> seen;
};

class WatchingDelegate : public GestureRecognizerDelegate {
 public:
  WatchingDelegate(TouchLog& log, std::string name) : log_(log), name_(std::move(name)) {}
  bool gestureRecognizerShouldReceiveTouch(GestureRecognizer&, Point) override {
    log_.seen.push_back(name_);
    return false;  // sees the touch, never takes it
  }

 private:
  TouchLog& log_;
  std::string name_;
};

class TouchTakingView : public View {
 public:
  TouchTakingView(TouchLog& log, bool takes) : View(Rect(0, 0, 60, 30)), log_(log), takes_(takes) {}
  bool touchesBegan(Point) override {
    log_.seen.push_back("touchesBegan");
    return takes_;
  }
  bool matchesText(const std::string& text) const override { return text == "taker"; }

 private:
  TouchLog& log_;
  bool takes_;
};

TEST_F(ViewTest, ATouchReachesTheRecognizersAboveThenTheTappedView) {
  auto root = std::make_shared<ViewController>();
  show(root);
  TouchLog log;
  auto watcher = std::make_shared<WatchingDelegate>(log, "screen recognizer");
  auto recognizer = std::make_shared<TapGestureRecognizer>([&](GestureRecognizer&) { log.seen.push_back("fired"); });
  recognizer->setDelegate(watcher);
  root->view()->addGestureRecognizer(recognizer);

  // A view that takes the touch: the recognizer above heard of it first.
  auto taker = std::make_shared<TouchTakingView>(log, true);
  root->view()->addSubview(taker);
  EXPECT_TRUE(Input::tap("taker"));
  EXPECT_EQ(log.seen, (std::vector<std::string>{"screen recognizer", "touchesBegan"}));

  // A button: the recognizer hears of the touch and the button still acts.
  taker->removeFromSuperview();
  log.seen.clear();
  auto button = Button::withType(ButtonType::System);
  button->setTitle("Act");
  button->setFrame(Rect(0, 100, 80, 30));
  button->addTarget(nullptr, [&](Control&) { log.seen.push_back("button"); }, kControlEventTouchUpInside);
  root->view()->addSubview(button);
  EXPECT_TRUE(Input::tap("Act"));
  EXPECT_EQ(log.seen, (std::vector<std::string>{"screen recognizer", "button"}));

  // A bar button: the bar's ancestors' recognizers hear of it too.
  auto nav = std::make_shared<NavigationController>(std::make_shared<ViewController>());
  nav->topViewController()->navigationItem().setRightBarButtonItem(
      BarButtonItem::withTitle("Go", BarButtonItemStyle::Plain, [&](BarButtonItem&) { log.seen.push_back("item"); }));
  show(nav);
  nav->view()->addGestureRecognizer(recognizer);
  log.seen.clear();
  EXPECT_TRUE(Input::pressBarButton("Go"));
  EXPECT_EQ(log.seen, (std::vector<std::string>{"screen recognizer", "item"}));
}

TEST_F(ViewTest, TapAndLongPressRecognizers) {
  auto root = std::make_shared<ViewController>();
  show(root);
  auto target = View::make(Rect(10, 10, 100, 40));
  target->setAccessibilityIdentifier("target");
  auto caption = std::make_shared<Label>(Rect(0, 0, 100, 40));
  caption->setText("Caption");
  target->addSubview(caption);
  root->view()->addSubview(target);

  int taps = 0;
  auto tap = std::make_shared<TapGestureRecognizer>([&](GestureRecognizer& g) {
    EXPECT_EQ(g.state(), GestureRecognizerState::Ended);
    ++taps;
  });
  auto delegate = std::make_shared<RefusingDelegate>();
  tap->setDelegate(delegate);
  target->addGestureRecognizer(tap);
  // The label takes no touches; the tap reaches the recognizer of its superview.
  EXPECT_TRUE(Input::tap("Caption"));
  EXPECT_EQ(taps, 1);
  delegate->refuse = true;
  EXPECT_FALSE(Input::tap("target"));
  EXPECT_EQ(taps, 1);

  std::vector<GestureRecognizerState> states;
  auto press = std::make_shared<LongPressGestureRecognizer>(
      [&](GestureRecognizer& g) { states.push_back(g.state()); });
  press->setMinimumPressDuration(1.0);
  target->addGestureRecognizer(press);
  EXPECT_FALSE(Input::longPress("Caption", 0.5));  // too short
  EXPECT_TRUE(states.empty());
  EXPECT_TRUE(Input::longPress("Caption", 1.5));
  EXPECT_EQ(states, (std::vector<GestureRecognizerState>{GestureRecognizerState::Began,
                                                         GestureRecognizerState::Ended}));
}

}  // namespace
}  // namespace ui

namespace ui {
namespace {

class SizeRecorder : public ViewController {
 public:
  std::vector<Size> sizes;
  void viewWillTransitionToSize(Size size) override {
    sizes.push_back(size);
    ViewController::viewWillTransitionToSize(size);
  }
};

TEST_F(ViewTest, RotationResizesWindowsAndKeepsCornerViewsInPlace) {
  auto root = std::make_shared<SizeRecorder>();
  show(root);
  Rect screen = Screen::main().bounds();
  auto corner = View::make(Rect(screen.width() - 50 - 14, screen.height() - 50 - 8, 50, 50));
  corner->setAutoresizingMask(kAutoresizingFlexibleLeftMargin | kAutoresizingFlexibleTopMargin);
  root->view()->addSubview(corner);

  DeviceInfo::current().setOrientation(ns::DeviceOrientation::LandscapeLeft);
  Rect turned = Screen::main().bounds();
  EXPECT_EQ(turned.size, (Size{screen.height(), screen.width()}));
  EXPECT_EQ(window_->frame(), turned);
  EXPECT_EQ(root->sizes, std::vector<Size>{turned.size});
  EXPECT_EQ(corner->frame().maxX(), turned.width() - 14);
  EXPECT_EQ(corner->frame().maxY(), turned.height() - 8);
}

}  // namespace
}  // namespace ui

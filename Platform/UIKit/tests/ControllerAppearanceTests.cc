#include <gtest/gtest.h>

#include "Platform/Foundation/Error.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/testing/InterfaceTest.h"
#include "Platform/UIKit/tests/RecordingController.h"

namespace ui {
namespace {

using testing::Journal;
using testing::RecordingController;
using Strings = std::vector<std::string>;

class ControllerAppearanceTest : public testing::InterfaceTest {
 protected:
  Journal journal = testing::makeJournal();
  std::shared_ptr<RecordingController> make(const std::string& name) {
    return std::make_shared<RecordingController>(name, journal);
  }
  // A hair past the transition: fire dates are wall-clock doubles.
  void finishTransitions() { advance(ViewController::kTransitionDuration + 0.01); }
  Strings take() {
    Strings out = *journal;
    journal->clear();
    return out;
  }
};

TEST_F(ControllerAppearanceTest, RootAppearsWhenTheWindowShows) {
  auto a = make("A");
  auto nav = std::make_shared<NavigationController>(a);
  EXPECT_EQ(take(), Strings{});  // nothing loads before it is needed
  show(nav);
  EXPECT_EQ(take(), (Strings{"A.didLoad", "A.willAppear", "A.didAppear"}));
  window_->setHidden(true);
  EXPECT_EQ(take(), (Strings{"A.willDisappear", "A.didDisappear"}));
}

TEST_F(ControllerAppearanceTest, PushAndPopInThePlatformsOrder) {
  auto a = make("A"), b = make("B"), c = make("C");
  auto nav = std::make_shared<NavigationController>(a);
  show(nav);
  take();

  nav->pushViewController(b, true);
  // The did-callbacks wait for the transition on the run loop's clock.
  EXPECT_EQ(take(), (Strings{"A.willDisappear*", "B.didLoad", "B.willAppear*"}));
  EXPECT_TRUE(b->isMovingToParentViewController());
  finishTransitions();
  EXPECT_EQ(take(), (Strings{"A.didDisappear*", "B.didAppear*"}));
  EXPECT_FALSE(b->isMovingToParentViewController());
  EXPECT_EQ(b->navigationController(), nav.get());

  nav->pushViewController(c, false);
  EXPECT_EQ(take(), (Strings{"B.willDisappear", "C.didLoad", "C.willAppear", "B.didDisappear", "C.didAppear"}));

  auto popped = nav->popToRootViewController(true);
  ASSERT_EQ(popped.size(), 2u);
  EXPECT_EQ(popped[0], b);
  EXPECT_EQ(take(), (Strings{"C.willDisappear*", "A.willAppear*"}));
  finishTransitions();
  EXPECT_EQ(take(), (Strings{"C.didDisappear*", "A.didAppear*"}));
  EXPECT_EQ(nav->viewControllers().size(), 1u);
  EXPECT_EQ(c->parentViewController(), nullptr);
  EXPECT_EQ(nav->popViewController(true), nullptr);  // the root stays
}

TEST_F(ControllerAppearanceTest, PushingTheSameControllerTwiceThrows) {
  auto a = make("A");
  auto nav = std::make_shared<NavigationController>(a);
  EXPECT_THROW(nav->pushViewController(a, false), ns::Exception);
}

TEST_F(ControllerAppearanceTest, PresentAndDismiss) {
  struct Case {
    const char* name;
    ModalPresentationStyle style;
    bool animated;
    Strings onPresent;  // after the transition
    Strings onDismiss;
  } cases[] = {
      {"full screen, animated", ModalPresentationStyle::FullScreen, true,
       {"A.willDisappear*", "M.didLoad", "M.willAppear*", "M.didAppear*", "A.didDisappear*"},
       {"M.willDisappear*", "A.willAppear*", "A.didAppear*", "M.didDisappear*"}},
      {"full screen", ModalPresentationStyle::FullScreen, false,
       {"A.willDisappear", "M.didLoad", "M.willAppear", "M.didAppear", "A.didDisappear"},
       {"M.willDisappear", "A.willAppear", "A.didAppear", "M.didDisappear"}},
      // A sheet leaves the presenter on screen.
      {"page sheet", ModalPresentationStyle::Automatic, true,
       {"M.didLoad", "M.willAppear*", "M.didAppear*"},
       {"M.willDisappear*", "M.didDisappear*"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto a = make("A");
    show(a);
    take();
    auto m = make("M");
    m->setModalPresentationStyle(c.style);
    Strings order;
    a->presentViewController(m, c.animated, [&] { order.push_back("presented"); });
    if (c.animated) {
      EXPECT_TRUE(m->isBeingPresented());
      EXPECT_TRUE(order.empty());
      finishTransitions();
    }
    EXPECT_EQ(take(), c.onPresent);
    EXPECT_EQ(order, Strings{"presented"});
    EXPECT_EQ(a->presentedViewController(), m);
    EXPECT_EQ(m->presentingViewController(), a.get());

    // Dismissing from the presented controller reaches its presenter.
    m->dismissViewController(c.animated, [&] { order.push_back("dismissed"); });
    if (c.animated) finishTransitions();
    EXPECT_EQ(take(), c.onDismiss);
    EXPECT_EQ(order, (Strings{"presented", "dismissed"}));
    EXPECT_EQ(a->presentedViewController(), nullptr);
    EXPECT_EQ(m->view()->superview(), nullptr);
    Application::shared().reset();
  }
}

TEST_F(ControllerAppearanceTest, PresentedNavigationForwardsToItsTopAndChildPresents) {
  auto a = make("A"), b = make("B");
  auto root = std::make_shared<NavigationController>(a);
  show(root);
  take();
  auto modal = std::make_shared<NavigationController>(b);
  modal->setModalPresentationStyle(ModalPresentationStyle::FullScreen);
  // A child presents on behalf of its outermost ancestor.
  a->presentViewController(modal, false);
  EXPECT_EQ(take(), (Strings{"A.willDisappear", "B.didLoad", "B.willAppear", "B.didAppear", "A.didDisappear"}));
  EXPECT_EQ(root->presentedViewController(), modal);
  EXPECT_EQ(b->presentingViewController(), root.get());

  // A second presentation while one is shown is refused.
  auto other = make("X");
  root->presentViewController(other, false);
  EXPECT_EQ(take(), Strings{});
  EXPECT_EQ(root->presentedViewController(), modal);

  root->dismissViewController(false);
  EXPECT_EQ(take(), (Strings{"B.willDisappear", "A.willAppear", "A.didAppear", "B.didDisappear"}));
}

TEST_F(ControllerAppearanceTest, EditButtonTogglesEditing) {
  auto a = make("A");
  auto item = a->editButtonItem();
  EXPECT_EQ(item->title(), "Edit");
  item->press();
  EXPECT_TRUE(a->isEditing());
  EXPECT_EQ(item->title(), "Done");
  item->press();
  EXPECT_FALSE(a->isEditing());
}

}  // namespace
}  // namespace ui

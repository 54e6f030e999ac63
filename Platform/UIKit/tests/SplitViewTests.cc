#include <gtest/gtest.h>

#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/SplitViewController.h"
#include "Platform/UIKit/testing/InterfaceTest.h"
#include "Platform/UIKit/tests/RecordingController.h"

namespace ui {
namespace {

using testing::RecordingController;
using Strings = std::vector<std::string>;

class TakesDetail : public SplitViewControllerDelegate {
 public:
  bool collapseSecondaryViewController(SplitViewController&, ViewController&, ViewController&) override {
    return true;
  }
};

struct Fixture {
  testing::Journal journal = testing::makeJournal();
  std::shared_ptr<RecordingController> master = std::make_shared<RecordingController>("Master", journal);
  std::shared_ptr<RecordingController> detail = std::make_shared<RecordingController>("Detail", journal);
  std::shared_ptr<NavigationController> masterNav = std::make_shared<NavigationController>(master);
  std::shared_ptr<NavigationController> detailNav = std::make_shared<NavigationController>(detail);
  std::shared_ptr<SplitViewController> split = std::make_shared<SplitViewController>();
  Fixture() { split->setViewControllers({masterNav, detailNav}); }
};

class PhoneSplitTest : public testing::InterfaceTest {};

TEST_F(PhoneSplitTest, CollapsesTheDetailOntoTheMasterStack) {
  Fixture f;
  show(f.split);
  EXPECT_TRUE(f.split->isCollapsed());
  ASSERT_EQ(f.split->viewControllers().size(), 1u);
  // The detail navigation controller is pushed whole onto the master's stack.
  ASSERT_EQ(f.masterNav->viewControllers().size(), 2u);
  EXPECT_EQ(f.masterNav->topViewController(), f.detailNav);
  EXPECT_EQ(*f.journal, (Strings{"Detail.didLoad", "Detail.willAppear", "Detail.didAppear"}));
  EXPECT_NE(ScreenText::render().find("NavigationBar: [< Master] \"Detail\""), std::string::npos)
      << ScreenText::render();

  // Showing a detail while collapsed pushes it.
  auto next = std::make_shared<RecordingController>("Next", f.journal);
  f.master->showDetailViewController(next, nullptr);
  advance(0.5);
  EXPECT_EQ(f.masterNav->topViewController(), next);
}

TEST_F(PhoneSplitTest, DelegateMayTakeTheDetail) {
  Fixture f;
  auto delegate = std::make_shared<TakesDetail>();
  f.split->setDelegate(delegate);
  show(f.split);
  EXPECT_EQ(f.masterNav->viewControllers().size(), 1u);
  EXPECT_EQ(f.masterNav->topViewController(), f.master);
  EXPECT_EQ(*f.journal, (Strings{"Master.didLoad", "Master.willAppear", "Master.didAppear"}));
}

class PadSplitTest : public testing::InterfaceTest {
 protected:
  PadSplitTest() : InterfaceTest(ns::UserInterfaceIdiom::Pad) {}
};

TEST_F(PadSplitTest, ShowsBothSidesAndReplacesTheDetail) {
  Fixture f;
  show(f.split);
  EXPECT_FALSE(f.split->isCollapsed());
  ASSERT_EQ(f.split->viewControllers().size(), 2u);
  Rect masterFrame = f.masterNav->view()->frame();
  Rect detailFrame = f.detailNav->view()->frame();
  EXPECT_EQ(masterFrame.minX(), 0);
  EXPECT_EQ(detailFrame.minX(), masterFrame.maxX());
  EXPECT_EQ(detailFrame.maxX(), Screen::main().bounds().width());

  f.journal->clear();
  auto other = std::make_shared<RecordingController>("Other", f.journal);
  auto otherNav = std::make_shared<NavigationController>(other);
  f.master->showDetailViewController(otherNav, nullptr);
  EXPECT_EQ(f.split->viewControllers()[1], otherNav);
  EXPECT_EQ(*f.journal, (Strings{"Detail.willDisappear", "Detail.didDisappear", "Other.didLoad",
                                 "Other.willAppear", "Other.didAppear"}));

  // The display-mode button hides and shows the master side.
  f.journal->clear();
  f.split->displayModeButtonItem()->press();
  EXPECT_EQ(f.split->displayMode(), SplitDisplayMode::PrimaryHidden);
  EXPECT_EQ(*f.journal, (Strings{"Master.willDisappear", "Master.didDisappear"}));
  f.split->displayModeButtonItem()->press();
  EXPECT_EQ(f.split->displayMode(), SplitDisplayMode::AllVisible);
}

}  // namespace
}  // namespace ui

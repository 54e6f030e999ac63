// Unwinding from a presented screen to a controller inside the containers
// of the screen that presented it.
#include <gtest/gtest.h>

#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/SplitViewController.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

using UnwindTest = testing::InterfaceTest;

class Offering : public ViewController {
 public:
  explicit Offering(std::string name) {
    setTitle(std::move(name));
    registerUnwindAction("doneMove:", [this](StoryboardSegue&) { ++unwinds; });
  }
  int unwinds = 0;
};

TEST_F(UnwindTest, ReachesTheTopmostOfferingControllerInsideThePresentersContainers) {
  auto board = Storyboard::named("Main");
  board->registerScene("Picker", [] { return std::make_shared<ViewController>(); });
  board->registerSegue("Picker", {"selected", SegueKind::Unwind, "doneMove:"});

  auto folders = std::make_shared<Offering>("Folders");
  auto notes = std::make_shared<Offering>("Notes");
  auto master = std::make_shared<NavigationController>(folders);
  auto split = std::make_shared<SplitViewController>();
  split->setViewControllers({master, std::make_shared<NavigationController>(std::make_shared<ViewController>())});
  show(split);
  master->pushViewController(notes, false);

  auto picker = board->instantiateViewController("Picker");
  notes->presentViewController(std::make_shared<NavigationController>(picker), false);
  ASSERT_EQ(picker->presentingViewController(), split.get());  // presented through the split view

  picker->performSegue("selected", nullptr);
  Input::settle();
  EXPECT_EQ(notes->unwinds, 1);
  EXPECT_EQ(folders->unwinds, 0);
  EXPECT_FALSE(split->presentedViewController());
  EXPECT_EQ(master->topViewController(), notes);
}

}  // namespace
}  // namespace ui

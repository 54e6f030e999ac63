// An open alert takes every touch until it is answered: the list and the
// bar buttons it leaves visible around it do not react.
#include <gtest/gtest.h>

#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/BarButtonItem.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/Window.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/NavigationItem.h"
#include "Platform/UIKit/PopoverPresentationController.h"
#include "Platform/UIKit/TableViewController.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

class ListController : public TableViewController {
 public:
  int selections = 0;
  int barPresses = 0;
  void viewDidLoad() override {
    tableView().registerCell("Cell", [] { return std::make_shared<TableViewCell>(TableViewCellStyle::Default, "Cell"); });
    navigationItem().setRightBarButtonItem(BarButtonItem::withTitle("Settings", BarButtonItemStyle::Plain, [this](BarButtonItem&) { ++barPresses; }));
  }
  int numberOfRows(TableView&, int) override { return 1; }
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, const IndexPath& path) override {
    auto cell = table.dequeueReusableCell("Cell", path);
    cell->textLabel().setText("Plain");
    return cell;
  }
  void didSelectRow(TableView&, const IndexPath&) override { ++selections; }
};

struct ModalAlertCase {
  ns::UserInterfaceIdiom idiom;
  AlertControllerStyle style;
};

class InputHostModalAlertTest : public testing::InterfaceTest,
                                public ::testing::WithParamInterface<ModalAlertCase> {
 protected:
  InputHostModalAlertTest() : InterfaceTest(GetParam().idiom) {}
};

TEST_P(InputHostModalAlertTest, NothingBehindAnOpenAlertTakesATap) {
  auto list = std::make_shared<ListController>();
  auto navigation = std::make_shared<NavigationController>(list);
  show(navigation);
  ASSERT_TRUE(Input::tap("Plain")) << Input::lastFailure();
  ASSERT_EQ(list->selections, 1);

  bool cancelled = false;
  auto alert = AlertController::make("New Folder", "", GetParam().style);
  alert->addAction(AlertAction::make("Cancel", AlertActionStyle::Cancel, [&](AlertAction&) { cancelled = true; }));
  if (GetParam().style == AlertControllerStyle::ActionSheet) {
    alert->popoverPresentationController()->setBarButtonItem(list->navigationItem().rightBarButtonItem());
  }
  navigation->presentViewController(alert, false, nullptr);
  advance(1);

  EXPECT_FALSE(Input::tap("Plain"));
  EXPECT_FALSE(Input::tap("Settings"));
  EXPECT_EQ(list->selections, 1);
  EXPECT_EQ(list->barPresses, 0);

  ASSERT_TRUE(Input::tap("Cancel")) << Input::lastFailure();
  advance(1);
  EXPECT_TRUE(cancelled);
  EXPECT_TRUE(Input::tap("Plain")) << Input::lastFailure();
  EXPECT_EQ(list->selections, 2);
}

// An alert the app shows in a window of its own over the whole screen: its
// "Done" is the one a tap reaches, not the list's bar button of that name,
// and nothing in the window below it takes a tap until it goes. A window
// that takes no touch (an app that refuses edits) lets no bar button be
// pressed either.
using InputHostAlertWindowTest = testing::InterfaceTest;

TEST_F(InputHostAlertWindowTest, NothingInTheWindowsBelowAnAlertsWindowTakesATap) {
  auto list = std::make_shared<ListController>();
  int listDone = 0, edits = 0, alertDone = 0;
  auto appWindow = show(std::make_shared<NavigationController>(list));
  list->navigationItem().setLeftBarButtonItem(
      BarButtonItem::withTitle("Edit", BarButtonItemStyle::Plain, [&](BarButtonItem&) { ++edits; }));
  list->navigationItem().setRightBarButtonItem(
      BarButtonItem::withTitle("Done", BarButtonItemStyle::Done, [&](BarButtonItem&) { ++listDone; }));

  auto alertContent = std::make_shared<ViewController>();
  auto done = Button::withType(ButtonType::System);
  done->setTitle("Done");
  done->setFrame(Rect(100, 300, 120, 44));
  done->addTarget(nullptr, [&](Control&) { ++alertDone; }, kControlEventTouchUpInside);
  alertContent->view()->addSubview(done);
  auto alertWindow = std::make_shared<Window>();
  alertWindow->setWindowLevel(kWindowLevelStatusBar + 1);
  alertWindow->setRootViewController(alertContent);
  alertWindow->setHidden(false);
  Input::settle();

  ASSERT_TRUE(Input::tap("Done")) << Input::lastFailure();
  EXPECT_EQ(alertDone, 1);
  EXPECT_EQ(listDone, 0);
  EXPECT_FALSE(Input::tap("Edit"));
  EXPECT_FALSE(Input::pressBarButton("Edit"));
  EXPECT_FALSE(Input::tap("Plain"));
  EXPECT_EQ(edits, 0);
  EXPECT_EQ(list->selections, 0);

  alertWindow->setHidden(true);
  Input::settle();
  ASSERT_TRUE(Input::tap("Done")) << Input::lastFailure();
  ASSERT_TRUE(Input::tap("Edit")) << Input::lastFailure();
  EXPECT_EQ(listDone, 1);
  EXPECT_EQ(edits, 1);

  appWindow->setUserInteractionEnabled(false);
  EXPECT_FALSE(Input::tap("Edit"));
  EXPECT_FALSE(Input::pressBarButton("Done"));
  EXPECT_EQ(edits, 1);
  EXPECT_EQ(listDone, 1);
  alertWindow.reset();
}

INSTANTIATE_TEST_SUITE_P(
    PhoneAndPad, InputHostModalAlertTest,
    ::testing::Values(ModalAlertCase{ns::UserInterfaceIdiom::Phone, AlertControllerStyle::Alert},
                      ModalAlertCase{ns::UserInterfaceIdiom::Phone, AlertControllerStyle::ActionSheet},
                      ModalAlertCase{ns::UserInterfaceIdiom::Pad, AlertControllerStyle::Alert},
                      ModalAlertCase{ns::UserInterfaceIdiom::Pad, AlertControllerStyle::ActionSheet}));

}  // namespace
}  // namespace ui

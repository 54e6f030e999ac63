// Touches at points of the screen (a pointer standing for a finger): what
// lies under the point takes a tap, a drag scrolls or swipes, a held touch
// presses long, and nothing under an open alert reacts.
#include <gtest/gtest.h>

#include <vector>

#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/BarButtonItem.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/DatePicker.h"
#include "Platform/UIKit/GestureRecognizer.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/NavigationBar.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/NavigationItem.h"
#include "Platform/UIKit/Switch.h"
#include "Platform/UIKit/TableViewController.h"
#include "Platform/UIKit/TextView.h"
#include "Platform/UIKit/TouchInput.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

class ListController : public TableViewController {
 public:
  std::vector<int> selected;
  std::vector<int> deleted;
  std::vector<std::pair<int, int>> moves;
  int leftPresses = 0, rightPresses = 0;

  void viewDidLoad() override {
    tableView().registerCell("Cell", [] { return std::make_shared<TableViewCell>(TableViewCellStyle::Default, "Cell"); });
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::withTitle("Sort", BarButtonItemStyle::Plain, [this](BarButtonItem&) { ++leftPresses; }));
    navigationItem().setRightBarButtonItem(
        BarButtonItem::withTitle("Add", BarButtonItemStyle::Plain, [this](BarButtonItem&) { ++rightPresses; }));
    navigationItem().setTitle("Rows");
  }
  int numberOfRows(TableView&, int) override { return 40; }
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, const IndexPath& path) override {
    auto cell = table.dequeueReusableCell("Cell", path);
    cell->textLabel().setText("Row " + std::to_string(path.row + 1));
    return cell;
  }
  bool canMoveRow(TableView&, const IndexPath&) override { return true; }
  void moveRow(TableView&, const IndexPath& from, const IndexPath& to) override { moves.push_back({from.row, to.row}); }
  void didSelectRow(TableView&, const IndexPath& path) override { selected.push_back(path.row); }
  void commitEditingStyle(TableView&, TableViewCellEditingStyle, const IndexPath& path) override {
    deleted.push_back(path.row);
  }
};

class TouchInputTest : public testing::InterfaceTest {
 protected:
  void SetUp() override {
    list_ = std::make_shared<ListController>();
    show(std::make_shared<NavigationController>(list_));
    advance(1);
  }

  TableView& table() { return list_->tableView(); }

  // A row's frame on the screen.
  Rect rowFrame(int row) {
    table().layoutIfNeeded();
    auto cell = table().cellForRow(IndexPath{0, row});
    EXPECT_TRUE(cell) << "row " << row << " is not on screen";
    return cell ? cell->convertRectTo(cell->bounds(), nullptr) : Rect();
  }

  static bool tap(Point p) {
    TouchInput::began(p);
    return TouchInput::ended(p);
  }

  // Down at `from`, through the points between in steps of a few points,
  // up at `to`.
  static bool drag(Point from, Point to) {
    TouchInput::began(from);
    for (int step = 1; step <= 10; ++step)
      TouchInput::moved({from.x + (to.x - from.x) * step / 10, from.y + (to.y - from.y) * step / 10});
    return TouchInput::ended(to);
  }

  std::shared_ptr<ListController> list_;
};

TEST_F(TouchInputTest, ATapLandsOnTheRowOrBarButtonUnderThePoint) {
  Rect third = rowFrame(2);
  ASSERT_TRUE(tap({third.midX(), third.midY()}));
  EXPECT_EQ(list_->selected, std::vector<int>{2});
  // Near the row's lower edge is still that row, not the next.
  Rect fifth = rowFrame(4);
  ASSERT_TRUE(tap({40, fifth.maxY() - 2}));
  EXPECT_EQ(list_->selected, (std::vector<int>{2, 4}));

  // The bar draws its items itself: each takes the touches where it stands.
  NavigationBar* bar = &list_->navigationController()->navigationBar();
  Rect barFrame = bar->convertRectTo(bar->bounds(), nullptr);
  ASSERT_TRUE(tap({barFrame.minX() + 24, barFrame.midY()}));
  ASSERT_TRUE(tap({barFrame.maxX() - 20, barFrame.midY()}));
  ASSERT_TRUE(tap({barFrame.maxX() - 20, barFrame.midY()}));
  EXPECT_EQ(list_->leftPresses, 1);
  EXPECT_EQ(list_->rightPresses, 2);
  // The title is no button.
  EXPECT_FALSE(tap({barFrame.midX(), barFrame.midY()}));
  EXPECT_EQ(list_->leftPresses + list_->rightPresses, 3);
}

TEST_F(TouchInputTest, NothingUnderAnOpenAlertTakesATouchButTheAlertDoes) {
  bool cancelled = false;
  auto alert = AlertController::make("Delete?", "", AlertControllerStyle::Alert);
  alert->addAction(AlertAction::make("Cancel", AlertActionStyle::Cancel, [&](AlertAction&) { cancelled = true; }));
  list_->presentViewController(alert, false, nullptr);
  advance(1);

  Rect first = rowFrame(0);
  tap({first.midX(), first.midY()});
  EXPECT_TRUE(list_->selected.empty());

  View* cancel = Input::find("Cancel");
  ASSERT_NE(cancel, nullptr);
  Rect button = cancel->convertRectTo(cancel->bounds(), nullptr);
  ASSERT_TRUE(tap({button.midX(), button.midY()}));
  advance(1);
  EXPECT_TRUE(cancelled);
  ASSERT_TRUE(tap({first.midX(), first.midY()}));
  EXPECT_EQ(list_->selected, std::vector<int>{0});
}

TEST_F(TouchInputTest, AnUpwardDragScrollsTheListWithTheFingerAndSelectsNothing) {
  Rect first = rowFrame(0);
  double before = table().contentOffset().y;
  ASSERT_TRUE(drag({first.midX(), 600}, {first.midX(), 300}));
  EXPECT_DOUBLE_EQ(table().contentOffset().y, before + 300);
  ASSERT_TRUE(drag({first.midX(), 300}, {first.midX(), 400}));
  EXPECT_DOUBLE_EQ(table().contentOffset().y, before + 200);
  EXPECT_TRUE(list_->selected.empty());
  // A move within the slop is still a tap.
  Rect row = rowFrame(8);
  ASSERT_TRUE(drag({row.midX(), row.midY()}, {row.midX() + 4, row.midY() + 4}));
  EXPECT_EQ(list_->selected, std::vector<int>{8});
}

TEST_F(TouchInputTest, ASwipeToTheLeftOpensARowsActionsWhichTakeATap) {
  Rect second = rowFrame(1);
  // Too short a swipe opens nothing.
  EXPECT_FALSE(drag({second.maxX() - 20, second.midY()}, {second.maxX() - 50, second.midY()}));
  EXPECT_FALSE(table().rowWithRevealedActions());

  ASSERT_TRUE(drag({second.maxX() - 20, second.midY()}, {second.maxX() - 140, second.midY()}));
  ASSERT_EQ(table().rowWithRevealedActions(), (IndexPath{0, 1}));
  // A touch elsewhere closes it and selects nothing.
  Rect fourth = rowFrame(3);
  ASSERT_TRUE(tap({fourth.midX(), fourth.midY()}));
  EXPECT_FALSE(table().rowWithRevealedActions());
  EXPECT_TRUE(list_->selected.empty());

  ASSERT_TRUE(drag({second.maxX() - 20, second.midY()}, {second.maxX() - 140, second.midY()}));
  ASSERT_TRUE(tap({second.maxX() - 10, second.midY()}));
  EXPECT_EQ(list_->deleted, std::vector<int>{1});
  EXPECT_TRUE(list_->selected.empty());
}

TEST_F(TouchInputTest, WhileEditingARowMovesByItsGripAndOpensByItsDeleteControl) {
  table().setEditing(true, false);
  advance(1);
  Rect first = rowFrame(0), fourth = rowFrame(3);
  ASSERT_TRUE(drag({first.maxX() - 20, first.midY()}, {fourth.maxX() - 20, fourth.midY()}));
  EXPECT_EQ(list_->moves, (std::vector<std::pair<int, int>>{{0, 3}}));

  Rect third = rowFrame(2);
  ASSERT_TRUE(tap({third.minX() + 19, third.midY()}));
  EXPECT_EQ(table().rowWithRevealedActions(), (IndexPath{0, 2}));
}

TEST_F(TouchInputTest, ATouchHeldInPlaceIsALongPressAndNoTap) {
  int presses = 0, taps = 0;
  auto button = std::make_shared<Button>();
  button->setFrame(Rect(40, 400, 120, 44));
  button->setTitle("Hold");
  button->addTarget(nullptr, [&](Control&) { ++taps; }, kControlEventTouchUpInside);
  button->addGestureRecognizer(std::make_shared<LongPressGestureRecognizer>([&](GestureRecognizer& g) {
    if (g.state() == GestureRecognizerState::Began) ++presses;
  }));
  window_->addSubview(button);
  Point on{100, 420};

  TouchInput::began(on);
  advance(0.3);
  ASSERT_TRUE(TouchInput::ended(on));
  EXPECT_EQ(presses, 0) << "released before the press began: a tap";
  EXPECT_EQ(taps, 1);

  TouchInput::began(on);
  advance(0.6);
  EXPECT_EQ(presses, 1) << "held: the press begins while the finger is down";
  ASSERT_TRUE(TouchInput::ended(on));
  EXPECT_EQ(taps, 1);
}

TEST_F(TouchInputTest, TheKeyboardsAccessoryBarTakesTapsAndItsKeysDoNot) {
  auto text = std::make_shared<TextView>(Rect(0, 100, 390, 200));
  auto bar = std::make_shared<View>(Rect(0, 0, 390, 44));
  auto bold = std::make_shared<Button>();
  bold->setFrame(Rect(100, 0, 60, 44));
  bold->setTitle("Bold");
  int presses = 0;
  bold->addTarget(nullptr, [&](Control&) { ++presses; }, kControlEventTouchUpInside);
  bar->addSubview(bold);
  text->setInputAccessoryView(bar);
  window_->addSubview(text);
  ASSERT_TRUE(text->becomeFirstResponder());
  advance(1);

  Rect keyboard = Keyboard::shared().frame();
  ASSERT_TRUE(tap({keyboard.minX() + 130, keyboard.minY() + 22}));
  EXPECT_EQ(presses, 1);
  // The keys are typed on the real keyboard: touching them does nothing,
  // nor reaches what lies under the keyboard.
  EXPECT_FALSE(tap({keyboard.minX() + 130, keyboard.maxY() - 50}));
  EXPECT_EQ(presses, 1);
  EXPECT_TRUE(text->isFirstResponder());
}

TEST_F(TouchInputTest, ASliderAndADateWheelFollowTheFinger) {
  auto slider = std::make_shared<Slider>();
  slider->setFrame(Rect(20, 300, 228, 31));
  slider->setMaximumValue(100);
  auto picker = std::make_shared<DatePicker>();
  picker->setFrame(Rect(0, 400, 320, 216));
  picker->setMinuteInterval(5);
  ns::Date start = picker->date();
  window_->addSubview(slider);
  window_->addSubview(picker);

  // The thumb's middle runs from 14 points in to 14 points before the end.
  ASSERT_TRUE(drag({34, 315}, {134, 315}));
  EXPECT_FLOAT_EQ(slider->value(), 50);
  ASSERT_TRUE(drag({134, 315}, {600, 315}));
  EXPECT_FLOAT_EQ(slider->value(), 100);

  // Up by two rows rolls two steps later into the middle; a tap on the row
  // above the middle one picks that.
  ASSERT_TRUE(drag({160, 560}, {160, 560 - 2 * DatePicker::kWheelRowHeight}));
  EXPECT_DOUBLE_EQ(picker->date().timeIntervalSince(start), 2 * 300);
  ASSERT_TRUE(tap({160, 508 - DatePicker::kWheelRowHeight}));
  EXPECT_DOUBLE_EQ(picker->date().timeIntervalSince(start), 300);
}

}  // namespace
}  // namespace ui

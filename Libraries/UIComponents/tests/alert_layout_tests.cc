// Alert view geometry: panel width and place for alerts and action sheets
// on a phone (390 x 844) and a pad (820 x 1180), the separate cancel
// button, and the keyboard lifting an alert.
#include <gtest/gtest.h>

#include "Libraries/UIComponents/QBAlertView.h"
#include "Libraries/UIComponents/QBAlertViewButton.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/GeometryValue.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/ScrollView.h"
#include "Platform/UIKit/TableView.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

struct LayoutCase {
  const char* name;
  QBAlertViewStyle style;
  bool fromBottom;
  double width;
  double buttonsHeight;
  bool separateCancel;
};

// Shows each case and checks the panel against the screen of `screen`.
void checkCases(const std::vector<LayoutCase>& cases, ui::Size screen) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto alert = QBAlertView::alertViewWithTitle("Title", "", c.style, {"OK"}, "Cancel", "");
    alert->padShowsActionSheetFromBottom = c.fromBottom;
    alert->show();
    EXPECT_EQ(alert->width(), c.width);
    EXPECT_EQ(alert->buttonsHeight(), c.buttonsHeight);
    ui::Rect panel = alert->scrollView()->frame();
    EXPECT_DOUBLE_EQ(panel.width(), c.width);
    EXPECT_DOUBLE_EQ(panel.minX(), (screen.width - c.width) / 2);
    double content = alert->scrollView()->contentSize().height;
    EXPECT_DOUBLE_EQ(panel.height(), content);
    if (c.style == QBAlertViewStyle::Alert || (!c.fromBottom && screen.width > 500)) {
      EXPECT_DOUBLE_EQ(panel.midY(), screen.height / 2);
    } else {
      double below = c.separateCancel ? c.buttonsHeight + 8 : 0;
      EXPECT_DOUBLE_EQ(panel.maxY(), screen.height - 8 - below);
    }
    if (c.separateCancel) {
      ASSERT_TRUE(alert->cancelButton());
      EXPECT_EQ(alert->cancelButton()->frame(),
                ui::Rect((screen.width - c.width) / 2, screen.height - 8 - c.buttonsHeight, c.width,
                         c.buttonsHeight));
      EXPECT_FALSE(alert->cancelButton()->isDescendantOf(alert->scrollView().get()));
    }
    alert->dismiss();
  }
}

class PhoneLayoutTest : public ui::testing::InterfaceTest {
 protected:
  PhoneLayoutTest() { show(std::make_shared<ui::ViewController>()); }
};

class PadLayoutTest : public ui::testing::InterfaceTest {
 protected:
  PadLayoutTest() : InterfaceTest(ns::UserInterfaceIdiom::Pad) { show(std::make_shared<ui::ViewController>()); }
};

TEST_F(PhoneLayoutTest, AlertIsCentredAndActionSheetSitsAboveItsCancelButton) {
  checkCases({{"alert", QBAlertViewStyle::Alert, false, 280, 44, false},
              {"action sheet", QBAlertViewStyle::ActionSheet, false, 390 - 16, 56, true}},
             ui::Size(390, 844));
}

TEST_F(PadLayoutTest, ActionSheetIsCentredUnlessAskedToComeFromTheBottom) {
  checkCases({{"alert", QBAlertViewStyle::Alert, false, 280, 44, false},
              {"centred action sheet", QBAlertViewStyle::ActionSheet, false, 280, 56, false},
              {"action sheet from the bottom", QBAlertViewStyle::ActionSheet, true, 388, 56, true}},
             ui::Size(820, 1180));
}

TEST_F(PhoneLayoutTest, KeyboardLiftsTheAlertByHalfItsHeight) {
  auto alert = QBAlertView::alertViewWithTitle("Title", "", QBAlertViewStyle::Alert, {"OK"}, "", "");
  alert->show();
  EXPECT_DOUBLE_EQ(alert->scrollView()->frame().midY(), 422);
  ns::NotificationCenter::defaultCenter().post(
      ui::kKeyboardWillShowNotification, nullptr,
      {{ui::kKeyboardFrameEndUserInfoKey, ui::valueWithRect(ui::Rect(0, 544, 390, 300))},
       {ui::kKeyboardAnimationDurationUserInfoKey, 0.25}});
  EXPECT_EQ(alert->keyboardHeight(), 300);
  EXPECT_DOUBLE_EQ(alert->scrollView()->frame().midY(), 422 - 150);
  ns::NotificationCenter::defaultCenter().post(
      ui::kKeyboardWillHideNotification, nullptr,
      {{ui::kKeyboardFrameEndUserInfoKey, ui::valueWithRect(ui::Rect(0, 844, 390, 300))},
       {ui::kKeyboardAnimationDurationUserInfoKey, 0.25}});
  EXPECT_EQ(alert->keyboardHeight(), 0);
  EXPECT_DOUBLE_EQ(alert->scrollView()->frame().midY(), 422);
  alert->dismiss();
}

TEST_F(PhoneLayoutTest, TallContentKeepsTheAvailableHeight) {
  auto alert = QBAlertView::alertViewWithTitle("Title", "", QBAlertViewStyle::Alert,
                                               {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12",
                                                "13", "14", "15", "16", "17", "18", "19", "20"},
                                               "", "");
  alert->show();
  // 844 less twice offsetVertical; the screen is wide enough (390 >= 280 +
  // 2 x 44) to tap the cover beside the panel, so no room is kept above.
  EXPECT_DOUBLE_EQ(alert->scrollView()->frame().height(), 844 - 16);
  EXPECT_GT(alert->scrollView()->contentSize().height, 844);
  alert->dismiss();
}

TEST_F(PhoneLayoutTest, ContentStacksByTheInnerMarginOfItsStyle) {
  // Title, message, a 100-point custom view, then a separator and the row.
  struct Case {
    const char* name;
    QBAlertViewStyle style;
    double margin;         // innerMarginHeight
    double messageOffset;  // from the title's bottom to the message's top
    double buttonsHeight;
  };
  const Case cases[] = {
      {"alert", QBAlertViewStyle::Alert, 16, 8, 44},
      {"action sheet", QBAlertViewStyle::ActionSheet, 12, 6 - 4, 56},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto inner = std::make_shared<ui::View>(ui::Rect(0, 0, 120, 100));
    auto alert = QBAlertView::alertViewWithViewAndTitle("Title", "Message", c.style, inner, {"OK"}, "", "");
    alert->show();
    const double W = alert->width();
    ui::Rect title = alert->titleLabel()->frame(), message = alert->messageLabel()->frame();
    EXPECT_EQ(title.minX(), 10);
    EXPECT_EQ(title.minY(), c.margin);
    EXPECT_EQ(title.width(), W - 20);
    EXPECT_GT(title.height(), 0);
    EXPECT_DOUBLE_EQ(message.minY(), title.maxY() + c.messageOffset);
    EXPECT_EQ(message.width(), W - 20);
    ui::Rect container = alert->innerContainerView()->frame();
    EXPECT_EQ(container, ui::Rect(0, message.maxY() + c.margin, W, 100));
    EXPECT_EQ(inner->frame(), ui::Rect((W - 120) / 2, 0, 120, 100)) << "centred at its own size";
    ui::Rect ok = alert->firstButton()->frame();
    // One separator (0.5 on this screen) a margin below the content.
    EXPECT_DOUBLE_EQ(ok.minY(), container.maxY() + c.margin + 0.5);
    EXPECT_EQ(ok.height(), c.buttonsHeight);
    EXPECT_EQ(ok.width(), W);
    EXPECT_DOUBLE_EQ(alert->scrollView()->contentSize().height, ok.maxY());
    alert->dismiss();
  }
}

TEST_F(PhoneLayoutTest, NoButtonsLeaveAMarginBelowAndTheTableFollowsItsRows) {
  auto bare = QBAlertView::alertViewWithTitle("Title", "", QBAlertViewStyle::Alert, {}, "", "");
  bare->show();
  EXPECT_DOUBLE_EQ(bare->scrollView()->contentSize().height, bare->titleLabel()->frame().maxY() + 16);
  bare->dismiss();

  auto table = QBAlertView::alertViewWithTitle("Title", "", QBAlertViewStyle::Alert, {"A", "B", "C", "D"}, "", "");
  table->show();
  ui::Rect frame = table->tableView()->frame();
  EXPECT_DOUBLE_EQ(frame.minY(), table->titleLabel()->frame().maxY() + 16);
  // A separator as header, then four rows of the buttons' height.
  EXPECT_DOUBLE_EQ(frame.height(), 0.5 + 4 * 44);
  EXPECT_EQ(frame.width(), 280);
  EXPECT_DOUBLE_EQ(table->scrollView()->contentSize().height, frame.maxY());
  table->dismiss();
}

}  // namespace

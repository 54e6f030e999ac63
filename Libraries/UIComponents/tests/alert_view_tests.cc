// Alert view: button events through the input layer, the row and table
// layouts, per-button state, text fields, the cover and appearance rules.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Libraries/UIComponents/QBAlertView.h"
#include "Libraries/UIComponents/QBAlertViewButton.h"
#include "Libraries/UIComponents/QBAlertViewCell.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/ProgressViews.h"
#include "Platform/UIKit/ScrollView.h"
#include "Platform/UIKit/TableView.h"
#include "Platform/UIKit/TextField.h"
#include "Platform/UIKit/VisualEffectView.h"
#include "Platform/UIKit/Window.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

using Strings = std::vector<std::string>;
using ui::Input;

// Records every callback an alert can make, in order.
class Recorder : public QBAlertViewDelegate {
 public:
  Strings log;
  void alertViewWillShow(QBAlertView&) override { log.push_back("delegate willShow"); }
  void alertViewDidShow(QBAlertView&) override { log.push_back("delegate didShow"); }
  void alertViewWillDismiss(QBAlertView&) override { log.push_back("delegate willDismiss"); }
  void alertViewDidDismiss(QBAlertView&) override { log.push_back("delegate didDismiss"); }
  void clickedButtonAtIndex(QBAlertView&, uint64_t i, const std::string& t) override {
    log.push_back("delegate clicked " + std::to_string(i) + " " + t);
  }
  void alertViewCancelled(QBAlertView&) override { log.push_back("delegate cancelled"); }
  void alertViewDestructed(QBAlertView&) override { log.push_back("delegate destructed"); }
  void didDismissAfterClickedButtonAtIndex(QBAlertView&, uint64_t i, const std::string& t) override {
    log.push_back("delegate afterClicked " + std::to_string(i) + " " + t);
  }
  void alertViewDidDismissAfterCancelled(QBAlertView&) override { log.push_back("delegate afterCancelled"); }
  void alertViewDidDismissAfterDestructed(QBAlertView&) override { log.push_back("delegate afterDestructed"); }
  void dismissAnimationsForAlertView(QBAlertView&, double d) override {
    log.push_back("delegate dismissAnimations " + std::to_string(d));
  }

  void watch(QBAlertView& alert) {
    alert.actionHandler = [this](QBAlertView&, uint64_t i, const std::string& t) {
      log.push_back("handler action " + std::to_string(i) + " " + t);
    };
    alert.cancelHandler = [this](QBAlertView&) { log.push_back("handler cancel"); };
    alert.destructiveHandler = [this](QBAlertView&) { log.push_back("handler destructive"); };
    alert.willDismissHandler = [this](QBAlertView&) { log.push_back("handler willDismiss"); };
    alert.didDismissHandler = [this](QBAlertView&) { log.push_back("handler didDismiss"); };
    alert.didDismissAfterActionHandler = [this](QBAlertView&, uint64_t i, const std::string& t) {
      log.push_back("handler afterAction " + std::to_string(i) + " " + t);
    };
    alert.didDismissAfterCancelHandler = [this](QBAlertView&) { log.push_back("handler afterCancel"); };
    alert.didDismissAfterDestructiveHandler = [this](QBAlertView&) { log.push_back("handler afterDestructive"); };
    for (const char* name :
         {QBAlertViewActionNotification, QBAlertViewCancelNotification, QBAlertViewDestructiveNotification,
          QBAlertViewWillDismissNotification, QBAlertViewDismissAnimationsNotification,
          QBAlertViewDidDismissNotification, QBAlertViewDidDismissAfterActionNotification,
          QBAlertViewDidDismissAfterCancelNotification, QBAlertViewDidDismissAfterDestructiveNotification}) {
      tokens.push_back(ns::NotificationCenter::defaultCenter().addObserver(
          name, &alert, nullptr, [this](const ns::Notification& n) {
            std::string line = "note " + n.name();
            if (const ns::Value* t = n.userInfo().find("title")) line += " " + t->stringValue();
            if (const ns::Value* i = n.userInfo().find("index")) line += " " + std::to_string(i->unsignedValue());
            log.push_back(line);
          }));
    }
  }
  ~Recorder() override {
    for (auto& t : tokens) ns::NotificationCenter::defaultCenter().removeObserver(t);
  }
  std::vector<ns::NotificationCenter::TokenPtr> tokens;
};

class AlertViewTest : public ui::testing::InterfaceTest {
 protected:
  explicit AlertViewTest(ns::UserInterfaceIdiom idiom = ns::UserInterfaceIdiom::Phone) : InterfaceTest(idiom) {
    show(std::make_shared<ui::ViewController>());
  }
};

struct PressCase {
  const char* tap;
  Strings expected;
};

TEST_F(AlertViewTest, EachKindOfButtonRunsHandlerDelegateAndNotificationThenTheAfterDismissChain) {
  const PressCase cases[] = {
      {"OK",
       {"handler action 0 OK", "delegate clicked 0 OK", "note QBAlertViewActionNotification OK 0",
        "handler willDismiss", "delegate willDismiss", "note QBAlertViewWillDismissNotification",
        "note QBAlertViewDismissAnimationsNotification", "delegate dismissAnimations 0.500000",
        "handler didDismiss", "delegate didDismiss", "note QBAlertViewDidDismissNotification",
        "handler afterAction 0 OK", "delegate afterClicked 0 OK",
        "note QBAlertViewDidDismissAfterActionNotification OK 0"}},
      {"Cancel",
       {"handler cancel", "delegate cancelled", "note QBAlertViewCancelNotification", "handler willDismiss",
        "delegate willDismiss", "note QBAlertViewWillDismissNotification",
        "note QBAlertViewDismissAnimationsNotification", "delegate dismissAnimations 0.500000",
        "handler didDismiss", "delegate didDismiss", "note QBAlertViewDidDismissNotification",
        "handler afterCancel", "delegate afterCancelled", "note QBAlertViewDidDismissAfterCancelNotification"}},
      {"Delete",
       {"handler destructive", "delegate destructed", "note QBAlertViewDestructiveNotification",
        "handler willDismiss", "delegate willDismiss", "note QBAlertViewWillDismissNotification",
        "note QBAlertViewDismissAnimationsNotification", "delegate dismissAnimations 0.500000",
        "handler didDismiss", "delegate didDismiss", "note QBAlertViewDidDismissNotification",
        "handler afterDestructive", "delegate afterDestructed",
        "note QBAlertViewDidDismissAfterDestructiveNotification"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tap);
    auto recorder = std::make_shared<Recorder>();
    std::weak_ptr<QBAlertView> weak;
    {
      auto alert = QBAlertView::alertViewWithTitle("Title", "Message", QBAlertViewStyle::Alert, {"OK"}, "Cancel",
                                                   "Delete");
      alert->setDelegate(recorder);
      recorder->watch(*alert);
      alert->showAnimated();
      Input::settle();
      ASSERT_TRUE(alert->window() && alert->window()->isKeyWindow());
      ASSERT_TRUE(alert->firstButton() && alert->cancelButton() && alert->destructiveButton())
          << "three buttons fit in a row";
      weak = alert;
      recorder->log.clear();
    }
    ASSERT_TRUE(Input::tap(c.tap)) << Input::lastFailure();
    EXPECT_EQ(recorder->log, c.expected);
    EXPECT_TRUE(weak.expired()) << "a dismissed alert frees itself";
    EXPECT_EQ(Input::find(c.tap), nullptr);
  }
}

TEST_F(AlertViewTest, ManyButtonsUseTheTableAndRowsMapToButtonIndices) {
  auto recorder = std::make_shared<Recorder>();
  auto alert = QBAlertView::alertViewWithTitle("Pick", "", QBAlertViewStyle::Alert, {"One", "Two", "Three", "Four"},
                                               "Cancel", "Erase");
  recorder->watch(*alert);
  alert->show();
  ASSERT_TRUE(alert->tableView());
  EXPECT_FALSE(alert->firstButton());
  EXPECT_EQ(alert->buttonTitles(), (Strings{"Erase", "One", "Two", "Three", "Four", "Cancel"}));
  // Row 0 is destructive, so the plain button "Three" has index 2.
  ASSERT_TRUE(Input::tap("Three")) << Input::lastFailure();
  EXPECT_EQ(recorder->log.front(), "handler action 2 Three");
  EXPECT_EQ(recorder->log.back(), "note QBAlertViewDidDismissAfterActionNotification Three 2");

  Strings which;
  for (const char* tap : {"Erase", "Cancel"}) {
    auto other = QBAlertView::alertViewWithTitle("Pick", "", QBAlertViewStyle::Alert,
                                                 {"One", "Two", "Three", "Four"}, "Cancel", "Erase");
    other->setHandlers(nullptr, [&](QBAlertView&) { which.push_back("cancel"); },
                       [&](QBAlertView&) { which.push_back("destructive"); });
    other->show();
    ASSERT_TRUE(Input::tap(tap)) << Input::lastFailure();
  }
  EXPECT_EQ(which, (Strings{"destructive", "cancel"}));
}

TEST_F(AlertViewTest, RowOrTableFollowsStyleCountAndWidth) {
  struct Case {
    const char* name;
    QBAlertViewStyle style;
    Strings titles;
    std::string cancel;
    bool oneRowOneButton;
    bool table;
  };
  const Case cases[] = {
      {"alert OK and Cancel", QBAlertViewStyle::Alert, {"OK"}, "Cancel", false, false},
      {"alert three plain", QBAlertViewStyle::Alert, {"A", "B", "C"}, "", false, false},
      {"alert four plain", QBAlertViewStyle::Alert, {"A", "B", "C", "D"}, "", false, true},
      {"alert title wider than its cell", QBAlertViewStyle::Alert, {"A rather long title", "B"}, "", false, true},
      {"one row one button", QBAlertViewStyle::Alert, {"OK"}, "", true, true},
      {"sheet one button", QBAlertViewStyle::ActionSheet, {"OK"}, "", false, false},
      {"sheet two buttons", QBAlertViewStyle::ActionSheet, {"A", "B"}, "", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto alert = QBAlertView::alertViewWithTitle("T", "", c.style, c.titles, c.cancel, "");
    alert->oneRowOneButton = c.oneRowOneButton;
    alert->show();
    EXPECT_EQ(alert->tableView() != nullptr, c.table);
    alert->dismiss();
  }
}

TEST_F(AlertViewTest, OkAndCancelRowPutsCancelOnTheLeft) {
  auto alert = QBAlertView::alertViewWithTitle("T", "", QBAlertViewStyle::Alert, {"OK"}, "Cancel", "");
  alert->show();
  ASSERT_TRUE(alert->cancelButton() && alert->firstButton());
  EXPECT_EQ(alert->cancelButton()->frame(), ui::Rect(0, alert->cancelButton()->frame().minY(), 140, 44));
  // The second starts one separator (0.5 on this screen) after the first.
  EXPECT_EQ(alert->firstButton()->frame().minX(), 140.5);
  EXPECT_EQ(alert->firstButton()->frame().width(), 139.5);
  alert->dismiss();
}

TEST_F(AlertViewTest, EnabledStateIsCheckedAgainstThePlainButtonsInTheTableLayout) {
  // Table layout with a destructive and a cancel title: buttonTitles has 5
  // entries, but only indices 0-2 are plain buttons.
  auto alert = QBAlertView::alertViewWithTitle("T", "", QBAlertViewStyle::Alert, {"A", "B", "C"}, "Cancel",
                                               "Erase");
  alert->show();
  ASSERT_TRUE(alert->tableView());
  ASSERT_EQ(alert->buttonTitles().size(), 5u);
  for (uint64_t index : {3u, 4u}) {
    alert->setButtonEnabled(false, index);  // must not write out of range
    alert->setButtonPropertiesAtIndex(index, [](QBAlertViewButtonProperties& p) { p.setEnabled(false); });
    EXPECT_FALSE(alert->isButtonEnabledAtIndex(index));
  }
  alert->setButtonEnabled(false, 1);
  EXPECT_FALSE(alert->isButtonEnabledAtIndex(1));
  EXPECT_TRUE(alert->isButtonEnabledAtIndex(0));
  // Index 1 is row 2 (after the destructive row), now disabled and ignoring taps.
  auto cell = std::dynamic_pointer_cast<QBAlertViewCell>(alert->tableView()->cellForRow(ui::IndexPath::forRow(2, 0)));
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->textLabel().text(), "B");
  EXPECT_FALSE(cell->enabled());
  bool pressed = false;
  alert->actionHandler = [&](QBAlertView&, uint64_t, const std::string&) { pressed = true; };
  Input::tap("B");
  EXPECT_FALSE(pressed);
  alert->dismiss();
}

TEST_F(AlertViewTest, ButtonLayoutMapsIndicesToFirstSecondThird) {
  auto alert = QBAlertView::alertViewWithTitle("T", "", QBAlertViewStyle::Alert, {"A", "B", "C"}, "", "");
  alert->show();
  alert->setButtonEnabled(false, 2);
  alert->setButtonEnabled(false, 3);  // out of range: nothing
  EXPECT_TRUE(alert->firstButton()->isEnabled());
  EXPECT_TRUE(alert->secondButton()->isEnabled());
  EXPECT_FALSE(alert->thirdButton()->isEnabled());
  alert->dismiss();
}

TEST_F(AlertViewTest, ForceActionReportsThePlainTitleInTheTableLayout) {
  auto alert = QBAlertView::alertViewWithTitle("T", "", QBAlertViewStyle::Alert, {"A", "B", "C", "D"}, "", "Erase");
  std::string got;
  alert->actionHandler = [&](QBAlertView&, uint64_t i, const std::string& t) { got = std::to_string(i) + t; };
  alert->show();
  alert->forceActionAtIndex(0);
  EXPECT_EQ(got, "0A");
}

TEST_F(AlertViewTest, TextFieldsAreMadeSetUpAndChainedByTheReturnKey) {
  Strings setup;
  auto alert = QBAlertView::alertViewWithTextFieldsAndTitle(
      "Log in", "", 2,
      [&](ui::TextField& field, uint64_t i) {
        field.setPlaceholder(i == 0 ? "Name" : "Password");
        setup.push_back(std::to_string(i));
      },
      {"OK"}, "Cancel", "");
  std::string typed;
  alert->actionHandler = [&](QBAlertView& a, uint64_t, const std::string&) {
    typed = a.textFieldsArray()[0]->text() + "/" + a.textFieldsArray()[1]->text();
  };
  alert->showAnimated();
  Input::settle();
  EXPECT_EQ(setup, (Strings{"0", "1"}));
  ASSERT_EQ(alert->textFieldsArray().size(), 2u);
  const auto& fields = alert->textFieldsArray();
  EXPECT_EQ(fields[0]->returnKeyType(), ui::ReturnKeyType::Next);
  EXPECT_EQ(fields[1]->returnKeyType(), ui::ReturnKeyType::Done);
  EXPECT_TRUE(fields[0]->isFirstResponder()) << "the first field is focused once shown";
  EXPECT_FALSE(alert->cancelOnTouch());
  ASSERT_TRUE(Input::type("ann"));
  ASSERT_TRUE(Input::pressReturn());
  EXPECT_TRUE(fields[1]->isFirstResponder());
  ASSERT_TRUE(Input::type("pw"));
  ASSERT_TRUE(Input::pressReturn());
  EXPECT_FALSE(fields[1]->isFirstResponder());
  ASSERT_TRUE(Input::tap("OK")) << Input::lastFailure();
  EXPECT_EQ(typed, "ann/pw");
}

TEST_F(AlertViewTest, CoverTapCancelsOnlyWhenCancelOnTouch) {
  struct Case {
    const char* name;
    bool activity;
    bool appearanceCancelOnTouch;
    bool cancels;
  };
  const Case cases[] = {
      {"plain alert", false, false, true},
      {"activity indicator", true, false, false},
      {"activity indicator, appearance says yes", true, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QBAlertView& ap = QBAlertView::appearance();
    if (c.appearanceCancelOnTouch) ap.setCancelOnTouch(true);
    auto alert = c.activity ? QBAlertView::alertViewWithActivityIndicatorAndTitle(
                                  "Wait", "", QBAlertViewStyle::Alert, "Working", {}, "", "")
                            : QBAlertView::alertViewWithTitle("T", "", QBAlertViewStyle::Alert, {"OK"}, "", "");
    bool cancelled = false;
    alert->cancelHandler = [&](QBAlertView&) { cancelled = true; };
    alert->show();
    Input::tapView(*alert->backgroundView());
    EXPECT_EQ(cancelled, c.cancels);
    if (alert->isShowing()) alert->dismiss();
    QBAlertView::resetAppearance();
  }
}

TEST_F(AlertViewTest, TintReachesOnlyColoursNotSetSinceAndOnlyOnce) {
  auto alert = QBAlertView::alertViewWithTitle("T", "", QBAlertViewStyle::Alert, {"OK"}, "", "");
  alert->setCancelButtonTitleColor(ui::Color::black());
  alert->setTintColor(ui::Color::red());
  EXPECT_TRUE(alert->buttons().titleColor->isEqual(*ui::Color::red()));
  EXPECT_TRUE(alert->cancelButtonLook().titleColor->isEqual(*ui::Color::black()));
  alert->setTintColor(ui::Color::blue());
  EXPECT_TRUE(alert->tintColor()->isEqual(*ui::Color::blue()));
  EXPECT_TRUE(alert->buttons().titleColor->isEqual(*ui::Color::red()));
  EXPECT_TRUE(alert->activityIndicatorViewColor()->isEqual(*ui::Color::red()));
}

// A look changed as a whole: the colours the caller changed there are the
// caller's, and a later tint leaves them; the others still follow it.
TEST_F(AlertViewTest, ColoursSetThroughAWholeLookAreKeptFromTheTint) {
  auto alert = QBAlertView::alertViewWithTitle("T", "", QBAlertViewStyle::Alert, {"OK"}, "Cancel", "");
  QBAlertView::ButtonLook buttons = alert->buttons();
  buttons.titleColor = ui::Color::blue();
  buttons.font = ui::Font::systemFont(12);
  alert->setButtons(buttons);
  QBAlertView::ButtonLook cancel = alert->cancelButtonLook();
  cancel.backgroundColorHighlighted = ui::Color::black();
  alert->setCancelButtonLook(cancel);
  alert->setTintColor(ui::Color::red());
  EXPECT_TRUE(alert->buttons().titleColor->isEqual(*ui::Color::blue()));
  EXPECT_EQ(alert->buttons().font->pointSize(), 12);
  EXPECT_TRUE(alert->buttons().backgroundColorHighlighted->isEqual(*ui::Color::red()));
  EXPECT_TRUE(alert->cancelButtonLook().backgroundColorHighlighted->isEqual(*ui::Color::black()));
  EXPECT_TRUE(alert->cancelButtonLook().titleColor->isEqual(*ui::Color::red()));
}

TEST_F(AlertViewTest, ShowWhileShowingDoesNothingAndDismissedAlertCannotShowAgain) {
  auto alert = QBAlertView::alertViewWithTitle("T", "", QBAlertViewStyle::Alert, {"OK"}, "", "");
  int calls = 0;
  alert->showAnimated(false, [&] { ++calls; });
  alert->showAnimated(false, [&] { ++calls; });
  EXPECT_EQ(calls, 1);
  alert->dismiss();
  EXPECT_FALSE(alert->window());
  alert->showAnimated(false, [&] { ++calls; });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(Input::find("OK"), nullptr);
}

TEST_F(AlertViewTest, ProgressCallsApplyOnlyToTheirKinds) {
  auto progress = QBAlertView::alertViewWithProgressViewAndTitle("Copy", "", QBAlertViewStyle::Alert, 0.25f,
                                                                 "1 of 4", {}, "Stop", "");
  auto plain = QBAlertView::alertViewWithTitle("T", "", QBAlertViewStyle::Alert, {"OK"}, "", "");
  progress->show();
  progress->setProgressAndLabelText(0.5f, "2 of 4");
  plain->setProgressAndLabelText(0.5f, "2 of 4");
  EXPECT_FLOAT_EQ(progress->progressView()->progress(), 0.5f);
  EXPECT_EQ(progress->progressLabel()->text(), "2 of 4");
  EXPECT_FLOAT_EQ(plain->progress(), 0.0f);
  EXPECT_EQ(plain->progressLabelText(), "");
  progress->dismiss();
}

}  // namespace

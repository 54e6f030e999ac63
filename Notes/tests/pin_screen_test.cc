// The passcode screen and what it tells its delegate.
#include <gtest/gtest.h>

#include <cmath>

#include "Notes/QBPinViewController.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

using ui::testing::InterfaceTest;

// Answers as configured and records every call, in order.
struct RecordingDelegate : QBPinViewControllerDelegate {
  size_t length = 4;
  bool valid = false;
  bool retry = true;
  std::vector<std::string> checked;
  std::vector<std::string> calls;

  size_t pinLengthForPinViewController(QBPinViewController&) override { return length; }
  bool pinViewControllerIsPinValid(QBPinViewController&, const std::string& pin) override {
    checked.push_back(pin);
    return valid;
  }
  bool userCanRetryInPinViewController(QBPinViewController&) override {
    calls.push_back("retry?");
    return retry;
  }
  void incorrectPinEnteredInPinViewController(QBPinViewController&) override { calls.push_back("incorrect"); }
  void pinViewControllerWillDismissAfterPinEntryWasSuccessful(QBPinViewController&) override {
    calls.push_back("will-dismiss-successful");
  }
  void pinViewControllerDidDismissAfterPinEntryWasSuccessful(QBPinViewController&) override {
    calls.push_back("did-dismiss-successful");
  }
  void pinViewControllerWillDismissAfterPinEntryWasUnsuccessful(QBPinViewController&) override {
    calls.push_back("will-dismiss-unsuccessful");
  }
  void pinViewControllerDidDismissAfterPinEntryWasUnsuccessful(QBPinViewController&) override {
    calls.push_back("did-dismiss-unsuccessful");
  }
  void pinViewControllerWillDismissAfterPinEntryWasCancelled(QBPinViewController&) override {
    calls.push_back("will-dismiss-cancelled");
  }
  void pinViewControllerDidDismissAfterPinEntryWasCancelled(QBPinViewController&) override {
    calls.push_back("did-dismiss-cancelled");
  }
  void securityQuestionButtonTappedInPinViewController(QBPinViewController&) override { calls.push_back("question"); }
  void customButtonTappedInPinViewController(QBPinViewController&) override { calls.push_back("custom"); }
};

using Calls = std::vector<std::string>;

class PinScreenTest : public InterfaceTest {
 protected:
  explicit PinScreenTest(ns::UserInterfaceIdiom idiom = ns::UserInterfaceIdiom::Phone) : InterfaceTest(idiom) {
    root_ = std::make_shared<ui::ViewController>();
    show(root_);
  }

  // The screen, configured by `configure`, presented full screen.
  std::shared_ptr<QBPinViewController> present(const std::function<void(QBPinViewController&)>& configure = nullptr) {
    pin_ = std::make_shared<QBPinViewController>(delegate_);
    pin_->setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
    pin_->setPromptTitle("Enter Passcode");
    if (configure) configure(*pin_);
    root_->presentViewController(pin_, false);
    ui::Input::settle();
    return pin_;
  }

  // A digit typed without waiting for anything it starts.
  void type(unsigned digit) {
    auto& pad = pin_->pinView()->numPadView();
    pad.numberButtonTapped(*pad.buttons()[digit]);
  }
  void type(const std::string& digits) {
    for (char c : digits) type(unsigned(c - '0'));
  }

  bool presented() const { return root_->presentedViewController() == pin_; }
  std::string circles() const { return pin_->pinView()->inputCirclesView().screenText(); }
  ui::Button& right() const { return pin_->pinView()->bottomButton(); }
  ui::Button& custom() const { return pin_->pinView()->bottomButton2(); }

  std::shared_ptr<RecordingDelegate> delegate_ = std::make_shared<RecordingDelegate>();
  std::shared_ptr<ui::ViewController> root_;
  std::shared_ptr<QBPinViewController> pin_;
};

class PadPinScreenTest : public PinScreenTest {
 protected:
  PadPinScreenTest() : PinScreenTest(ns::UserInterfaceIdiom::Pad) {}
};

TEST_F(PinScreenTest, AValidEntryIsCheckedOnceAndEndsTheScreenAfterAPause) {
  present();
  type("123");
  EXPECT_EQ(circles(), "● ● ● ○");
  EXPECT_EQ(right().currentTitle(), "Delete");
  EXPECT_TRUE(delegate_->checked.empty());

  delegate_->valid = true;
  type(4);
  EXPECT_EQ(delegate_->checked, Calls{"1234"});
  type(5);  // before the screen goes: the entry is full
  EXPECT_EQ(delegate_->checked, Calls{"1234"});
  EXPECT_EQ(pin_->pinView()->input(), "1234");

  advance(0.29);
  EXPECT_TRUE(delegate_->calls.empty());
  advance(0.02);
  EXPECT_EQ(delegate_->calls, Calls{"will-dismiss-successful"});
  advance(ui::ViewController::kTransitionDuration);
  EXPECT_EQ(delegate_->calls, (Calls{"will-dismiss-successful", "did-dismiss-successful"}));
  EXPECT_FALSE(presented());
}

TEST_F(PinScreenTest, AWrongEntryShakesEmptiesAndThenTellsTheDelegate) {
  const struct {
    bool retry;
    Calls calls;
    bool stays;
  } cases[] = {
      {true, {"retry?", "incorrect"}, true},
      {false, {"retry?", "will-dismiss-unsuccessful", "did-dismiss-unsuccessful"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.retry);
    delegate_ = std::make_shared<RecordingDelegate>();
    delegate_->retry = c.retry;
    present();
    type("9876");
    EXPECT_EQ(delegate_->checked, Calls{"9876"});
    EXPECT_FALSE(pin_->pinView()->inputCirclesView().transform().isIdentity()) << "shaking";
    EXPECT_EQ(circles(), "● ● ● ●");
    EXPECT_TRUE(delegate_->calls.empty());
    advance(0.2);
    EXPECT_TRUE(delegate_->calls.empty()) << "the shake takes 0.21 seconds";
    advance(0.02);
    EXPECT_EQ(circles(), "○ ○ ○ ○");
    EXPECT_TRUE(pin_->pinView()->inputCirclesView().transform().isIdentity());
    advance(ui::ViewController::kTransitionDuration);
    EXPECT_EQ(delegate_->calls, c.calls);
    EXPECT_EQ(presented(), c.stays);
    if (c.stays) root_->dismissViewController(false);
  }
}

TEST_F(PinScreenTest, TheRightButtonFollowsTheEntryAndTheSettings) {
  const struct {
    bool disableCancel, disableQuestion;
    std::string customTitle;
    bool rightHidden;
    std::string rightTitle;
    bool customShown;
  } cases[] = {
      {false, false, "", false, "Cancel", false},
      {true, false, "", false, "?", false},
      {false, true, "6 Digits", false, "Cancel", true},
      {true, true, "", true, "", false},
      {true, true, "4 Digits", true, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rightTitle + "/" + c.customTitle);
    present([&](QBPinViewController& pin) {
      pin.setDisableCancel(c.disableCancel);
      pin.setDisableSecurityQuestion(c.disableQuestion);
      pin.setCustomButtonTitle(c.customTitle);
    });
    for (int round = 0; round < 2; ++round) {
      EXPECT_EQ(right().isHidden(), c.rightHidden);
      EXPECT_EQ(right().currentTitle(), c.rightTitle);
      EXPECT_EQ(right().hasActions(ui::kControlEventTouchUpInside), !c.rightHidden);
      EXPECT_EQ(!custom().isHidden(), c.customShown);
      if (c.customShown) {
        EXPECT_EQ(custom().currentTitle(), c.customTitle);
      }
      // A digit brings "Delete" and hides the custom button; deleting it
      // brings the same buttons back.
      type(7);
      EXPECT_FALSE(right().isHidden());
      EXPECT_EQ(right().currentTitle(), "Delete");
      EXPECT_TRUE(custom().isHidden());
      ASSERT_TRUE(ui::Input::tap("Delete"));
      EXPECT_EQ(pin_->pinView()->input(), "");
    }
    root_->dismissViewController(false);
  }
}

TEST_F(PinScreenTest, DeleteTakesOffTheLastDigit) {
  present();
  type("58");
  ASSERT_TRUE(ui::Input::tap("Delete"));
  EXPECT_EQ(pin_->pinView()->input(), "5");
  EXPECT_EQ(circles(), "● ○ ○ ○");
  type("123");
  EXPECT_EQ(delegate_->checked, Calls{"5123"});
}

TEST_F(PinScreenTest, CancelEndsTheScreenButTheOtherButtonsLeaveItToTheDelegate) {
  present([](QBPinViewController& pin) { pin.setCustomButtonTitle("6 Digits"); });
  ASSERT_TRUE(ui::Input::tap("6 Digits"));
  EXPECT_TRUE(presented());
  ASSERT_TRUE(ui::Input::tap("Cancel"));
  EXPECT_EQ(delegate_->calls, (Calls{"custom", "will-dismiss-cancelled", "did-dismiss-cancelled"}));
  EXPECT_FALSE(presented());

  delegate_->calls.clear();
  present([](QBPinViewController& pin) { pin.setDisableCancel(true); });
  ASSERT_TRUE(ui::Input::tap("?"));
  EXPECT_EQ(delegate_->calls, Calls{"question"});
  EXPECT_TRUE(presented());
}

TEST_F(PinScreenTest, AZeroLengthMakesEveryDigitAWholeEntry) {
  delegate_->length = 0;
  present();
  EXPECT_EQ(circles(), "○");
  type(7);
  EXPECT_EQ(delegate_->checked, Calls{"7"});
}

TEST_F(PinScreenTest, ADelegateThatIsGoneRejectsTheFirstDigitAndTheScreenEnds) {
  present();
  delegate_.reset();
  type(3);
  advance(0.25);
  advance(ui::ViewController::kTransitionDuration);
  EXPECT_FALSE(presented());
}

TEST_F(PinScreenTest, SettersOnlyPassChangesOn) {
  present();
  QBPinView* entry = pin_->pinView();
  entry->setPromptTitle("changed behind the screen's back");
  pin_->setPromptTitle("Enter Passcode");  // the same text again
  EXPECT_EQ(entry->promptTitle(), "changed behind the screen's back");
  pin_->setPromptTitle("Enter Passcode (3 tries left)");
  EXPECT_EQ(entry->promptTitle(), "Enter Passcode (3 tries left)");

  auto brown = ui::Color::withRGBA(0.35, 0.29, 0.25);
  pin_->setBackgroundColor(brown);
  EXPECT_TRUE(pin_->view()->backgroundColor()->isEqual(*brown));
  EXPECT_TRUE(entry->numPadView().buttons()[4]->backgroundColor()->isEqual(*brown));

  // Translucent: the colour gives way to the (empty) blur behind a clear entry.
  pin_->setTranslucentBackground(true);
  EXPECT_EQ(pin_->view()->backgroundColor()->alpha(), 0);
  EXPECT_EQ(entry->backgroundColor()->alpha(), 0);
  ASSERT_NE(pin_->blurView(), nullptr);
  EXPECT_EQ(pin_->blurView()->frame(), pin_->view()->bounds());
  EXPECT_EQ(pin_->view()->subviews().front().get(), pin_->blurView());
  pin_->setTranslucentBackground(false);
  EXPECT_EQ(pin_->blurView(), nullptr);
  EXPECT_TRUE(entry->backgroundColor()->isEqual(*brown));
}

TEST_F(PinScreenTest, ReloadingTheMainViewTakesANewLength) {
  present();
  delegate_->length = 6;
  pin_->reloadMainView();
  EXPECT_EQ(circles(), "○ ○ ○ ○ ○ ○");
  EXPECT_EQ(pin_->pinView()->promptTitle(), "Enter Passcode");
  EXPECT_EQ(pin_->view()->subviews().size(), 1u);
}

// The entry's gaps and place by device: stacked prompt, circles, keypad and
// (not on a pad) the bottom buttons, centred a little off the middle.
struct Layout {
  double promptToCircles, circlesToKeypad, keypadToButton, offset;
};

void expectLayout(QBPinViewController& pin, const Layout& want) {
  QBPinView& entry = *pin.pinView();
  entry.layoutIfNeeded();
  EXPECT_EQ(entry.paddingBetweenPromptLabelAndInputCircles(), want.promptToCircles);
  EXPECT_EQ(entry.paddingBetweenInputCirclesAndNumPad(), want.circlesToKeypad);
  ui::Rect prompt = entry.promptLabel().frame(), circles = entry.inputCirclesView().frame(),
           keypad = entry.numPadView().frame(), right = entry.bottomButton().frame();
  EXPECT_EQ(prompt.minY(), 0);
  EXPECT_EQ(prompt.width(), entry.bounds().width());
  EXPECT_DOUBLE_EQ(circles.minY() - prompt.maxY(), want.promptToCircles);
  EXPECT_DOUBLE_EQ(keypad.minY() - circles.maxY(), want.circlesToKeypad);
  EXPECT_DOUBLE_EQ(circles.midX(), entry.bounds().midX());
  EXPECT_DOUBLE_EQ(keypad.midX(), entry.bounds().midX());
  EXPECT_EQ(entry.bounds().width(), keypad.width());
  EXPECT_DOUBLE_EQ(right.maxY(), entry.bounds().height());
  EXPECT_DOUBLE_EQ(right.maxX(), entry.bounds().width());
  if (!std::isnan(want.keypadToButton)) {
    EXPECT_DOUBLE_EQ(right.minY() - keypad.maxY(), want.keypadToButton);
  }
  ui::Rect frame = entry.frame();
  ui::Rect screen = pin.view()->bounds();
  EXPECT_DOUBLE_EQ(frame.midX(), screen.midX());
  EXPECT_DOUBLE_EQ(frame.midY(), screen.midY() + want.offset);
}

TEST_F(PinScreenTest, PhoneLayout) {
  present();
  expectLayout(*pin_, {22.5, 41.5, 19, 18.5});
  // The right button is right-aligned, at least 0.4 of the width wide.
  EXPECT_GE(right().frame().width(), 0.4 * pin_->pinView()->bounds().width());
  EXPECT_EQ(right().contentHorizontalAlignment(), ui::ControlContentHorizontalAlignment::Right);
}

TEST_F(PadPinScreenTest, PadLayoutPutsTheButtonsBesideTheZeroKey) {
  present([](QBPinViewController& pin) { pin.setCustomButtonTitle("6 Digits"); });
  expectLayout(*pin_, {22, 52, std::nan(""), -9});
  QBPinView& entry = *pin_->pinView();
  double d = QBPinNumButton::diameter();
  EXPECT_EQ(right().frame().width(), d);
  EXPECT_DOUBLE_EQ(custom().frame().midX(), d / 2);
  EXPECT_DOUBLE_EQ(right().frame().midX(), entry.bounds().width() - d / 2);
  EXPECT_DOUBLE_EQ(custom().frame().midY(), right().frame().midY());
  EXPECT_DOUBLE_EQ(entry.bounds().height(), entry.promptLabel().frame().height() + 22 + 16 + 52 +
                                                entry.numPadView().intrinsicContentSize().height);
}

}  // namespace

// The keypad and the input circles of the passcode screen.
#include <gtest/gtest.h>

#include <cmath>

#include "Libraries/AppSupportKit/TXConfig.h"
#include "Notes/QBPinInputCirclesView.h"
#include "Notes/QBPinNumPadView.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

using ui::testing::InterfaceTest;

struct TappedDigits : QBPinNumPadViewDelegate {
  std::vector<unsigned> digits;
  void pinNumPadViewNumberTapped(QBPinNumPadView&, unsigned number) override { digits.push_back(number); }
};

class KeypadTest : public InterfaceTest {
 protected:
  explicit KeypadTest(ns::UserInterfaceIdiom idiom = ns::UserInterfaceIdiom::Phone) : InterfaceTest(idiom) {}
  ~KeypadTest() override { TXConfig::sharedInstance().reset(); }

  // A keypad on screen in the tint of the passcode screen.
  std::shared_ptr<QBPinNumPadView> showKeypad(ui::ColorPtr background) {
    auto root = std::make_shared<ui::ViewController>();
    show(root);
    pad_ = QBPinNumPadView::make(tapped_);
    pad_->setBackgroundColor(std::move(background));
    pad_->setFrame(ui::Rect(ui::Point{0, 100}, pad_->intrinsicContentSize()));
    root->view()->addSubview(pad_);
    root->view()->setTintColor(ui::Color::withRGBA(0.35, 0.29, 0.25));  // as the lock does
    pad_->layoutIfNeeded();
    return pad_;
  }

  std::shared_ptr<TappedDigits> tapped_ = std::make_shared<TappedDigits>();
  std::shared_ptr<QBPinNumPadView> pad_;
};

class PadKeypadTest : public KeypadTest {
 protected:
  PadKeypadTest() : KeypadTest(ns::UserInterfaceIdiom::Pad) {}
};

ui::Point centerInPad(QBPinNumButton* key, const QBPinNumPadView& pad) {
  ui::Rect r = key->convertRectTo(key->bounds(), &pad);
  return {r.midX(), r.midY()};
}

TEST_F(KeypadTest, TelephoneLayoutWithLettersAndZeroUnderEight) {
  auto pad = showKeypad(ui::Color::white());
  EXPECT_EQ(pad->intrinsicContentSize(), ui::Size(3 * 75 + 2 * 20, 4 * 75 + 3 * 13));
  auto keys = pad->buttons();
  const char* letters[10] = {nullptr, " ", "ABC", "DEF", "GHI", "JKL", "MNO", "PQRS", "TUV", "WXYZ"};
  for (unsigned n = 0; n < 10; ++n) {
    SCOPED_TRACE(n);
    ASSERT_NE(keys[n], nullptr);
    EXPECT_EQ(keys[n]->number(), n);
    EXPECT_EQ(keys[n]->frame().size, ui::Size(75, 75));
    if (letters[n]) {
      ASSERT_NE(keys[n]->lettersLabel(), nullptr);
      EXPECT_EQ(keys[n]->lettersLabel()->text(), letters[n]);
    } else {
      EXPECT_EQ(keys[n]->lettersLabel(), nullptr);
    }
    if (n == 0) continue;
    // Rows of three, left to right, top to bottom.
    ui::Point c = centerInPad(keys[n], *pad);
    EXPECT_DOUBLE_EQ(c.x, 37.5 + ((n - 1) % 3) * 95.0);
    EXPECT_DOUBLE_EQ(c.y, 37.5 + ((n - 1) / 3) * 88.0);
  }
  EXPECT_EQ(centerInPad(keys[0], *pad), (ui::Point{centerInPad(keys[8], *pad).x, 37.5 + 3 * 88.0}));
  EXPECT_EQ(pad->screenText(),
            "[1]      [2 ABC]  [3 DEF]\n"
            "[4 GHI]  [5 JKL]  [6 MNO]\n"
            "[7 PQRS] [8 TUV]  [9 WXYZ]\n"
            "         [0]");

  ASSERT_TRUE(ui::Input::tap("8"));
  ASSERT_TRUE(ui::Input::tap("0"));
  EXPECT_EQ(tapped_->digits, (std::vector<unsigned>{8, 0}));
}

TEST_F(PadKeypadTest, PadKeysAreLargerAndFurtherApart) {
  auto pad = showKeypad(ui::Color::white());
  EXPECT_EQ(pad->intrinsicContentSize(), ui::Size(3 * 82 + 2 * 24, 4 * 82 + 3 * 19));
  EXPECT_EQ(pad->buttons()[5]->frame().size, ui::Size(82, 82));
  EXPECT_EQ(pad->buttons()[5]->numberLabel().font()->pointSize(), 41);
}

TEST_F(KeypadTest, HidingLettersRebuildsKeysWithoutAnyLettersLine) {
  auto pad = showKeypad(ui::Color::white());
  auto before = pad->buttons();
  pad->setHideLetters(false);
  EXPECT_EQ(pad->buttons(), before) << "an unchanged setting keeps the keys";
  pad->setHideLetters(true);
  auto after = pad->buttons();
  EXPECT_NE(after[1], before[1]);
  for (auto* key : after) EXPECT_EQ(key->lettersLabel(), nullptr) << key->number();
  EXPECT_FALSE(pad->lettersForRow(0, 0));
  EXPECT_EQ(after[1]->screenText(), "[1]");
  ASSERT_TRUE(ui::Input::tap("1"));
  EXPECT_EQ(tapped_->digits, (std::vector<unsigned>{1}));
}

TEST_F(KeypadTest, KeysAreSquareCorneredUnlessTheConfigurationAsksForRound) {
  EXPECT_EQ(QBPinNumButton::make(5, "JKL")->layer().cornerRadius(), 20);
  TXConfig::sharedInstance().setValue("app", "passcodeRoundButtons", ns::Value(true));
  auto round = QBPinNumButton::make(5, "JKL");
  EXPECT_EQ(round->layer().cornerRadius(), 37.5);
  EXPECT_EQ(round->layer().borderWidth(), 1);
}

TEST_F(KeypadTest, APressedKeyFillsWithTheTintAndFadesBack) {
  const struct {
    const char* what;
    ui::ColorPtr background;
    ui::ColorPtr pressedText;
  } cases[] = {
      {"coloured keypad: the digit takes the background", ui::Color::withWhite(0.9), ui::Color::withWhite(0.9)},
      {"clear keypad: a contrasting digit", ui::Color::clear(), ui::Color::white()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto pad = showKeypad(c.background);
    QBPinNumButton* key = pad->buttons()[2];
    auto tint = key->tintColor();
    EXPECT_TRUE(key->numberLabel().textColor()->isEqual(*tint));
    EXPECT_TRUE(key->layer().borderColor()->isEqual(*tint));

    key->pressDown();
    EXPECT_TRUE(key->backgroundColor()->isEqual(*tint));
    EXPECT_TRUE(key->numberLabel().textColor()->isEqual(*c.pressedText));
    EXPECT_TRUE(key->lettersLabel()->textColor()->isEqual(*c.pressedText));

    key->resetHighlight();
    advance(0.29);
    EXPECT_TRUE(key->numberLabel().textColor()->isEqual(*c.pressedText)) << "the fade has not ended";
    advance(0.02);
    EXPECT_TRUE(key->backgroundColor()->isEqual(*c.background));
    EXPECT_TRUE(key->numberLabel().textColor()->isEqual(*tint));
    EXPECT_TRUE(key->lettersLabel()->textColor()->isEqual(*tint));
  }
}

TEST_F(KeypadTest, CirclesRowIsAsWideAsItsDigitsAndFillsByPosition) {
  QBPinInputCirclesView six(6);
  EXPECT_EQ(six.intrinsicContentSize(), ui::Size(6 * 12.5 + 5 * 25, 12.5));
  EXPECT_EQ(six.intrinsicContentSize().width, 200);
  six.layoutIfNeeded();
  EXPECT_EQ(six.circleViews()[5]->frame(), ui::Rect(187.5, 0, 12.5, 12.5));
  EXPECT_EQ(six.circleViews()[0]->layer().cornerRadius(), 6.25);

  six.fillCircleAtPosition(0);
  six.fillCircleAtPosition(1);
  six.fillCircleAtPosition(6);  // outside: ignored
  EXPECT_EQ(six.screenText(), "● ● ○ ○ ○ ○");
  EXPECT_TRUE(six.circleViews()[1]->backgroundColor()->isEqual(*six.tintColor()));
  six.unfillCircleAtPosition(1);
  EXPECT_EQ(six.screenText(), "● ○ ○ ○ ○ ○");
  six.unfillAllCircles();
  EXPECT_EQ(six.screenText(), "○ ○ ○ ○ ○ ○");
  EXPECT_EQ(six.circleViews()[0]->backgroundColor()->alpha(), 0);
}

TEST_F(PadKeypadTest, PadCirclesAreLarger) {
  QBPinInputCirclesView four(4);
  EXPECT_EQ(four.intrinsicContentSize(), ui::Size(4 * 16 + 3 * 32, 16));
}

TEST_F(KeypadTest, ShakeSwingsSevenTimesAndCompletesOnceAtRest) {
  auto circles = std::make_shared<QBPinInputCirclesView>(4);
  int completions = 0;
  bool atRestWhenCompleted = false;
  circles->shakeWithCompletion([&] {
    ++completions;
    atRestWhenCompleted = circles->transform().isIdentity();
  });
  // Each step's target offset, as the step begins.
  const double offsets[] = {-40, 40 * 5 / 6.0, -40 * 4 / 6.0, 40 * 3 / 6.0, -40 * 2 / 6.0, 40 / 6.0, 0};
  for (double offset : offsets) {
    EXPECT_NEAR(circles->transform().tx, offset, 1e-9);
    EXPECT_EQ(completions, 0);
    ns::Clock::advance(QBPinInputCirclesView::kShakeStepDuration);
    dispatch::RunLoop::main().drain();
  }
  EXPECT_EQ(completions, 1);
  EXPECT_TRUE(atRestWhenCompleted);
  advance(1);
  EXPECT_EQ(completions, 1);
}

}  // namespace

// The keys of a hardware keyboard in a focused text view: the arrows move
// its cursor by characters and lines, paste brings what was copied
// elsewhere, and with nothing focused no key does anything.
#include <gtest/gtest.h>

#include "Platform/UIKit/HardwareKeyboard.h"
#include "Platform/UIKit/Pasteboard.h"
#include "Platform/UIKit/TextView.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

using Arrow = HardwareKeyboard::Arrow;

class HardwareKeyboardTest : public testing::InterfaceTest {
 protected:
  HardwareKeyboardTest() {
    auto root = std::make_shared<ViewController>();
    show(root);
    text_ = std::make_shared<TextView>(Rect(0, 100, 390, 300));
    root->view()->addSubview(text_);
  }
  std::shared_ptr<TextView> text_;
};

TEST_F(HardwareKeyboardTest, ArrowsMoveTheCursorByCharactersAndLines) {
  struct Case {
    const char* text;
    ns::Range from;
    Arrow arrow;
    size_t to;
  };
  // "😀" is two UTF-16 units and moves as one character.
  const Case cases[] = {
      {"abc", {1, 0}, Arrow::Left, 0},
      {"abc", {0, 0}, Arrow::Left, 0},
      {"abc", {1, 0}, Arrow::Right, 2},
      {"abc", {3, 0}, Arrow::Right, 3},
      {"a\xF0\x9F\x98\x80" "b", {1, 0}, Arrow::Right, 3},
      {"a\xF0\x9F\x98\x80" "b", {3, 0}, Arrow::Left, 1},
      {"abc", {1, 2}, Arrow::Left, 1},   // a selection collapses to its start
      {"abc", {0, 2}, Arrow::Right, 2},  // ... or its end
      {"ab\ncdef\ng", {5, 0}, Arrow::Up, 2},     // the same column, where the line is shorter: its end
      {"ab\ncdef\ng", {4, 0}, Arrow::Up, 1},
      {"ab\ncdef\ng", {1, 0}, Arrow::Up, 0},     // the first line: to the start
      {"ab\ncdef\ng", {1, 0}, Arrow::Down, 4},
      {"ab\ncdef\ng", {6, 0}, Arrow::Down, 9},   // the last line is shorter
      {"ab\ncdef\ng", {9, 0}, Arrow::Down, 9},   // the last line: to the end
  };
  ASSERT_TRUE(text_->becomeFirstResponder());
  for (const auto& c : cases) {
    text_->setText(c.text);
    text_->setSelectedRange(c.from);
    HardwareKeyboard::arrow(c.arrow);
    EXPECT_EQ(text_->selectedRange().location, c.to) << c.text << " from " << c.from.location;
    EXPECT_EQ(text_->selectedRange().length, 0u);
  }
}

TEST_F(HardwareKeyboardTest, KeysEditTheFocusedTextAndPasteBringsTheCopiedText) {
  EXPECT_FALSE(HardwareKeyboard::type("lost"));
  EXPECT_FALSE(HardwareKeyboard::paste("lost"));
  ASSERT_TRUE(text_->becomeFirstResponder());
  ASSERT_TRUE(HardwareKeyboard::type("Milk"));
  ASSERT_TRUE(HardwareKeyboard::enter());
  ASSERT_TRUE(HardwareKeyboard::paste("eggs"));
  ASSERT_TRUE(HardwareKeyboard::arrow(Arrow::Up));
  ASSERT_TRUE(HardwareKeyboard::backspace());
  EXPECT_EQ(text_->text(), "Mil\neggs");
  EXPECT_EQ(Pasteboard::general().string(), "eggs");
}

}  // namespace
}  // namespace ui

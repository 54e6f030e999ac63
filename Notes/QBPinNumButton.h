// One round-cornered digit key of the passcode keypad: the digit and,
// under it, the letters of a telephone key. Its border and texts take the
// tint colour; while pressed it fills with the tint and its texts take the
// background colour, which fades back over 0.3 seconds on release.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/Label.h"

class QBPinNumButton : public ui::Button {
 public:
  static constexpr double kHighlightFadeDuration = 0.3;

  // Letters: none for keys without a letters line.
  static std::shared_ptr<QBPinNumButton> make(unsigned number, std::optional<std::string> letters);
  QBPinNumButton(unsigned number, std::optional<std::string> letters);
  std::string typeName() const override { return "QBPinNumButton"; }

  // 82 points on a pad, 75 otherwise.
  static double diameter();
  // The average colour of the content behind a translucent keypad: the
  // window's view tagged 14742 drawn into one pixel. No view of the app
  // carries that tag, so there is none (null).
  static std::shared_ptr<const ui::Color> averageContentColor();

  unsigned number() const { return number_; }
  const std::optional<std::string>& letters() const { return letters_; }
  ui::Label& numberLabel() { return *numberLabel_; }
  // Null without letters.
  ui::Label* lettersLabel() { return lettersLabel_.get(); }
  std::shared_ptr<const ui::Color> backgroundColorBackup() const { return backgroundColorBackup_; }

  ui::Size intrinsicContentSize() const { return {diameter(), diameter()}; }
  ui::Size sizeThatFits(ui::Size) const override { return intrinsicContentSize(); }
  void layoutSubviews() override;
  void tintColorDidChange() override;

  // Press feedback: touch down, and touch up or cancel.
  void pressDown();
  void resetHighlight();

  // "[2 ABC]"; a person taps the key by its digit.
  std::string screenText() const override;

 private:
  void build();
  void colorLabels(const std::shared_ptr<const ui::Color>& color);

  unsigned number_;
  std::optional<std::string> letters_;
  std::shared_ptr<ui::View> contentView_;
  std::shared_ptr<ui::Label> numberLabel_;
  std::shared_ptr<ui::Label> lettersLabel_;
  std::shared_ptr<const ui::Color> backgroundColorBackup_;
};

#include "Notes/QBPinNumButton.h"

#include <cmath>

#include "Libraries/AppSupportKit/TXConfig.h"
#include "Platform/UIKit/DeviceInfo.h"
#include "Platform/UIKit/Font.h"

namespace {

bool pad() { return ui::DeviceInfo::current().isPad(); }

constexpr double kSquareCornerRadius = 20;

// Text heights of the labels, as the fonts measure them, rounded up.
double textHeight(const ui::Label& label) { return std::ceil(label.sizeThatFits(ui::Size{0, 0}).height); }

bool isClear(const std::shared_ptr<const ui::Color>& color) { return !color || color->alpha() <= 0; }

}  // namespace

std::shared_ptr<QBPinNumButton> QBPinNumButton::make(unsigned number, std::optional<std::string> letters) {
  auto button = std::make_shared<QBPinNumButton>(number, std::move(letters));
  button->build();
  return button;
}

QBPinNumButton::QBPinNumButton(unsigned number, std::optional<std::string> letters)
    : ui::Button(ui::ButtonType::Custom), number_(number), letters_(std::move(letters)) {}

double QBPinNumButton::diameter() { return pad() ? 82 : 75; }

std::shared_ptr<const ui::Color> QBPinNumButton::averageContentColor() { return nullptr; }

void QBPinNumButton::build() {
  setFrame(ui::Rect(0, 0, diameter(), diameter()));
  setAccessibilityLabel(std::to_string(number_));
  bool round = TXConfig::sharedInstance().valueForGroup("app", "passcodeRoundButtons", ns::Value(false)).boolValue();
  layer().setCornerRadius(round ? diameter() / 2 : kSquareCornerRadius);
  layer().setBorderWidth(1);

  contentView_ = std::make_shared<ui::View>();
  contentView_->setUserInteractionEnabled(false);
  contentView_->setBackgroundColor(ui::Color::clear());
  addSubview(contentView_);

  numberLabel_ = std::make_shared<ui::Label>();
  numberLabel_->setText(std::to_string(number_));
  numberLabel_->setTextAlignment(ui::TextAlignment::Center);
  numberLabel_->setFont(ui::Font::systemFont(pad() ? 41 : 36));
  contentView_->addSubview(numberLabel_);
  if (letters_) {
    lettersLabel_ = std::make_shared<ui::Label>();
    lettersLabel_->setText(*letters_);
    lettersLabel_->setTextAlignment(ui::TextAlignment::Center);
    lettersLabel_->setFont(ui::Font::systemFont(pad() ? 11 : 9));
    contentView_->addSubview(lettersLabel_);
  }

  // The keypad's tapped action comes after these, so the key is restored
  // before the digit is handled.
  addTarget(this, [](ui::Control& c) { static_cast<QBPinNumButton&>(c).pressDown(); }, ui::kControlEventTouchDown);
  addTarget(this, [](ui::Control& c) { static_cast<QBPinNumButton&>(c).resetHighlight(); },
            ui::kControlEventTouchUpInside | ui::kControlEventTouchUpOutside | ui::kControlEventTouchCancel);
  tintColorDidChange();
  setNeedsLayout();
}

void QBPinNumButton::layoutSubviews() {
  ui::Button::layoutSubviews();
  double width = bounds().width();
  double numberHeight = textHeight(*numberLabel_);
  double height = numberHeight;
  if (lettersLabel_) {
    // The digit rides 3.5 points up into the letters line (none on a pad).
    double overlap = pad() ? 0 : 3.5;
    double lettersHeight = textHeight(*lettersLabel_);
    height = numberHeight + lettersHeight - overlap;
    numberLabel_->setFrame(ui::Rect(0, -overlap, width, numberHeight));
    double lettersBottomInset = pad() ? 6.5 : 4;
    lettersLabel_->setFrame(ui::Rect(0, height - lettersBottomInset - lettersHeight, width, lettersHeight));
  } else {
    numberLabel_->setFrame(ui::Rect(0, 0, width, numberHeight));
  }
  contentView_->setFrame(ui::Rect(0, (bounds().height() - height) / 2, width, height));
}

void QBPinNumButton::colorLabels(const std::shared_ptr<const ui::Color>& color) {
  numberLabel_->setTextColor(color);
  if (lettersLabel_) lettersLabel_->setTextColor(color);
}

void QBPinNumButton::tintColorDidChange() {
  if (!numberLabel_) return;
  layer().setBorderColor(tintColor());
  colorLabels(tintColor());
}

void QBPinNumButton::pressDown() {
  backgroundColorBackup_ = backgroundColor();
  setBackgroundColor(tintColor());
  std::shared_ptr<const ui::Color> textColor = backgroundColorBackup_;
  if (isClear(textColor)) {
    // Over a clear keypad the digit takes the colour behind it; with none
    // known, white stands out on the tint.
    textColor = averageContentColor();
    if (!textColor) textColor = ui::Color::white();
  }
  colorLabels(textColor);
}

void QBPinNumButton::resetHighlight() {
  auto self = std::static_pointer_cast<QBPinNumButton>(shared_from_this());
  auto restore = backgroundColorBackup_;
  ui::View::animate(
      kHighlightFadeDuration, 0, ui::kAnimationOptionAllowUserInteraction | ui::kAnimationOptionBeginFromCurrentState,
      [self, restore] { self->setBackgroundColor(restore); },
      [self](bool) { self->colorLabels(self->tintColor()); });
}

std::string QBPinNumButton::screenText() const {
  std::string text = "[" + std::to_string(number_);
  if (letters_ && letters_->find_first_not_of(' ') != std::string::npos) text += " " + *letters_;
  return text + "]";
}

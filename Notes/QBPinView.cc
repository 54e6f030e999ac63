#include "Notes/QBPinView.h"

#include <algorithm>
#include <cmath>

#include "Notes/NTLocalized.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/UIKit/DeviceInfo.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/Screen.h"

namespace {

bool pad() { return ui::DeviceInfo::current().isPad(); }

// A system button with a title is at least this high.
constexpr double kBottomButtonHeight = 30;
constexpr double kBottomButtonMinimumWidthShare = 0.4;

std::shared_ptr<ui::Button> makeBottomButton() {
  auto button = ui::Button::withType(ui::ButtonType::System);
  button->titleLabel().setFont(ui::Font::systemFont(16));
  button->titleLabel().setLineBreakMode(ui::LineBreakMode::TruncateTail);
  button->titleLabel().setAdjustsFontSizeToFitWidth(true);
  button->titleLabel().setMinimumScaleFactor(0.5);
  return button;
}

}  // namespace

std::shared_ptr<QBPinView> QBPinView::make(std::weak_ptr<QBPinViewDelegate> delegate) {
  auto view = std::make_shared<QBPinView>();
  view->delegate_ = delegate;
  auto asked = delegate.lock();
  view->build(asked ? asked->pinLengthForPinView(*view) : 1);
  return view;
}

void QBPinView::build(size_t pinLength) {
  if (pad()) {
    paddingPromptCircles_ = 22;
    paddingCirclesNumPad_ = 52;
  } else if (ui::Screen::main().bounds().height() <= 480) {
    paddingPromptCircles_ = 15.5;
    paddingCirclesNumPad_ = 14;
    paddingNumPadButton_ = -7.5;
  } else {
    paddingPromptCircles_ = 22.5;
    paddingCirclesNumPad_ = 41.5;
    paddingNumPadButton_ = 19;
  }

  promptLabel_ = std::make_shared<ui::Label>();
  promptLabel_->setTextAlignment(ui::TextAlignment::Center);
  promptLabel_->setFont(ui::Font::systemFont(pad() ? 22 : 18));
  promptLabel_->setAdjustsFontSizeToFitWidth(true);
  promptLabel_->setMinimumScaleFactor(0.5);
  addSubview(promptLabel_);
  // One line of the prompt's font, whatever the prompt says.
  ui::Label sample;
  sample.setFont(promptLabel_->font());
  sample.setText("Enter Passcode");
  promptHeight_ = std::ceil(sample.sizeThatFits(ui::Size{0, 0}).height);

  inputCirclesView_ = std::make_shared<QBPinInputCirclesView>(pinLength);
  addSubview(inputCirclesView_);

  numPadView_ = QBPinNumPadView::make(std::static_pointer_cast<QBPinView>(shared_from_this()));
  numPadView_->setBackgroundColor(backgroundColor());
  addSubview(numPadView_);

  bottomButton_ = makeBottomButton();
  bottomButton_->setContentHorizontalAlignment(ui::ControlContentHorizontalAlignment::Right);
  addSubview(bottomButton_);
  bottomButton2_ = makeBottomButton();
  bottomButton2_->setContentHorizontalAlignment(ui::ControlContentHorizontalAlignment::Left);
  std::weak_ptr<QBPinView> weak = std::static_pointer_cast<QBPinView>(shared_from_this());
  bottomButton2_->addTarget(
      this,
      [weak](ui::Control&) {
        if (auto self = weak.lock()) self->custom();
      },
      ui::kControlEventTouchUpInside);
  addSubview(bottomButton2_);

  setFrame(ui::Rect(ui::Point{0, 0}, intrinsicContentSize()));
  updateBottomButtons();
}

double QBPinView::promptHeight() const { return promptHeight_; }

double QBPinView::bottomButtonHeight() const { return kBottomButtonHeight; }

ui::Size QBPinView::intrinsicContentSize() const {
  ui::Size circles = inputCirclesView_->intrinsicContentSize();
  ui::Size keypad = numPadView_->intrinsicContentSize();
  double height = promptHeight() + circles.height + keypad.height + paddingPromptCircles_ + paddingCirclesNumPad_;
  if (!pad()) height += paddingNumPadButton_ + bottomButtonHeight();
  return {keypad.width, height};
}

void QBPinView::layoutSubviews() {
  double width = bounds().width();
  double y = 0;
  promptLabel_->setFrame(ui::Rect(0, y, width, promptHeight()));
  y += promptHeight() + paddingPromptCircles_;
  ui::Size circles = inputCirclesView_->intrinsicContentSize();
  inputCirclesView_->setFrame(ui::Rect((width - circles.width) / 2, y, circles.width, circles.height));
  y += circles.height + paddingCirclesNumPad_;
  ui::Size keypad = numPadView_->intrinsicContentSize();
  numPadView_->setFrame(ui::Rect((width - keypad.width) / 2, y, keypad.width, keypad.height));
  y += keypad.height;

  double h = bottomButtonHeight();
  if (pad()) {
    // Beside the zero key, under the outer columns, on the bottom edge.
    double d = QBPinNumButton::diameter();
    bottomButton_->setFrame(ui::Rect(width - d, bounds().height() - h, d, h));
    bottomButton2_->setFrame(ui::Rect(0, bounds().height() - h, d, h));
  } else {
    double minimum = kBottomButtonMinimumWidthShare * width;
    double rightWidth = std::min(width, std::max(minimum, bottomButton_->sizeThatFits({}).width));
    double leftWidth = std::min(width, std::max(minimum, bottomButton2_->sizeThatFits({}).width));
    y += paddingNumPadButton_;
    bottomButton_->setFrame(ui::Rect(width - rightWidth, y, rightWidth, h));
    bottomButton2_->setFrame(ui::Rect(0, y, leftWidth, h));
  }
}

void QBPinView::setBackgroundColor(ui::ColorPtr color) {
  ui::View::setBackgroundColor(color);
  if (numPadView_) numPadView_->setBackgroundColor(color);
}

void QBPinView::setCustomButtonTitle(const std::string& title) {
  customButtonTitle_ = title;
  updateBottomButtons();
}

void QBPinView::setDisableCancel(bool disable) {
  disableCancel_ = disable;
  updateBottomButtons();
}

void QBPinView::setDisableSecurityQuestion(bool disable) {
  disableSecurityQuestion_ = disable;
  updateBottomButtons();
}

void QBPinView::updateBottomButtons() {
  std::weak_ptr<QBPinView> weak = std::static_pointer_cast<QBPinView>(shared_from_this());
  auto bind = [&](void (QBPinView::*action)()) {
    bottomButton_->addTarget(
        this,
        [weak, action](ui::Control&) {
          if (auto self = weak.lock()) ((*self).*action)();
        },
        ui::kControlEventTouchUpInside);
  };
  bottomButton_->removeTarget(this, ui::kControlEventTouchUpInside);
  bool empty = input_.empty();
  if (!empty) {
    bottomButton_->setHidden(false);
    bottomButton_->setTitle(NTLocalized("Delete"));
    bind(&QBPinView::deleteDigit);
  } else if (!disableCancel_) {
    bottomButton_->setHidden(false);
    bottomButton_->setTitle(NTKitLocalized("Cancel"));
    bind(&QBPinView::cancel);
  } else if (!disableSecurityQuestion_) {
    bottomButton_->setHidden(false);
    bottomButton_->setTitle("?");
    bind(&QBPinView::question);
  } else {
    bottomButton_->setHidden(true);
    bottomButton_->setTitle("");
  }
  bottomButton2_->setTitle(customButtonTitle_);
  bottomButton2_->setHidden(!empty || customButtonTitle_.empty());
  setNeedsLayout();
}

void QBPinView::resetInput() {
  input_.clear();
  inputCirclesView_->unfillAllCircles();
  updateBottomButtons();
}

void QBPinView::custom() {
  if (auto delegate = delegate_.lock()) delegate->customButtonTappedInPinView(*this);
}

void QBPinView::cancel() {
  if (auto delegate = delegate_.lock()) delegate->cancelButtonTappedInPinView(*this);
}

void QBPinView::question() {
  if (auto delegate = delegate_.lock()) delegate->questionButtonTappedInPinView(*this);
}

void QBPinView::deleteDigit() {
  if (input_.size() >= 2) {
    input_.pop_back();
    inputCirclesView_->unfillCircleAtPosition(input_.size());
    updateBottomButtons();
  } else {
    resetInput();
  }
}

void QBPinView::pinNumPadViewNumberTapped(QBPinNumPadView&, unsigned number) {
  auto delegate = delegate_.lock();
  size_t length = delegate ? std::max<size_t>(1, delegate->pinLengthForPinView(*this)) : 1;
  if (input_.size() >= length) return;
  input_ += std::to_string(number);
  inputCirclesView_->fillCircleAtPosition(input_.size() - 1);
  updateBottomButtons();
  if (input_.size() < length) return;

  std::weak_ptr<QBPinView> weak = std::static_pointer_cast<QBPinView>(shared_from_this());
  bool valid = delegate && delegate->pinViewIsPinValid(*this, input_);
  if (valid) {
    // The full circles stay a moment; taps meanwhile find the entry full.
    dispatch::Queue::main()->afterSeconds(kValidEntryPause, [weak] {
      auto self = weak.lock();
      if (!self) return;
      if (auto d = self->delegate_.lock()) d->correctPinWasEnteredInPinView(*self);
    });
    return;
  }
  inputCirclesView_->shakeWithCompletion([weak] {
    auto self = weak.lock();
    if (!self) return;
    self->resetInput();
    if (auto d = self->delegate_.lock()) d->incorrectPinWasEnteredInPinView(*self);
  });
}

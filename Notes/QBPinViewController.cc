#include "Notes/QBPinViewController.h"

#include <cmath>
#include <limits>

#include "Platform/UIKit/DeviceInfo.h"
#include "Platform/UIKit/Screen.h"

namespace {

bool sameColor(const ui::ColorPtr& a, const ui::ColorPtr& b) {
  if (!a || !b) return a == b;
  return a->isEqual(*b);
}

// Where the entry's centre sits below the screen's centre.
double verticalOffset() {
  if (ui::DeviceInfo::current().isPad()) return -9;
  double height = ui::Screen::main().bounds().height();
  return std::fabs(height - 568) < std::numeric_limits<double>::epsilon() ? 25.5 : 18.5;
}

}  // namespace

QBPinViewController::QBPinViewController(std::weak_ptr<QBPinViewControllerDelegate> delegate)
    : delegate_(std::move(delegate)), backgroundColor_(ui::Color::white()) {}

std::shared_ptr<QBPinViewController> QBPinViewController::self() {
  return std::static_pointer_cast<QBPinViewController>(shared());
}

void QBPinViewController::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  createMainView();
}

void QBPinViewController::createMainView() {
  auto root = view();
  if (translucentBackground_) {
    root->setBackgroundColor(ui::Color::clear());
    addBlurView();
  } else {
    root->setBackgroundColor(backgroundColor_);
  }
  pinView_ = QBPinView::make(self());
  pinView_->setBackgroundColor(root->backgroundColor());
  pinView_->setPromptTitle(promptTitle_);
  pinView_->setPromptColor(promptColor_);
  pinView_->setHideLetters(hideLetters_);
  pinView_->setDisableCancel(disableCancel_);
  pinView_->setDisableSecurityQuestion(disableSecurityQuestion_);
  pinView_->setCustomButtonTitle(customButtonTitle_);

  ui::Size size = pinView_->intrinsicContentSize();
  ui::Rect bounds = root->bounds();
  pinView_->setFrame(ui::Rect(bounds.midX() - size.width / 2, bounds.midY() + verticalOffset() - size.height / 2,
                              size.width, size.height));
  // Stays centred when the screen turns.
  pinView_->setAutoresizingMask(ui::kAutoresizingFlexibleLeftMargin | ui::kAutoresizingFlexibleRightMargin |
                                ui::kAutoresizingFlexibleTopMargin | ui::kAutoresizingFlexibleBottomMargin);
  root->addSubview(pinView_);
}

void QBPinViewController::reloadMainView() {
  if (pinView_) pinView_->removeFromSuperview();
  pinView_.reset();
  if (isViewLoaded()) createMainView();
}

void QBPinViewController::addBlurView() {
  if (blurView_) return;
  // The blurred snapshot of the window's view tagged kBlurSourceViewTag;
  // no view carries the tag, so there is no picture to blur and the image
  // view stays empty.
  blurView_ = std::make_shared<ui::ImageView>();
  blurView_->setFrame(view()->bounds());
  blurView_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
  if (pinView_) {
    view()->insertSubviewBelow(blurView_, pinView_.get());
  } else {
    view()->insertSubview(blurView_, 0);
  }
}

void QBPinViewController::removeBlurView() {
  if (blurView_) blurView_->removeFromSuperview();
  blurView_.reset();
}

void QBPinViewController::setBackgroundColor(ui::ColorPtr color) {
  if (sameColor(color, backgroundColor_)) return;
  backgroundColor_ = std::move(color);
  if (translucentBackground_ || !isViewLoaded()) return;
  view()->setBackgroundColor(backgroundColor_);
  if (pinView_) pinView_->setBackgroundColor(backgroundColor_);
}

void QBPinViewController::setTranslucentBackground(bool translucent) {
  if (translucent == translucentBackground_) return;
  translucentBackground_ = translucent;
  if (!isViewLoaded()) return;
  if (translucent) {
    view()->setBackgroundColor(ui::Color::clear());
    if (pinView_) pinView_->setBackgroundColor(ui::Color::clear());
    addBlurView();
  } else {
    removeBlurView();
    view()->setBackgroundColor(backgroundColor_);
    if (pinView_) pinView_->setBackgroundColor(backgroundColor_);
  }
}

void QBPinViewController::setPromptTitle(const std::string& title) {
  if (title == promptTitle_) return;
  promptTitle_ = title;
  if (pinView_) pinView_->setPromptTitle(promptTitle_);
}

void QBPinViewController::setPromptColor(ui::ColorPtr color) {
  if (sameColor(color, promptColor_)) return;
  promptColor_ = std::move(color);
  if (pinView_) pinView_->setPromptColor(promptColor_);
}

void QBPinViewController::setHideLetters(bool hide) {
  if (hide == hideLetters_) return;
  hideLetters_ = hide;
  if (pinView_) pinView_->setHideLetters(hide);
}

void QBPinViewController::setDisableCancel(bool disable) {
  if (disable == disableCancel_) return;
  disableCancel_ = disable;
  if (pinView_) pinView_->setDisableCancel(disable);
}

void QBPinViewController::setDisableSecurityQuestion(bool disable) {
  if (disable == disableSecurityQuestion_) return;
  disableSecurityQuestion_ = disable;
  if (pinView_) pinView_->setDisableSecurityQuestion(disable);
}

void QBPinViewController::setCustomButtonTitle(const std::string& title) {
  if (title == customButtonTitle_) return;
  customButtonTitle_ = title;
  if (pinView_) pinView_->setCustomButtonTitle(title);
}

size_t QBPinViewController::pinLengthForPinView(QBPinView&) {
  auto delegate = delegate_.lock();
  size_t length = delegate ? delegate->pinLengthForPinViewController(*this) : 0;
  return length == 0 ? 1 : length;
}

bool QBPinViewController::pinViewIsPinValid(QBPinView&, const std::string& pin) {
  auto delegate = delegate_.lock();
  return delegate && delegate->pinViewControllerIsPinValid(*this, pin);
}

void QBPinViewController::customButtonTappedInPinView(QBPinView&) {
  if (auto delegate = delegate_.lock()) delegate->customButtonTappedInPinViewController(*this);
}

void QBPinViewController::questionButtonTappedInPinView(QBPinView&) {
  if (auto delegate = delegate_.lock()) delegate->securityQuestionButtonTappedInPinViewController(*this);
}

void QBPinViewController::cancelButtonTappedInPinView(QBPinView&) {
  if (auto delegate = delegate_.lock()) delegate->pinViewControllerWillDismissAfterPinEntryWasCancelled(*this);
  auto me = self();
  dismissViewController(true, [me] {
    if (auto delegate = me->delegate_.lock()) delegate->pinViewControllerDidDismissAfterPinEntryWasCancelled(*me);
  });
}

void QBPinViewController::correctPinWasEnteredInPinView(QBPinView&) {
  if (auto delegate = delegate_.lock()) delegate->pinViewControllerWillDismissAfterPinEntryWasSuccessful(*this);
  auto me = self();
  dismissViewController(true, [me] {
    if (auto delegate = me->delegate_.lock()) delegate->pinViewControllerDidDismissAfterPinEntryWasSuccessful(*me);
  });
}

void QBPinViewController::incorrectPinWasEnteredInPinView(QBPinView&) {
  auto delegate = delegate_.lock();
  if (delegate && delegate->userCanRetryInPinViewController(*this)) {
    delegate->incorrectPinEnteredInPinViewController(*this);
    return;
  }
  if (delegate) delegate->pinViewControllerWillDismissAfterPinEntryWasUnsuccessful(*this);
  auto me = self();
  dismissViewController(true, [me] {
    if (auto delegate = me->delegate_.lock()) delegate->pinViewControllerDidDismissAfterPinEntryWasUnsuccessful(*me);
  });
}

// Showing and dismissing an alert, and following the keyboard (part of
// QBAlertView).
#include "Libraries/UIComponents/QBAlertView.h"
#include "Libraries/UIComponents/QBAlertViewButton.h"
#include "Libraries/UIComponents/QBAlertViewHelper.h"
#include "Libraries/UIComponents/QBAlertViewShadowView.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/GeometryValue.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/ScrollView.h"
#include "Platform/UIKit/TextField.h"
#include "Platform/UIKit/ViewController.h"
#include "Platform/UIKit/VisualEffectView.h"
#include "Platform/UIKit/Window.h"

void QBAlertView::showAnimated(bool animated, Completion completion) {
  showAnimated(animated, false, std::move(completion));
}

void QBAlertView::showAnimated(bool animated, bool hidden, Completion completion) {
  if (showing_ || !window_) return;
  keepAlive_ = shared_from_this();
  window_->setWindowLevel(windowLevel == 0 ? ui::kWindowLevelStatusBar + 1 : ui::kWindowLevelStatusBar - 1);
  view_->setUserInteractionEnabled(false);
  subviewsValidate();
  layoutValidateWithSize(ui::Size());
  showing_ = true;

  auto& app = ui::Application::shared();
  auto key = app.keyWindow();
  if (key) key->endEditing(true);
  if (!hidden) {
    // Another alert's window in front goes away; the windows observer
    // brings it back when this one is gone.
    if (key && key.get() != QBAlertViewHelper::appWindow()) key->setHidden(true);
  }
  window_->makeKeyAndVisible();
  addObservers();
  runWill(true);
  if (hidden) {
    // A transition fades the new panel in itself.
    for (ui::View* v : {static_cast<ui::View*>(scrollView_.get()), static_cast<ui::View*>(backgroundView_.get()),
                        static_cast<ui::View*>(shadowView_.get()), static_cast<ui::View*>(blurView_.get())})
      v->setHidden(true);
    for (ui::View* v : cancelViews()) v->setHidden(true);
  }

  auto self = shared_from_this();
  if (!animated) {
    applyShownState();
    if (!hidden) showComplete();
    if (completion) completion();
    return;
  }
  QBAlertViewHelper::animateWithDuration(animationDuration, [self] {
    self->applyShownState();
    self->post(QBAlertViewShowAnimationsNotification, {{"duration", self->animationDuration}});
    if (self->showAnimationsBlock) self->showAnimationsBlock(*self, self->animationDuration);
    if (auto d = self->delegate()) d->showAnimationsForAlertView(*self, self->animationDuration);
  }, [self, hidden, completion](bool) {
    if (!hidden) self->showComplete();
    if (completion) completion();
  });
}

void QBAlertView::addObservers() {
  auto& centre = ns::NotificationCenter::defaultCenter();
  std::weak_ptr<QBAlertView> weak = weak_from_this();
  auto visibility = [weak](bool show) {
    return [weak, show](const ns::Notification& n) {
      auto self = weak.lock();
      if (!self || !self->showing_ || !self->window_ || self->window_->isHidden() || !self->window_->isKeyWindow())
        return;
      QBAlertViewHelper::keyboardAnimateWithNotificationUserInfo(n.userInfo(), [&](double height) {
        self->keyboardHeight_ = show ? height : 0;
        self->layoutValidateWithSize(ui::Size());
      });
    };
  };
  observers_.push_back(centre.addObserver(ui::kKeyboardWillShowNotification, nullptr, nullptr, visibility(true)));
  observers_.push_back(centre.addObserver(ui::kKeyboardWillHideNotification, nullptr, nullptr, visibility(false)));
  observers_.push_back(centre.addObserver(ui::kKeyboardWillChangeFrameNotification, nullptr, nullptr,
                                          [weak](const ns::Notification& n) {
    auto self = weak.lock();
    if (!self || !self->showing_ || !self->window_ || self->window_->isHidden() || !self->window_->isKeyWindow())
      return;
    // An animated change is handled by the will-show and will-hide path.
    const ns::Value* duration = n.userInfo().find(ui::kKeyboardAnimationDurationUserInfoKey);
    if (duration && duration->doubleValue() != 0) return;
    self->keyboardHeight_ = ui::rectValue(n.userInfo().find(ui::kKeyboardFrameEndUserInfoKey)).height();
  }));
  observers_.push_back(centre.addObserver(ui::kWindowDidBecomeVisibleNotification, window_.get(), nullptr,
                                          [weak](const ns::Notification&) {
    if (auto self = weak.lock(); self && self->viewController_) self->viewController_->view()->setNeedsLayout();
  }));
}

std::vector<ui::View*> QBAlertView::cancelViews() const {
  if (!cancelSeparate() || !cancelButton_) return {};
  return {cancelButton_.get(), shadowCancelView_.get(), blurCancelView_.get()};
}

void QBAlertView::applyShownState() {
  backgroundView_->setAlpha(coverAlpha);
  if (style_ == QBAlertViewStyle::ActionSheet && !padCentered()) {
    scrollView_->setCenter(scrollViewCenterShowed_);
    shadowView_->setCenter(scrollViewCenterShowed_);
    blurView_->setCenter(scrollViewCenterShowed_);
  } else {
    for (ui::View* v : {static_cast<ui::View*>(scrollView_.get()), static_cast<ui::View*>(shadowView_.get()),
                        static_cast<ui::View*>(blurView_.get())}) {
      v->setTransform(ui::AffineTransform());
      v->setAlpha(1);
    }
  }
  if (cancelSeparate() && cancelButton_) {
    cancelButton_->setCenter(cancelButtonCenterShowed_);
    shadowCancelView_->setCenter(cancelButtonCenterShowed_);
    blurCancelView_->setCenter(cancelButtonCenterShowed_);
  }
}

void QBAlertView::applyDismissedState() {
  backgroundView_->setAlpha(0);
  if (style_ == QBAlertViewStyle::ActionSheet && !padCentered()) {
    scrollView_->setCenter(scrollViewCenterHidden_);
    shadowView_->setCenter(scrollViewCenterHidden_);
    blurView_->setCenter(scrollViewCenterHidden_);
  } else {
    for (ui::View* v : {static_cast<ui::View*>(scrollView_.get()), static_cast<ui::View*>(shadowView_.get()),
                        static_cast<ui::View*>(blurView_.get())}) {
      v->setTransform(ui::AffineTransform::scale(finalScale, finalScale));
      v->setAlpha(0);
    }
  }
  if (cancelSeparate() && cancelButton_) {
    cancelButton_->setCenter(cancelButtonCenterHidden_);
    shadowCancelView_->setCenter(cancelButtonCenterHidden_);
    blurCancelView_->setCenter(cancelButtonCenterHidden_);
  }
}

void QBAlertView::showComplete() {
  if (type_ == QBAlertViewType::TextFields && !textFields_.empty()) textFields_.front()->becomeFirstResponder();
  runDid(true);
  if (view_) view_->setUserInteractionEnabled(true);
}

void QBAlertView::dismissAnimated(bool animated, Completion completion) {
  if (!showing_) return;
  auto self = shared_from_this();
  if (!window_ || window_->isHidden()) {
    // Hidden by a newer alert: finish at once, and still report it, so
    // the after-action callbacks are not lost.
    showing_ = false;
    dismissComplete();
    if (completion) completion();
    return;
  }
  view_->setUserInteractionEnabled(false);
  showing_ = false;
  view_->endEditing(true);
  runWill(false);
  if (!animated) {
    applyDismissedState();
    dismissComplete();
    if (completion) completion();
    return;
  }
  QBAlertViewHelper::animateWithDuration(animationDuration, [self] {
    self->applyDismissedState();
    self->post(QBAlertViewDismissAnimationsNotification, {{"duration", self->animationDuration}});
    if (self->dismissAnimationsBlock) self->dismissAnimationsBlock(*self, self->animationDuration);
    if (auto d = self->delegate()) d->dismissAnimationsForAlertView(*self, self->animationDuration);
  }, [self, completion](bool) {
    self->dismissComplete();
    if (completion) completion();
  });
}

void QBAlertView::dismissComplete() {
  auto self = shared_from_this();
  for (auto& token : observers_) ns::NotificationCenter::defaultCenter().removeObserver(token);
  observers_.clear();
  if (window_) window_->setHidden(true);
  runDid(false);
  view_.reset();
  viewController_.reset();
  window_.reset();
  delegate_.reset();
  keepAlive_.reset();
}

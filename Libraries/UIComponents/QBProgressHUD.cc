#include "Libraries/UIComponents/QBProgressHUD.h"

#include <algorithm>
#include <cmath>

#include "Libraries/UIComponents/QBIndefiniteAnimatedView.h"
#include "Libraries/UIComponents/QBProgressAnimatedView.h"
#include "Libraries/UIComponents/QBProgressHUDResources.h"
#include "Libraries/UIComponents/QBRadialGradientLayer.h"
#include "Platform/Dispatch/MainThread.h"
#include "Platform/Dispatch/OperationQueue.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/StringUtf16.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/DeviceInfo.h"
#include "Platform/UIKit/GeometryValue.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/TextDrawing.h"
#include "Platform/UIKit/ViewController.h"
#include "Platform/UIKit/Window.h"

using ui::Point;
using ui::Rect;
using ui::Size;

namespace {

constexpr uint32_t kFadeInOptions = 7;   // layout subviews, user interaction, current state
constexpr uint32_t kFadeOutOptions = 6;  // user interaction, current state

}  // namespace

// ---- Shared instance -------------------------------------------------------

std::shared_ptr<QBProgressHUD> QBProgressHUD::sharedView() {
  static const std::shared_ptr<QBProgressHUD> shared = std::make_shared<QBProgressHUD>();
  return shared;
}

QBProgressHUD::QBProgressHUD() : ui::View(Rect()) {
  isInitializing_ = true;
  setFrame(appWindowBounds());
  setUserInteractionEnabled(false);
  setBackgroundColor(ui::Color::clear());
  setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
  setAccessibilityIdentifier("QBProgressHUD");
  foregroundColor_ = ui::Color::black();
  backgroundColor_ = ui::Color::white();
  backgroundLayerColor_ = ui::Color::withWhite(0, 0.4);
  font_ = ui::Font::preferredFontForTextStyle("UIFontTextStyleSubheadline");
  infoImage_ = QBProgressHUDResources::image("info");
  successImage_ = QBProgressHUDResources::image("success");
  errorImage_ = QBProgressHUDResources::image("error");
  maxSupportedWindowLevel_ = ui::kWindowLevelNormal;
  isInitializing_ = false;
}

QBProgressHUD::~QBProgressHUD() {
  if (graceTimer_) graceTimer_->invalidate();
  if (fadeOutTimer_) fadeOutTimer_->invalidate();
  if (observing_) ns::NotificationCenter::defaultCenter().removeObserver(this);
}

std::weak_ptr<QBProgressHUD> QBProgressHUD::weakSelf() {
  return std::static_pointer_cast<QBProgressHUD>(shared_from_this());
}

Rect QBProgressHUD::appWindowBounds() const {
  if (auto window = ui::Application::shared().keyWindow()) return window->bounds();
  return ui::Screen::main().bounds();
}

// ---- Class operations ------------------------------------------------------

void QBProgressHUD::show() { showWithStatus(std::nullopt); }
void QBProgressHUD::showWithStatus(const Status& status) { showProgress(-1, status); }
void QBProgressHUD::showProgress(float progress) { showProgress(progress, std::nullopt); }

void QBProgressHUD::showProgress(float progress, const Status& status) {
  auto weak = sharedView()->weakSelf();
  dispatch::OperationQueue::main()->addOperation([weak, progress, status] {
    if (auto self = weak.lock()) self->showProgressOnMain(progress, status);
  });
}

void QBProgressHUD::showImage(ui::ImagePtr image, const Status& status) {
  const double duration = displayDurationForString(status);
  auto weak = sharedView()->weakSelf();
  dispatch::OperationQueue::main()->addOperation([weak, image, status, duration] {
    if (auto self = weak.lock()) self->showImageOnMain(image, status, duration);
  });
}

void QBProgressHUD::showInfoWithStatus(const Status& status) {
  showImage(sharedView()->infoImage_, status);
  sharedView()->notificationOccurred(ui::NotificationFeedbackType::Warning);
}

void QBProgressHUD::showSuccessWithStatus(const Status& status) {
  showImage(sharedView()->successImage_, status);
  sharedView()->notificationOccurred(ui::NotificationFeedbackType::Success);
}

void QBProgressHUD::showErrorWithStatus(const Status& status) {
  showImage(sharedView()->errorImage_, status);
  sharedView()->notificationOccurred(ui::NotificationFeedbackType::Error);
}

namespace {
template <class Call>
void withMaskType(QBProgressHUDMaskType maskType, Call call) {
  auto hud = QBProgressHUD::sharedView();
  const QBProgressHUDMaskType saved = hud->defaultMaskType();
  QBProgressHUD::setDefaultMaskType(maskType);
  call();
  QBProgressHUD::setDefaultMaskType(saved);
}
}  // namespace

void QBProgressHUD::showWithMaskType(QBProgressHUDMaskType m) { withMaskType(m, [] { show(); }); }
void QBProgressHUD::showWithStatus(const Status& s, QBProgressHUDMaskType m) {
  withMaskType(m, [&] { showWithStatus(s); });
}
void QBProgressHUD::showProgress(float p, QBProgressHUDMaskType m) {
  withMaskType(m, [&] { showProgress(p); });
}
void QBProgressHUD::showProgress(float p, const Status& s, QBProgressHUDMaskType m) {
  withMaskType(m, [&] { showProgress(p, s); });
}
void QBProgressHUD::showInfoWithStatus(const Status& s, QBProgressHUDMaskType m) {
  withMaskType(m, [&] { showInfoWithStatus(s); });
}
void QBProgressHUD::showSuccessWithStatus(const Status& s, QBProgressHUDMaskType m) {
  withMaskType(m, [&] { showSuccessWithStatus(s); });
}
void QBProgressHUD::showErrorWithStatus(const Status& s, QBProgressHUDMaskType m) {
  withMaskType(m, [&] { showErrorWithStatus(s); });
}
void QBProgressHUD::showImage(ui::ImagePtr i, const Status& s, QBProgressHUDMaskType m) {
  withMaskType(m, [&] { showImage(i, s); });
}

void QBProgressHUD::setStatus(const Status& status) { sharedView()->updateStatus(status); }

void QBProgressHUD::popActivity() {
  // The count belongs to the main thread; a background caller's pop waits
  // for the main loop like its shows do.
  if (!dispatch::isMainThread()) {
    dispatch::OperationQueue::main()->addOperation([] { popActivity(); });
    return;
  }
  auto hud = sharedView();
  if (hud->activityCount_ > 0) --hud->activityCount_;
  if (hud->activityCount_ == 0) dismiss();
}

void QBProgressHUD::dismiss() { dismissWithDelay(0, nullptr); }
void QBProgressHUD::dismissWithCompletion(Completion completion) {
  dismissWithDelay(0, std::move(completion));
}

void QBProgressHUD::dismissWithDelay(double delay, Completion completion) {
  auto weak = sharedView()->weakSelf();
  dispatch::OperationQueue::main()->addOperation([weak, delay, completion] {
    if (auto self = weak.lock()) self->dismissOnMain(delay, completion);
  });
}

bool QBProgressHUD::isVisible() { return sharedView()->backgroundView().alpha() > 0; }

double QBProgressHUD::displayDurationForString(const Status& string) {
  const double length = string ? static_cast<double>(ns::utf16Length(*string)) : 0;
  const double d = 0.06 * length + 0.5;
  auto hud = sharedView();
  return std::min(std::max(d, hud->minimumDismissTimeInterval_), hud->maximumDismissTimeInterval_);
}

// ---- Settings --------------------------------------------------------------

#define QB_GUARDED_SETTER(Name, field, Type)        \
  void QBProgressHUD::Name(Type value) {            \
    auto hud = sharedView();                        \
    if (!hud->isInitializing_) hud->field = value;  \
  }
#define QB_SETTER(Name, field, Type) \
  void QBProgressHUD::Name(Type value) { sharedView()->field = value; }

QB_GUARDED_SETTER(setDefaultStyle, defaultStyle_, QBProgressHUDStyle)
QB_GUARDED_SETTER(setDefaultMaskType, defaultMaskType_, QBProgressHUDMaskType)
QB_GUARDED_SETTER(setDefaultAnimationType, defaultAnimationType_, QBProgressHUDAnimationType)
QB_GUARDED_SETTER(setContainerView, containerView_, std::shared_ptr<ui::View>)
QB_GUARDED_SETTER(setMinimumSize, minimumSize_, Size)
QB_GUARDED_SETTER(setRingThickness, ringThickness_, double)
QB_GUARDED_SETTER(setRingRadius, ringRadius_, double)
QB_GUARDED_SETTER(setRingNoTextRadius, ringNoTextRadius_, double)
QB_GUARDED_SETTER(setFont, font_, std::shared_ptr<const ui::Font>)
QB_GUARDED_SETTER(setBackgroundLayerColor, backgroundLayerColor_, ui::ColorPtr)
QB_SETTER(setImageViewSize, imageViewSize_, Size)
QB_GUARDED_SETTER(setShouldTintImages, shouldTintImages_, bool)
QB_GUARDED_SETTER(setInfoImage, infoImage_, ui::ImagePtr)
QB_GUARDED_SETTER(setSuccessImage, successImage_, ui::ImagePtr)
QB_GUARDED_SETTER(setErrorImage, errorImage_, ui::ImagePtr)
QB_GUARDED_SETTER(setViewForExtension, viewForExtension_, std::shared_ptr<ui::View>)
QB_SETTER(setGraceTimeInterval, graceTimeInterval_, double)
QB_GUARDED_SETTER(setMinimumDismissTimeInterval, minimumDismissTimeInterval_, double)
QB_SETTER(setMaximumDismissTimeInterval, maximumDismissTimeInterval_, double)
QB_GUARDED_SETTER(setFadeInAnimationDuration, fadeInAnimationDuration_, double)
QB_GUARDED_SETTER(setFadeOutAnimationDuration, fadeOutAnimationDuration_, double)
QB_GUARDED_SETTER(setMaxSupportedWindowLevel, maxSupportedWindowLevel_, double)
QB_GUARDED_SETTER(setOffsetFromCenter, offsetFromCenter_, Point)

#undef QB_GUARDED_SETTER
#undef QB_SETTER

void QBProgressHUD::setCornerRadius(double radius) {
  auto hud = sharedView();
  if (!hud->isInitializing_) hud->cornerRadius_ = radius;
}

void QBProgressHUD::setForegroundColor(ui::ColorPtr color) {
  auto hud = sharedView();
  if (!hud->isInitializing_) hud->foregroundColor_ = std::move(color);
  setDefaultStyle(QBProgressHUDStyle::Custom);
}

void QBProgressHUD::setHudBackgroundColor(ui::ColorPtr color) {
  auto hud = sharedView();
  if (!hud->isInitializing_) hud->backgroundColor_ = std::move(color);
  setDefaultStyle(QBProgressHUDStyle::Custom);
}

void QBProgressHUD::setBorderColor(ui::ColorPtr color) {
  sharedView()->hudView().layer().setBorderColor(std::move(color));
}

void QBProgressHUD::setBorderWidth(double width) { sharedView()->hudView().layer().setBorderWidth(width); }

void QBProgressHUD::setHapticsEnabled(bool enabled) {
  auto hud = sharedView();
  hud->hapticsEnabled_ = enabled;
  // The generator exists only while haptics are on.
  if (enabled && !hud->hapticGenerator_) {
    hud->hapticGenerator_ = std::make_unique<ui::NotificationFeedbackGenerator>();
  } else if (!enabled) {
    hud->hapticGenerator_.reset();
  }
}

void QBProgressHUD::resetOffsetFromCenter() { setOffsetFromCenter(Point{0, 0}); }

ui::ColorPtr QBProgressHUD::foregroundColorForStyle() const {
  switch (defaultStyle_) {
    case QBProgressHUDStyle::Light: return ui::Color::black();
    case QBProgressHUDStyle::Dark: return ui::Color::white();
    default: return foregroundColor_;
  }
}

ui::ColorPtr QBProgressHUD::backgroundColorForStyle() const {
  switch (defaultStyle_) {
    case QBProgressHUDStyle::Light: return ui::Color::white();
    case QBProgressHUDStyle::Dark: return ui::Color::black();
    default: return backgroundColor_;
  }
}

// ---- Presentation ----------------------------------------------------------

void QBProgressHUD::setGraceTimer(std::shared_ptr<dispatch::Timer> timer) {
  if (graceTimer_) graceTimer_->invalidate();
  graceTimer_ = std::move(timer);
}

void QBProgressHUD::setFadeOutTimer(std::shared_ptr<dispatch::Timer> timer) {
  if (fadeOutTimer_) fadeOutTimer_->invalidate();
  fadeOutTimer_ = std::move(timer);
}

void QBProgressHUD::showProgressOnMain(float progress, const Status& status) {
  if (fadeOutTimer_) activityCount_ = 0;
  setFadeOutTimer(nullptr);
  setGraceTimer(nullptr);
  updateViewHierarchy();

  imageView().setHidden(true);
  imageView().setImage(nullptr);
  statusLabel().setHidden(!status || status->empty());
  statusLabel().setText(status.value_or(""));
  progress_ = progress;

  if (progress >= 0) {
    cancelIndefiniteAnimatedViewAnimation();
    auto& content = hudView().contentView();
    if (!ringView().superview()) content.addSubview(ringView_);
    if (!backgroundRingView().superview()) content.addSubview(backgroundRingView_);
    ringView().setStrokeEnd(progress);
  } else {
    cancelRingLayerAnimation();
    indefiniteAnimatedView();
    hudView().contentView().addSubview(spinner_);
    if (auto* indicator = dynamic_cast<ui::ActivityIndicatorView*>(spinner_.get())) {
      indicator->startAnimating();
    }
  }

  if (progress <= 0) ++activityCount_;

  if (graceTimeInterval_ > 0 && backgroundView().alpha() == 0) {
    auto weak = weakSelf();
    setGraceTimer(dispatch::Timer::scheduled(graceTimeInterval_, false, [weak](dispatch::Timer&) {
      if (auto self = weak.lock()) self->fadeIn(std::nullopt);
    }));
  } else {
    fadeIn(std::nullopt);
  }
  prepareHaptics();
}

void QBProgressHUD::showImageOnMain(ui::ImagePtr image, const Status& status, double duration) {
  setFadeOutTimer(nullptr);
  setGraceTimer(nullptr);
  updateViewHierarchy();
  progress_ = -1;
  cancelRingLayerAnimation();
  cancelIndefiniteAnimatedViewAnimation();

  if (shouldTintImages_ && image) {
    if (image->renderingMode() != ui::ImageRenderingMode::AlwaysTemplate) {
      image = image->withRenderingMode(ui::ImageRenderingMode::AlwaysTemplate);
    }
    imageView().setTintColor(foregroundColorForStyle());
  }
  imageView().setImage(image);
  imageView().setHidden(false);
  statusLabel().setHidden(!status || status->empty());
  statusLabel().setText(status.value_or(""));

  if (graceTimeInterval_ > 0 && backgroundView().alpha() == 0) {
    auto weak = weakSelf();
    setGraceTimer(dispatch::Timer::scheduled(
        graceTimeInterval_, false,
        [weak](dispatch::Timer& timer) {
          if (auto self = weak.lock()) self->fadeIn(timer.userInfo().doubleValue());
        },
        ns::Value(duration)));
  } else {
    fadeIn(duration);
  }
}

std::string QBProgressHUD::accessibilityText() const {
  if (statusLabel_ && !statusLabel_->text().empty()) return statusLabel_->text();
  return ns::Bundle::mainBundle()->localizedString("Loading", "");
}

void QBProgressHUD::fadeIn(std::optional<double> duration) {
  // The grace timer, if it was what called, is done.
  if (graceTimer_ && !graceTimer_->isValid()) graceTimer_.reset();
  updateHUDFrame();
  positionHUD(nullptr);

  if (defaultMaskType_ != QBProgressHUDMaskType::None) {
    controlView().setUserInteractionEnabled(true);
    setAccessibilityLabel(accessibilityText());
  } else {
    controlView().setUserInteractionEnabled(false);
    hudView().setAccessibilityLabel(accessibilityText());
  }

  if (backgroundView().alpha() == 1) {
    if (duration) scheduleFadeOut(*duration);
    return;
  }

  post(QBProgressHUDWillAppearNotification, true);
  hudView().setTransform(hudView().transform().scaledBy(1 / 1.5, 1 / 1.5));

  auto weak = weakSelf();
  auto animations = [weak] {
    if (auto self = weak.lock()) {
      self->hudView().setTransform(ui::AffineTransform::identity());
      self->fadeInEffects();
    }
  };
  auto completion = [weak, duration](bool) {
    auto self = weak.lock();
    if (!self || self->backgroundView().alpha() != 1) return;
    self->registerNotifications();
    self->post(QBProgressHUDDidAppearNotification, true);
    if (duration) self->scheduleFadeOut(*duration);
  };
  if (fadeInAnimationDuration_ > 0) {
    ui::View::animate(fadeInAnimationDuration_, 0, kFadeInOptions, animations, completion);
  } else {
    animations();
    completion(true);
  }
}

void QBProgressHUD::scheduleFadeOut(double duration) {
  setFadeOutTimer(dispatch::Timer::scheduled(duration, false, [](dispatch::Timer&) { dismiss(); }));
}

void QBProgressHUD::updateStatus(const Status& status) {
  statusLabel().setText(status.value_or(""));
  statusLabel().setHidden(!status || status->empty());
  updateHUDFrame();
}

void QBProgressHUD::dismissOnMain(double delay, Completion completion) {
  setGraceTimer(nullptr);
  post(QBProgressHUDWillDisappearNotification, false);
  activityCount_ = 0;
  auto weak = weakSelf();
  dispatch::Queue::main()->afterSeconds(delay, [weak, completion] {
    if (auto self = weak.lock()) self->fadeOutNow(completion);
  });
}

void QBProgressHUD::fadeOutNow(Completion completion) {
  auto weak = weakSelf();
  auto animations = [weak] {
    if (auto self = weak.lock()) {
      self->hudView().setTransform(self->hudView().transform().scaledBy(1 / 1.3, 1 / 1.3));
      self->fadeOutEffects();
    }
  };
  auto done = [weak, completion](bool) {
    auto self = weak.lock();
    // A presentation that started meanwhile keeps everything up.
    if (!self || self->backgroundView().alpha() != 0) return;
    self->controlView().removeFromSuperview();
    self->backgroundView().removeFromSuperview();
    self->hudView().removeFromSuperview();
    self->removeFromSuperview();
    self->progress_ = -1;
    self->cancelRingLayerAnimation();
    self->cancelIndefiniteAnimatedViewAnimation();
    ns::NotificationCenter::defaultCenter().removeObserver(self.get());
    self->observing_ = false;
    self->post(QBProgressHUDDidDisappearNotification, true);
    if (auto key = ui::Application::shared().keyWindow()) {
      if (auto root = key->rootViewController()) root->setNeedsStatusBarAppearanceUpdate();
    }
    if (completion) completion();
  };
  if (fadeOutAnimationDuration_ > 0) {
    ui::View::animate(fadeOutAnimationDuration_, 0, kFadeOutOptions, animations, done);
  } else {
    animations();
    done(true);
  }
}

void QBProgressHUD::registerNotifications() {
  auto& center = ns::NotificationCenter::defaultCenter();
  center.removeObserver(this);
  for (const char* name :
       {ui::kApplicationDidChangeStatusBarOrientationNotification, ui::kKeyboardWillHideNotification,
        ui::kKeyboardDidHideNotification, ui::kKeyboardWillShowNotification,
        ui::kKeyboardDidShowNotification, ui::kApplicationDidBecomeActiveNotification}) {
    auto weak = weakSelf();
    center.addObserver(
        this,
        [weak](const ns::Notification& n) {
          if (auto self = weak.lock()) self->positionHUD(&n);
        },
        name, nullptr);
  }
  observing_ = true;
}

ns::Dictionary QBProgressHUD::notificationUserInfo() const {
  ns::Dictionary info;
  if (statusLabel_ && !statusLabel_->text().empty()) {
    info.set(QBProgressHUDStatusUserInfoKey, ns::Value(statusLabel_->text()));
  }
  return info;
}

void QBProgressHUD::post(const char* name, bool withObject) {
  std::shared_ptr<void> object;
  if (withObject) object = shared_from_this();
  ns::NotificationCenter::defaultCenter().post(name, object, notificationUserInfo());
}

void QBProgressHUD::controlViewDidReceiveTouch(Point location) {
  post(QBProgressHUDDidReceiveTouchEventNotification, true);
  if (hudView().frame().contains(location)) post(QBProgressHUDDidTouchDownInsideNotification, true);
}

void QBProgressHUD::prepareHaptics() {
  if (hapticGenerator_) hapticGenerator_->prepare();
}

void QBProgressHUD::notificationOccurred(ui::NotificationFeedbackType type) {
  auto weak = weakSelf();
  dispatch::Queue::main()->async([weak, type] {
    auto self = weak.lock();
    if (self && self->hapticGenerator_) self->hapticGenerator_->notificationOccurred(type);
  });
}

std::string QBProgressHUD::screenText() const {
  if (!statusLabel_ || statusLabel_->isHidden() || statusLabel_->text().empty()) return "[HUD]";
  return "[HUD] " + statusLabel_->text();
}

// ---- Effects ---------------------------------------------------------------

void QBProgressHUD::setSpinnerAlpha(double alpha) {
  if (spinner_) spinner_->setAlpha(alpha);
  if (ringView_) ringView_->setAlpha(alpha);
  if (backgroundRingView_) backgroundRingView_->setAlpha(alpha);
}

void QBProgressHUD::fadeInEffects() {
  if (defaultStyle_ != QBProgressHUDStyle::Custom) {
    hudView().setEffect(defaultStyle_ == QBProgressHUDStyle::Light ? ui::BlurEffectStyle::Light
                                                                   : ui::BlurEffectStyle::Dark);
    hudView().setBackgroundColor(backgroundColorForStyle()->withAlphaComponent(0.6));
  } else {
    hudView().setBackgroundColor(backgroundColor_);
  }
  backgroundView().setAlpha(1);
  imageView().setAlpha(1);
  statusLabel().setAlpha(1);
  setSpinnerAlpha(1);
}

void QBProgressHUD::fadeOutEffects() {
  if (defaultStyle_ != QBProgressHUDStyle::Custom) hudView().setEffect(std::nullopt);
  hudView().setBackgroundColor(ui::Color::clear());
  backgroundView().setAlpha(0);
  imageView().setAlpha(0);
  statusLabel().setAlpha(0);
  setSpinnerAlpha(0);
}

void QBProgressHUD::cancelRingLayerAnimation() {
  if (ringView_) ringView_->setStrokeEnd(0);
  if (ringView_) ringView_->removeFromSuperview();
  if (backgroundRingView_) backgroundRingView_->removeFromSuperview();
}

void QBProgressHUD::cancelIndefiniteAnimatedViewAnimation() {
  if (!spinner_) return;
  if (auto* indicator = dynamic_cast<ui::ActivityIndicatorView*>(spinner_.get())) indicator->stopAnimating();
  spinner_->removeFromSuperview();
}

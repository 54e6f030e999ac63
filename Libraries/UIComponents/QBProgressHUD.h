// The process-wide progress HUD: a rounded panel with a spinner, a progress
// ring or an image and an optional status text, over a mask, shown over the
// whole window while the app works. Callers use the static operations only;
// each forwards to one shared view. Show, status-image, popActivity and
// dismiss may be called from any thread once the shared view exists: their
// work runs later as blocks on the main operation queue. Setters and
// setStatus change views directly and belong on the main thread.
//
// Timers (grace, fade-out) and animations run on the main run loop, so tests
// move the virtual clock (ns::Clock) to drive them.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Dispatch/Timer.h"
#include "Platform/Foundation/Notification.h"
#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Control.h"
#include "Platform/UIKit/FeedbackGenerator.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/ProgressViews.h"
#include "Platform/UIKit/View.h"
#include "Platform/UIKit/VisualEffectView.h"

class QBIndefiniteAnimatedView;
class QBProgressAnimatedView;
class QBRadialGradientLayer;

enum class QBProgressHUDStyle : int64_t { Light = 0, Dark = 1, Custom = 2 };
enum class QBProgressHUDMaskType : uint64_t { None = 1, Clear = 2, Black = 3, Gradient = 4, Custom = 5 };
enum class QBProgressHUDAnimationType : uint64_t { Flat = 0, Native = 1 };

inline constexpr const char* QBProgressHUDWillAppearNotification = "QBProgressHUDWillAppearNotification";
inline constexpr const char* QBProgressHUDDidAppearNotification = "QBProgressHUDDidAppearNotification";
inline constexpr const char* QBProgressHUDWillDisappearNotification = "QBProgressHUDWillDisappearNotification";
inline constexpr const char* QBProgressHUDDidDisappearNotification = "QBProgressHUDDidDisappearNotification";
inline constexpr const char* QBProgressHUDDidReceiveTouchEventNotification =
    "QBProgressHUDDidReceiveTouchEventNotification";
inline constexpr const char* QBProgressHUDDidTouchDownInsideNotification =
    "QBProgressHUDDidTouchDownInsideNotification";
inline constexpr const char* QBProgressHUDStatusUserInfoKey = "QBProgressHUDStatusUserInfoKey";

class QBProgressHUD : public ui::View {
 public:
  using Status = std::optional<std::string>;
  using Completion = std::function<void()>;

  // The shared instance, created once on the first call's thread.
  static std::shared_ptr<QBProgressHUD> sharedView();

  // Presentations.
  static void show();
  static void showWithStatus(const Status& status);
  static void showProgress(float progress);
  static void showProgress(float progress, const Status& status);
  static void showInfoWithStatus(const Status& status);
  static void showSuccessWithStatus(const Status& status);
  static void showErrorWithStatus(const Status& status);
  static void showImage(ui::ImagePtr image, const Status& status);
  // As above under a mask type: the default is set around the call only.
  static void showWithMaskType(QBProgressHUDMaskType maskType);
  static void showWithStatus(const Status& status, QBProgressHUDMaskType maskType);
  static void showProgress(float progress, QBProgressHUDMaskType maskType);
  static void showProgress(float progress, const Status& status, QBProgressHUDMaskType maskType);
  static void showInfoWithStatus(const Status& status, QBProgressHUDMaskType maskType);
  static void showSuccessWithStatus(const Status& status, QBProgressHUDMaskType maskType);
  static void showErrorWithStatus(const Status& status, QBProgressHUDMaskType maskType);
  static void showImage(ui::ImagePtr image, const Status& status, QBProgressHUDMaskType maskType);
  static void setStatus(const Status& status);

  // Ending.
  static void popActivity();
  static void dismiss();
  static void dismissWithCompletion(Completion completion);
  static void dismissWithDelay(double delay, Completion completion = nullptr);
  static bool isVisible();
  // 0.06 s per UTF-16 unit + 0.5 s, kept within the minimum and maximum.
  static double displayDurationForString(const Status& string);

  // Settings (marked "guarded" ones ignore writes during initialisation).
  static void setDefaultStyle(QBProgressHUDStyle style);
  static void setDefaultMaskType(QBProgressHUDMaskType maskType);
  static void setDefaultAnimationType(QBProgressHUDAnimationType type);
  static void setContainerView(std::shared_ptr<ui::View> containerView);
  static void setMinimumSize(ui::Size size);
  static void setRingThickness(double thickness);
  static void setRingRadius(double radius);
  static void setRingNoTextRadius(double radius);
  static void setCornerRadius(double radius);
  static void setBorderColor(ui::ColorPtr color);
  static void setBorderWidth(double width);
  static void setFont(std::shared_ptr<const ui::Font> font);
  static void setForegroundColor(ui::ColorPtr color);  // also style Custom
  // The panel colour of the custom style (the view's own background stays clear).
  static void setHudBackgroundColor(ui::ColorPtr color);  // also style Custom
  static void setBackgroundLayerColor(ui::ColorPtr color);
  static void setImageViewSize(ui::Size size);
  static void setShouldTintImages(bool tint);
  static void setInfoImage(ui::ImagePtr image);
  static void setSuccessImage(ui::ImagePtr image);
  static void setErrorImage(ui::ImagePtr image);
  static void setViewForExtension(std::shared_ptr<ui::View> view);
  static void setGraceTimeInterval(double interval);
  static void setMinimumDismissTimeInterval(double interval);
  static void setMaximumDismissTimeInterval(double interval);
  static void setFadeInAnimationDuration(double duration);
  static void setFadeOutAnimationDuration(double duration);
  static void setMaxSupportedWindowLevel(double level);
  static void setHapticsEnabled(bool enabled);
  static void setOffsetFromCenter(ui::Point offset);
  static void resetOffsetFromCenter();

  // The shared view's state.
  QBProgressHUDStyle defaultStyle() const { return defaultStyle_; }
  QBProgressHUDMaskType defaultMaskType() const { return defaultMaskType_; }
  QBProgressHUDAnimationType defaultAnimationType() const { return defaultAnimationType_; }
  ui::Size minimumSize() const { return minimumSize_; }
  double ringThickness() const { return ringThickness_; }
  double ringRadius() const { return ringRadius_; }
  double ringNoTextRadius() const { return ringNoTextRadius_; }
  double cornerRadius() const { return cornerRadius_; }
  std::shared_ptr<const ui::Font> font() const { return font_; }
  ui::ColorPtr foregroundColor() const { return foregroundColor_; }
  ui::ColorPtr hudBackgroundColor() const { return backgroundColor_; }
  ui::ColorPtr backgroundLayerColor() const { return backgroundLayerColor_; }
  ui::Size imageViewSize() const { return imageViewSize_; }
  bool shouldTintImages() const { return shouldTintImages_; }
  ui::ImagePtr infoImage() const { return infoImage_; }
  ui::ImagePtr successImage() const { return successImage_; }
  ui::ImagePtr errorImage() const { return errorImage_; }
  std::shared_ptr<ui::View> viewForExtension() const { return viewForExtension_; }
  double graceTimeInterval() const { return graceTimeInterval_; }
  double minimumDismissTimeInterval() const { return minimumDismissTimeInterval_; }
  double maximumDismissTimeInterval() const { return maximumDismissTimeInterval_; }
  double fadeInAnimationDuration() const { return fadeInAnimationDuration_; }
  double fadeOutAnimationDuration() const { return fadeOutAnimationDuration_; }
  double maxSupportedWindowLevel() const { return maxSupportedWindowLevel_; }
  bool hapticsEnabled() const { return hapticsEnabled_; }
  ui::Point offsetFromCenter() const { return offsetFromCenter_; }
  float progress() const { return progress_; }
  uint64_t activityCount() const { return activityCount_; }
  bool hasGraceTimer() const { return graceTimer_ != nullptr; }
  bool hasFadeOutTimer() const { return fadeOutTimer_ != nullptr; }
  ui::ColorPtr foregroundColorForStyle() const;
  ui::ColorPtr backgroundColorForStyle() const;

  // The views, built on first use; each accessor re-applies the settings.
  ui::Control& controlView();
  ui::View& backgroundView();
  ui::VisualEffectView& hudView();
  ui::Label& statusLabel();
  ui::ImageView& imageView();
  // The spinner: a QBIndefiniteAnimatedView, or an activity indicator for
  // any animation type other than Flat.
  ui::View& indefiniteAnimatedView();
  QBProgressAnimatedView& ringView();
  QBProgressAnimatedView& backgroundRingView();
  // The gradient layer of mask type Gradient while it is in use.
  const QBRadialGradientLayer* backgroundRadialGradientLayer() const;

  // Layout and placement.
  void updateHUDFrame();
  // With a keyboard, orientation or activation notification, or none.
  void positionHUD(const ns::Notification* notification);
  void moveToPoint(ui::Point point, double rotateAngle);
  void updateViewHierarchy();
  double visibleKeyboardHeight() const;
  // The key window on screen within the allowed levels, or null.
  std::shared_ptr<ui::Window> frontWindow() const;
  // The motion-effect key paths on the panel, horizontal tilt first
  // (empty before the first placement).
  std::pair<std::string, std::string> motionEffectKeyPaths() const { return motionKeyPaths_; }

  // A touch goes down on the mask at `location` (the HUD's coordinates).
  void controlViewDidReceiveTouch(ui::Point location);

  QBProgressHUD();
  ~QBProgressHUD() override;
  std::string typeName() const override { return "QBProgressHUD"; }
  std::string screenText() const override;
  // The summary above says what the panel shows.
  bool rendersSubviews() const override { return false; }
  // The gradient mask type's darkening, under the mask view (the panel and
  // the mask are subviews and draw themselves).
  void drawRect(const ui::Rect& rect) override;

 private:
  void showProgressOnMain(float progress, const Status& status);
  void showImageOnMain(ui::ImagePtr image, const Status& status, double duration);
  void dismissOnMain(double delay, Completion completion);
  void updateStatus(const Status& status);
  void fadeIn(std::optional<double> duration);
  void fadeOutNow(Completion completion);
  void scheduleFadeOut(double duration);
  void setGraceTimer(std::shared_ptr<dispatch::Timer> timer);
  void setFadeOutTimer(std::shared_ptr<dispatch::Timer> timer);
  void registerNotifications();
  ns::Dictionary notificationUserInfo() const;
  void post(const char* name, bool withObject);
  void fadeInEffects();
  void fadeOutEffects();
  void cancelRingLayerAnimation();
  void cancelIndefiniteAnimatedViewAnimation();
  void updateMotionEffectForOrientation(bool portrait);
  void prepareHaptics();
  void notificationOccurred(ui::NotificationFeedbackType type);
  std::string accessibilityText() const;
  ui::Rect appWindowBounds() const;
  std::weak_ptr<QBProgressHUD> weakSelf();
  void setSpinnerAlpha(double alpha);

  bool isInitializing_ = true;
  QBProgressHUDStyle defaultStyle_ = QBProgressHUDStyle::Light;
  QBProgressHUDMaskType defaultMaskType_ = QBProgressHUDMaskType::None;
  QBProgressHUDAnimationType defaultAnimationType_ = QBProgressHUDAnimationType::Flat;
  std::shared_ptr<ui::View> containerView_;
  ui::Size minimumSize_;
  double ringThickness_ = 2;
  double ringRadius_ = 18;
  double ringNoTextRadius_ = 24;
  double cornerRadius_ = 14;
  std::shared_ptr<const ui::Font> font_;
  ui::ColorPtr foregroundColor_;
  ui::ColorPtr backgroundColor_;
  ui::ColorPtr backgroundLayerColor_;
  ui::Size imageViewSize_{28, 28};
  bool shouldTintImages_ = true;
  ui::ImagePtr infoImage_, successImage_, errorImage_;
  std::shared_ptr<ui::View> viewForExtension_;
  double graceTimeInterval_ = 0;
  double minimumDismissTimeInterval_ = 5.0;
  double maximumDismissTimeInterval_ = std::numeric_limits<double>::max();
  double fadeInAnimationDuration_ = 0.15;
  double fadeOutAnimationDuration_ = 0.15;
  double maxSupportedWindowLevel_ = 0;
  bool hapticsEnabled_ = false;
  ui::Point offsetFromCenter_;

  float progress_ = -1;
  uint64_t activityCount_ = 0;
  std::shared_ptr<dispatch::Timer> graceTimer_;
  std::shared_ptr<dispatch::Timer> fadeOutTimer_;
  std::unique_ptr<ui::NotificationFeedbackGenerator> hapticGenerator_;
  bool observing_ = false;
  std::pair<std::string, std::string> motionKeyPaths_;

  std::shared_ptr<ui::Control> controlView_;
  std::shared_ptr<ui::View> backgroundView_;
  std::shared_ptr<QBRadialGradientLayer> gradientLayer_;
  bool gradientInUse_ = false;
  std::shared_ptr<ui::VisualEffectView> hudView_;
  std::shared_ptr<ui::Label> statusLabel_;
  std::shared_ptr<ui::ImageView> imageView_;
  std::shared_ptr<ui::View> spinner_;
  std::shared_ptr<QBProgressAnimatedView> ringView_;
  std::shared_ptr<QBProgressAnimatedView> backgroundRingView_;
};

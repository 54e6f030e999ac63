// The alert and action-sheet panel: title, message, one content element
// (custom view, activity indicator, progress bar, text fields) and
// buttons, shown in a window of its own. Each button press reaches the
// caller as handler, then delegate, then a notification on the default
// centre. Make alerts with the factories (they are shared objects); a shown
// alert keeps itself alive until it is dismissed.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Libraries/UIComponents/QBAlertViewButtonProperties.h"
#include "Libraries/UIComponents/QBAlertViewDelegate.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/Geometry.h"
#include "Platform/UIKit/ParagraphStyle.h"

namespace ui {
class ActivityIndicatorView;
class Label;
class ProgressView;
class ScrollView;
class TableView;
class TextField;
class View;
class VisualEffectView;
class ViewController;
class Window;
}  // namespace ui
class QBAlertViewButton;
class QBAlertViewCell;
class QBAlertViewShadowView;

enum class QBAlertViewStyle : uint64_t { Alert = 0, ActionSheet = 1 };
enum class QBAlertViewType : int32_t { Default = 0, ActivityIndicator = 1, ProgressView = 2, TextFields = 3 };

inline constexpr const char* QBAlertViewWillShowNotification = "QBAlertViewWillShowNotification";
inline constexpr const char* QBAlertViewShowAnimationsNotification = "QBAlertViewShowAnimationsNotification";
inline constexpr const char* QBAlertViewDidShowNotification = "QBAlertViewDidShowNotification";
inline constexpr const char* QBAlertViewWillDismissNotification = "QBAlertViewWillDismissNotification";
inline constexpr const char* QBAlertViewDismissAnimationsNotification = "QBAlertViewDismissAnimationsNotification";
inline constexpr const char* QBAlertViewDidDismissNotification = "QBAlertViewDidDismissNotification";
inline constexpr const char* QBAlertViewActionNotification = "QBAlertViewActionNotification";
inline constexpr const char* QBAlertViewCancelNotification = "QBAlertViewCancelNotification";
inline constexpr const char* QBAlertViewDestructiveNotification = "QBAlertViewDestructiveNotification";
inline constexpr const char* QBAlertViewDidDismissAfterActionNotification =
    "QBAlertViewDidDismissAfterActionNotification";
inline constexpr const char* QBAlertViewDidDismissAfterCancelNotification =
    "QBAlertViewDidDismissAfterCancelNotification";
inline constexpr const char* QBAlertViewDidDismissAfterDestructiveNotification =
    "QBAlertViewDidDismissAfterDestructiveNotification";

class QBAlertView : public std::enable_shared_from_this<QBAlertView> {
 public:
  using Ptr = std::shared_ptr<QBAlertView>;
  using ColorPtr = std::shared_ptr<const ui::Color>;
  using FontPtr = std::shared_ptr<const ui::Font>;
  using Titles = std::vector<std::string>;
  using Handler = std::function<void(QBAlertView&)>;
  using ActionHandler = std::function<void(QBAlertView&, uint64_t index, const std::string& title)>;
  using AnimationsBlock = std::function<void(QBAlertView&, double duration)>;
  using TextFieldsSetupHandler = std::function<void(ui::TextField&, uint64_t index)>;
  using Completion = std::function<void()>;

  // An unset size (width, heightMax, cancelButtonOffsetY).
  static constexpr double kUnset = 9223372036854775808.0;

  // Factories; an empty string means no title, message or special button.
  static Ptr alertViewWithTitle(const std::string& title, const std::string& message, QBAlertViewStyle style,
                                Titles buttonTitles, const std::string& cancelButtonTitle,
                                const std::string& destructiveButtonTitle);
  static Ptr alertViewWithViewAndTitle(const std::string& title, const std::string& message,
                                       QBAlertViewStyle style, std::shared_ptr<ui::View> view, Titles buttonTitles,
                                       const std::string& cancelButtonTitle,
                                       const std::string& destructiveButtonTitle);
  static Ptr alertViewWithActivityIndicatorAndTitle(const std::string& title, const std::string& message,
                                                    QBAlertViewStyle style, const std::string& progressLabelText,
                                                    Titles buttonTitles, const std::string& cancelButtonTitle,
                                                    const std::string& destructiveButtonTitle);
  static Ptr alertViewWithProgressViewAndTitle(const std::string& title, const std::string& message,
                                               QBAlertViewStyle style, float progress,
                                               const std::string& progressLabelText, Titles buttonTitles,
                                               const std::string& cancelButtonTitle,
                                               const std::string& destructiveButtonTitle);
  // Text-field alerts are always of the alert style.
  static Ptr alertViewWithTextFieldsAndTitle(const std::string& title, const std::string& message,
                                             uint64_t numberOfTextFields, TextFieldsSetupHandler setup,
                                             Titles buttonTitles, const std::string& cancelButtonTitle,
                                             const std::string& destructiveButtonTitle);
  // The handler and delegate forms of each factory.
  void setHandlers(ActionHandler action, Handler cancel, Handler destructive);
  Ptr withHandlers(ActionHandler action, Handler cancel, Handler destructive) {
    setHandlers(std::move(action), std::move(cancel), std::move(destructive));
    return shared_from_this();
  }
  Ptr withDelegate(std::weak_ptr<QBAlertViewDelegate> d) {
    setDelegate(std::move(d));
    return shared_from_this();
  }

  // The process-wide appearance whose values every new alert copies.
  static QBAlertView& appearance();
  // Back to the defaults, forgetting what callers set (tests).
  static void resetAppearance();

  QBAlertView(QBAlertViewStyle style, QBAlertViewType type);  // use the factories
  ~QBAlertView();

  // Model.
  QBAlertViewStyle style() const { return style_; }
  QBAlertViewType type() const { return type_; }
  const std::string& title() const { return title_; }
  const std::string& message() const { return message_; }
  const Titles& buttonTitles() const { return buttonTitles_; }
  const std::string& cancelButtonTitle() const { return cancelButtonTitle_; }
  const std::string& destructiveButtonTitle() const { return destructiveButtonTitle_; }
  std::shared_ptr<ui::View> innerView() const { return innerView_; }
  const std::vector<std::shared_ptr<ui::TextField>>& textFieldsArray() const { return textFields_; }
  float progress() const { return progress_; }
  void setProgress(float p);
  const std::string& progressLabelText() const { return progressLabelText_; }
  void setProgressLabelText(const std::string& text);
  void setProgressAndLabelText(float p, const std::string& text);
  int64_t tag = std::numeric_limits<int64_t>::max();
  std::shared_ptr<QBAlertViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<QBAlertViewDelegate> d);
  bool isShowing() const { return showing_; }
  bool isInitialized() const { return initialized_; }
  bool exists() const { return exists_; }
  bool isValid() const { return true; }
  double keyboardHeight() const { return keyboardHeight_; }

  // Appearance (defaults in the appearance instance).
  uint64_t windowLevel = 0;  // 0 above the status bar, 1 below
  bool cancelOnTouch() const { return cancelOnTouch_; }
  void setCancelOnTouch(bool v) { cancelOnTouch_ = v; userCancelOnTouch_ = true; }
  bool dismissOnAction = true;
  bool shouldDismissAnimated = true;
  bool padShowsActionSheetFromBottom = false;
  bool oneRowOneButton = false;
  ColorPtr tintColor() const { return tintColor_; }
  void setTintColor(ColorPtr c);
  ColorPtr coverColor;
  double coverAlpha = 1.0;
  ColorPtr backgroundColor;
  ColorPtr separatorsColor;
  double buttonsHeight() const { return buttonsHeight_; }
  void setButtonsHeight(double h) { buttonsHeight_ = h; userButtonsHeight_ = true; }
  double textFieldsHeight = 44;
  double offsetVertical = 8;
  double cancelButtonOffsetY = 8;
  double heightMax = kUnset;
  // Set: the smaller of it and the app window's shorter side; else by style.
  double width() const;
  void setWidth(double w) { width_ = w; }
  int64_t indicatorStyle = 1;
  bool showsVerticalScrollIndicator = false;
  double layerCornerRadius = 12;
  ColorPtr layerBorderColor;
  double layerBorderWidth = 0;
  ColorPtr layerShadowColor;
  double layerShadowRadius = 0;
  ui::Size layerShadowOffset;
  double layerShadowOpacity() const;
  void setLayerShadowOpacity(double opacity);
  double animationDuration = 0.5;
  double initialScale = 1.2;
  double finalScale = 0.95;
  ColorPtr titleTextColor() const { return titleTextColor_; }
  void setTitleTextColor(ColorPtr c) { titleTextColor_ = std::move(c); userTitleTextColor_ = true; }
  ui::TextAlignment titleTextAlignment = ui::TextAlignment::Center;
  FontPtr titleFont() const { return titleFont_; }
  void setTitleFont(FontPtr f) { titleFont_ = std::move(f); userTitleFont_ = true; }
  ColorPtr messageTextColor() const { return messageTextColor_; }
  void setMessageTextColor(ColorPtr c) { messageTextColor_ = std::move(c); userMessageTextColor_ = true; }
  ui::TextAlignment messageTextAlignment = ui::TextAlignment::Center;
  FontPtr messageFont;

  // The values of one kind of button.
  struct ButtonLook {
    ColorPtr titleColor, titleColorHighlighted, titleColorDisabled;
    ColorPtr backgroundColor, backgroundColorHighlighted, backgroundColorDisabled;
    FontPtr font;
    ui::TextAlignment textAlignment = ui::TextAlignment::Center;
    uint64_t numberOfLines = 1;
    int64_t lineBreakMode = 5;
    double minimumScaleFactor = 14.0 / 18.0;
    bool adjustsFontSizeToFitWidth = true;
    uint64_t iconPosition = 0;
    ui::ImagePtr iconImage, iconImageHighlighted, iconImageDisabled;
  };
  // Read as they are; changed through the setters below, so that a colour
  // the caller sets is one the tint no longer reaches.
  const ButtonLook& buttons() const { return buttons_; }
  const ButtonLook& cancelButtonLook() const { return cancelButtonLook_; }
  const ButtonLook& destructiveButtonLook() const { return destructiveButtonLook_; }
  // Whole looks: a tint-following colour that differs from the current one
  // counts as set by the caller.
  void setButtons(ButtonLook look);
  void setCancelButtonLook(ButtonLook look);
  void setDestructiveButtonLook(ButtonLook look) { destructiveButtonLook_ = std::move(look); }
  std::vector<ui::ImagePtr> buttonsIconImages, buttonsIconImagesHighlighted, buttonsIconImagesDisabled;
  // Tint-following colours: setting them stops the tint from reaching them.
  void setButtonsTitleColor(ColorPtr c) { buttons_.titleColor = std::move(c); userButtonsTitleColor_ = true; }
  void setButtonsBackgroundColorHighlighted(ColorPtr c) {
    buttons_.backgroundColorHighlighted = std::move(c);
    userButtonsBackgroundColorHighlighted_ = true;
  }
  void setCancelButtonTitleColor(ColorPtr c) {
    cancelButtonLook_.titleColor = std::move(c);
    userCancelButtonTitleColor_ = true;
  }
  void setCancelButtonBackgroundColorHighlighted(ColorPtr c) {
    cancelButtonLook_.backgroundColorHighlighted = std::move(c);
    userCancelButtonBackgroundColorHighlighted_ = true;
  }
  ColorPtr activityIndicatorViewColor() const { return activityIndicatorViewColor_; }
  void setActivityIndicatorViewColor(ColorPtr c) {
    activityIndicatorViewColor_ = std::move(c);
    userActivityIndicatorViewColor_ = true;
  }
  ColorPtr progressViewProgressTintColor() const { return progressViewProgressTintColor_; }
  void setProgressViewProgressTintColor(ColorPtr c) {
    progressViewProgressTintColor_ = std::move(c);
    userProgressViewProgressTintColor_ = true;
  }
  int64_t activityIndicatorViewStyle = 0;
  ColorPtr progressViewTrackTintColor;
  ColorPtr progressLabelTextColor;
  ui::TextAlignment progressLabelTextAlignment = ui::TextAlignment::Center;
  FontPtr progressLabelFont;
  uint64_t progressLabelNumberOfLines = 1;
  int64_t progressLabelLineBreakMode = 4;
  ColorPtr textFieldsBackgroundColor, textFieldsTextColor;
  FontPtr textFieldsFont;
  ui::TextAlignment textFieldsTextAlignment = ui::TextAlignment::Left;
  int64_t textFieldsClearButtonMode = 3;
  bool textFieldsClearsOnBeginEditing = false;
  bool textFieldsAdjustsFontSizeToFitWidth = false;
  double textFieldsMinimumFontSize = 12;

  // Handlers.
  Handler willShowHandler, didShowHandler, willDismissHandler, didDismissHandler;
  ActionHandler actionHandler;
  Handler cancelHandler, destructiveHandler;
  ActionHandler didDismissAfterActionHandler;
  Handler didDismissAfterCancelHandler, didDismissAfterDestructiveHandler;
  AnimationsBlock showAnimationsBlock, dismissAnimationsBlock;

  // Entry points.
  void showAnimated(bool animated, Completion completion);
  void showAnimated() { showAnimated(true, nullptr); }
  void show() { showAnimated(false, nullptr); }
  void dismissAnimated(bool animated, Completion completion);
  void dismissAnimated() { dismissAnimated(true, nullptr); }
  void dismiss() { dismissAnimated(false, nullptr); }
  // Morphs this shown alert into `alert`: the new one is shown hidden, the
  // panels cross-fade and the shadow moves to the new frame, then this one
  // is dismissed at once and the new one completes its show. Only while
  // this alert is showing.
  void transitionToAlertView(const Ptr& alert, Completion completion);
  void transitionToAlertView(const Ptr& alert) { transitionToAlertView(alert, nullptr); }

  void setButtonEnabled(bool enabled, uint64_t index);
  void setButtonAtIndex(uint64_t index, bool enabled) { setButtonEnabled(enabled, index); }
  bool isButtonEnabledAtIndex(uint64_t index) const;
  bool cancelButtonEnabled() const { return cancelButtonEnabled_; }
  void setCancelButtonEnabled(bool enabled);
  bool destructiveButtonEnabled() const { return destructiveButtonEnabled_; }
  void setDestructiveButtonEnabled(bool enabled);
  void setButtonPropertiesAtIndex(uint64_t index, const std::function<void(QBAlertViewButtonProperties&)>& handler);

  void forceCancel() { cancelAction(nullptr); }
  void forceDestructive() { destructiveAction(nullptr); }
  void forceActionAtIndex(uint64_t index);

  // Views (after show).
  std::shared_ptr<ui::Window> window() const { return window_; }
  std::shared_ptr<ui::View> view() const { return view_; }
  std::shared_ptr<ui::ScrollView> scrollView() const { return scrollView_; }
  std::shared_ptr<ui::TableView> tableView() const { return tableView_; }
  std::shared_ptr<ui::Label> titleLabel() const { return titleLabel_; }
  std::shared_ptr<ui::Label> messageLabel() const { return messageLabel_; }
  std::shared_ptr<ui::View> innerContainerView() const { return innerContainerView_; }
  std::shared_ptr<ui::VisualEffectView> backgroundView() const { return backgroundView_; }
  std::shared_ptr<QBAlertViewShadowView> shadowView() const { return shadowView_; }
  std::shared_ptr<ui::VisualEffectView> blurView() const { return blurView_; }
  std::shared_ptr<QBAlertViewShadowView> shadowCancelView() const { return shadowCancelView_; }
  std::shared_ptr<ui::VisualEffectView> blurCancelView() const { return blurCancelView_; }
  std::shared_ptr<QBAlertViewButton> firstButton() const { return firstButton_; }
  std::shared_ptr<QBAlertViewButton> secondButton() const { return secondButton_; }
  std::shared_ptr<QBAlertViewButton> thirdButton() const { return thirdButton_; }
  std::shared_ptr<QBAlertViewButton> cancelButton() const { return cancelButton_; }
  std::shared_ptr<QBAlertViewButton> destructiveButton() const { return destructiveButton_; }
  std::shared_ptr<ui::ProgressView> progressView() const { return progressView_; }
  std::shared_ptr<ui::ActivityIndicatorView> activityIndicator() const { return activityIndicator_; }
  std::shared_ptr<ui::Label> progressLabel() const { return progressLabel_; }

  // Layout, for the current container size when `size` is zero.
  void layoutValidateWithSize(ui::Size size);

 private:
  class Adapter;
  friend class Adapter;
  static void initAsAppearance(QBAlertView& a);
  void setupDefaults();
  void subviewsValidate();
  std::shared_ptr<QBAlertViewShadowView> makeShadowView() const;
  void makeRowOrTable(double& y);
  void makeTable(double& y);
  std::shared_ptr<QBAlertViewButton> makeButton(const std::string& title, const ButtonLook& look, bool enabled);
  ButtonLook lookForIndex(uint64_t index) const;
  void configCell(QBAlertViewCell& cell, int row) const;
  int rowCount() const { return static_cast<int>(buttonTitles_.size()); }
  bool tableLayout() const { return tableView_ != nullptr; }
  bool cancelSeparate() const;
  bool padCentered() const;
  void actionAtIndex(uint64_t index, const std::string& title);
  void cancelAction(ui::View* sender);
  void destructiveAction(ui::View* sender);
  void selectRow(int row);
  void runWill(bool show);
  void runDid(bool show);
  void post(const char* name, const ns::Dictionary& info = {});
  void applyShownState();
  void applyDismissedState();
  void showAnimated(bool animated, bool hidden, Completion completion);
  void addObservers();
  void showComplete();
  void dismissComplete();
  // The steps of transitionToAlertView after the own panel faded out.
  void transitionMoveShadow(const Ptr& next, Completion completion);
  void transitionCrossFade(const Ptr& next, Completion completion);
  // The separate cancel button with its shadow and blur views (if any).
  std::vector<ui::View*> cancelViews() const;

  QBAlertViewStyle style_;
  QBAlertViewType type_;
  std::string title_, message_;
  Titles buttonTitles_;
  std::string cancelButtonTitle_, destructiveButtonTitle_;
  std::shared_ptr<ui::View> innerView_;
  uint64_t numberOfTextFields_ = 0;
  TextFieldsSetupHandler textFieldsSetupHandler_;
  std::vector<std::shared_ptr<ui::TextField>> textFields_;
  float progress_ = 0;
  std::string progressLabelText_;
  std::weak_ptr<QBAlertViewDelegate> delegate_;
  bool showing_ = false, initialized_ = false, exists_ = false;
  double keyboardHeight_ = 0;
  std::vector<bool> buttonsEnabled_;
  std::map<uint64_t, QBAlertViewButtonProperties> buttonsProperties_;
  bool cancelButtonEnabled_ = true, destructiveButtonEnabled_ = true;

  bool cancelOnTouch_ = true, userCancelOnTouch_ = false;
  ColorPtr tintColor_;
  ButtonLook buttons_, cancelButtonLook_, destructiveButtonLook_;
  double buttonsHeight_ = 44;
  bool userButtonsHeight_ = false;
  double width_ = kUnset;
  ColorPtr titleTextColor_, messageTextColor_;
  FontPtr titleFont_;
  bool userTitleTextColor_ = false, userTitleFont_ = false, userMessageTextColor_ = false;
  bool userButtonsTitleColor_ = false, userButtonsBackgroundColorHighlighted_ = false;
  bool userCancelButtonTitleColor_ = false, userCancelButtonBackgroundColorHighlighted_ = false;
  bool userActivityIndicatorViewColor_ = false, userProgressViewProgressTintColor_ = false;
  ColorPtr activityIndicatorViewColor_, progressViewProgressTintColor_;

  std::shared_ptr<Adapter> adapter_;
  std::shared_ptr<ui::Window> window_;
  std::shared_ptr<ui::ViewController> viewController_;
  std::shared_ptr<ui::View> view_;
  std::shared_ptr<ui::VisualEffectView> backgroundView_, blurView_, blurCancelView_;
  std::shared_ptr<QBAlertViewShadowView> shadowView_, shadowCancelView_;
  std::shared_ptr<ui::ScrollView> scrollView_;
  std::shared_ptr<ui::TableView> tableView_;
  std::shared_ptr<ui::Label> titleLabel_, messageLabel_, progressLabel_;
  std::shared_ptr<ui::View> innerContainerView_;
  std::shared_ptr<QBAlertViewButton> firstButton_, secondButton_, thirdButton_, cancelButton_, destructiveButton_;
  std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
  std::shared_ptr<ui::ProgressView> progressView_;
  std::shared_ptr<QBAlertViewCell> heightCell_;
  ui::Point scrollViewCenterShowed_, scrollViewCenterHidden_, cancelButtonCenterShowed_, cancelButtonCenterHidden_;
  std::vector<ns::NotificationCenter::TokenPtr> observers_;
  // Held from show until dismissal, as the window's controller would.
  Ptr keepAlive_;
};

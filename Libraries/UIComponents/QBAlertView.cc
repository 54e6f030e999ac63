#include "Libraries/UIComponents/QBAlertView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>

#include "Libraries/UIComponents/QBAlertViewAdapter.h"
#include "Libraries/UIComponents/QBAlertViewButton.h"
#include "Libraries/UIComponents/QBAlertViewCell.h"
#include "Libraries/UIComponents/QBAlertViewController.h"
#include "Libraries/UIComponents/QBAlertViewHelper.h"
#include "Libraries/UIComponents/QBAlertViewWindow.h"
#include "Libraries/UIComponents/QBAlertViewWindowsObserver.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/GeometryValue.h"
#include "Platform/UIKit/GestureRecognizer.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/ProgressViews.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/ScrollView.h"
#include "Platform/UIKit/TableView.h"
#include "Platform/UIKit/TableViewDataSource.h"
#include "Platform/UIKit/TableViewDelegate.h"
#include "Platform/UIKit/TextField.h"
#include "Platform/UIKit/VisualEffectView.h"
#include "Platform/UIKit/Window.h"

using ui::Point;
using ui::Rect;
using ui::Size;

namespace {

QBAlertView::ColorPtr gray() { return ui::Color::gray(); }

ui::ImagePtr iconAt(const std::vector<ui::ImagePtr>& icons, uint64_t index) {
  return index < icons.size() ? icons[index] : nullptr;
}

ui::Window* appWindow() {
  auto windows = ui::Application::shared().windows();
  return windows.empty() ? nullptr : windows.front().get();
}

}  // namespace

// ---- Appearance and creation -------------------------------------------

QBAlertView& QBAlertView::appearance() {
  static std::once_flag once;
  static QBAlertView* shared = nullptr;
  std::call_once(once, [] {
    shared = new QBAlertView(QBAlertViewStyle::Alert, QBAlertViewType::Default);
    initAsAppearance(*shared);
  });
  return *shared;
}

void QBAlertView::resetAppearance() {
  QBAlertView& a = appearance();
  a = QBAlertView(QBAlertViewStyle::Alert, QBAlertViewType::Default);
  initAsAppearance(a);
}

void QBAlertView::initAsAppearance(QBAlertView& a) {
  const bool old = QBAlertViewHelper::systemVersion() < 9.0;
  a.tintColor_ = ui::Color::withRGBA(0.0, 0.5, 1.0, 1.0);
  a.coverColor = ui::Color::withWhite(0.0, 0.35);
  a.backgroundColor = ui::Color::white();
  a.separatorsColor = ui::Color::withWhite(0.85, 1.0);
  a.layerCornerRadius = old ? 6 : 12;
  a.titleFont_ = ui::Font::boldSystemFont(18);
  a.titleTextColor_ = ui::Color::black();
  a.messageTextColor_ = ui::Color::black();
  a.messageFont = ui::Font::systemFont(14);
  auto look = [&](ButtonLook& b, ColorPtr title, ColorPtr highlightBack, FontPtr font) {
    b.titleColor = std::move(title);
    b.titleColorHighlighted = ui::Color::white();
    b.titleColorDisabled = gray();
    b.backgroundColor = ui::Color::clear();
    b.backgroundColorHighlighted = std::move(highlightBack);
    b.backgroundColorDisabled = nullptr;
    b.font = std::move(font);
  };
  look(a.buttons_, a.tintColor_, a.tintColor_, ui::Font::systemFont(18));
  look(a.cancelButtonLook_, a.tintColor_, a.tintColor_, ui::Font::boldSystemFont(18));
  look(a.destructiveButtonLook_, ui::Color::red(), ui::Color::red(), ui::Font::systemFont(18));
  a.activityIndicatorViewColor_ = a.tintColor_;
  a.progressViewProgressTintColor_ = a.tintColor_;
  a.progressViewTrackTintColor = ui::Color::withWhite(0.8);
  a.progressLabelTextColor = ui::Color::black();
  a.progressLabelFont = ui::Font::systemFont(14);
  a.textFieldsBackgroundColor = ui::Color::withWhite(0.97);
  a.textFieldsTextColor = ui::Color::black();
  a.textFieldsFont = ui::Font::systemFont(16);
  a.heightCell_ = std::make_shared<QBAlertViewCell>();
}

QBAlertView::QBAlertView(QBAlertViewStyle style, QBAlertViewType type) : style_(style), type_(type) {}

QBAlertView::~QBAlertView() {
  for (auto& token : observers_) ns::NotificationCenter::defaultCenter().removeObserver(token);
}

namespace {
QBAlertView::Ptr make(QBAlertViewStyle style, QBAlertViewType type) {
  return std::make_shared<QBAlertView>(style, type);
}
}  // namespace

// The base initialiser shared by every factory.
#define QB_BASE(alert, title, message, buttonTitles, cancel, destructive) \
  alert->title_ = title;                                                  \
  alert->message_ = message;                                              \
  alert->buttonTitles_ = std::move(buttonTitles);                         \
  alert->cancelButtonTitle_ = cancel;                                     \
  alert->destructiveButtonTitle_ = destructive;

QBAlertView::Ptr QBAlertView::alertViewWithTitle(const std::string& title, const std::string& message,
                                                 QBAlertViewStyle style, Titles buttonTitles,
                                                 const std::string& cancel, const std::string& destructive) {
  auto a = make(style, QBAlertViewType::Default);
  QB_BASE(a, title, message, buttonTitles, cancel, destructive)
  a->setupDefaults();
  return a;
}

QBAlertView::Ptr QBAlertView::alertViewWithViewAndTitle(const std::string& title, const std::string& message,
                                                        QBAlertViewStyle style, std::shared_ptr<ui::View> view,
                                                        Titles buttonTitles, const std::string& cancel,
                                                        const std::string& destructive) {
  auto a = make(style, QBAlertViewType::Default);
  QB_BASE(a, title, message, buttonTitles, cancel, destructive)
  a->innerView_ = std::move(view);
  a->setupDefaults();
  return a;
}

QBAlertView::Ptr QBAlertView::alertViewWithActivityIndicatorAndTitle(
    const std::string& title, const std::string& message, QBAlertViewStyle style,
    const std::string& progressLabelText, Titles buttonTitles, const std::string& cancel,
    const std::string& destructive) {
  auto a = make(style, QBAlertViewType::ActivityIndicator);
  QB_BASE(a, title, message, buttonTitles, cancel, destructive)
  a->progressLabelText_ = progressLabelText;
  a->setupDefaults();
  return a;
}

QBAlertView::Ptr QBAlertView::alertViewWithProgressViewAndTitle(
    const std::string& title, const std::string& message, QBAlertViewStyle style, float progress,
    const std::string& progressLabelText, Titles buttonTitles, const std::string& cancel,
    const std::string& destructive) {
  auto a = make(style, QBAlertViewType::ProgressView);
  QB_BASE(a, title, message, buttonTitles, cancel, destructive)
  a->progress_ = progress;
  a->progressLabelText_ = progressLabelText;
  a->setupDefaults();
  return a;
}

QBAlertView::Ptr QBAlertView::alertViewWithTextFieldsAndTitle(const std::string& title, const std::string& message,
                                                              uint64_t numberOfTextFields,
                                                              TextFieldsSetupHandler setup, Titles buttonTitles,
                                                              const std::string& cancel,
                                                              const std::string& destructive) {
  auto a = make(QBAlertViewStyle::Alert, QBAlertViewType::TextFields);
  QB_BASE(a, title, message, buttonTitles, cancel, destructive)
  a->numberOfTextFields_ = numberOfTextFields;
  a->textFieldsSetupHandler_ = std::move(setup);
  a->setupDefaults();
  return a;
}
#undef QB_BASE

void QBAlertView::setHandlers(ActionHandler action, Handler cancel, Handler destructive) {
  actionHandler = std::move(action);
  cancelHandler = std::move(cancel);
  destructiveHandler = std::move(destructive);
}

void QBAlertView::setupDefaults() {
  // Alert windows stay stacked from the first alert on.
  QBAlertViewWindowsObserver::sharedInstance().startObserving();
  const QBAlertView& ap = appearance();
  const bool sheet = style_ == QBAlertViewStyle::ActionSheet;
  buttonsEnabled_.assign(buttonTitles_.size(), true);
  heightCell_ = ap.heightCell_;
  windowLevel = ap.windowLevel;
  cancelOnTouch_ = ap.userCancelOnTouch_ ? ap.cancelOnTouch_ : type_ == QBAlertViewType::Default;
  dismissOnAction = ap.dismissOnAction;
  tag = std::numeric_limits<int64_t>::max();
  tintColor_ = ap.tintColor_;
  coverColor = ap.coverColor;
  coverAlpha = ap.coverAlpha;
  backgroundColor = ap.backgroundColor;
  buttonsHeight_ = ap.userButtonsHeight_ ? ap.buttonsHeight_
                   : sheet                ? (QBAlertViewHelper::systemVersion() < 9.0 ? 44 : 56)
                                          : 44;
  textFieldsHeight = ap.textFieldsHeight;
  offsetVertical = ap.offsetVertical;
  cancelButtonOffsetY = ap.cancelButtonOffsetY;
  heightMax = ap.heightMax;
  width_ = ap.width_;
  separatorsColor = ap.separatorsColor;
  indicatorStyle = ap.indicatorStyle;
  showsVerticalScrollIndicator = ap.showsVerticalScrollIndicator;
  padShowsActionSheetFromBottom = ap.padShowsActionSheetFromBottom;
  oneRowOneButton = ap.oneRowOneButton;
  shouldDismissAnimated = ap.shouldDismissAnimated;
  layerCornerRadius = ap.layerCornerRadius;
  layerBorderColor = ap.layerBorderColor;
  layerBorderWidth = ap.layerBorderWidth;
  layerShadowColor = ap.layerShadowColor;
  layerShadowRadius = ap.layerShadowRadius;
  layerShadowOffset = ap.layerShadowOffset;
  animationDuration = ap.animationDuration;
  initialScale = ap.initialScale;
  finalScale = ap.finalScale;
  titleTextColor_ = ap.userTitleTextColor_ ? ap.titleTextColor_ : sheet ? gray() : ui::Color::black();
  titleTextAlignment = ap.titleTextAlignment;
  titleFont_ = ap.userTitleFont_ ? ap.titleFont_ : ui::Font::boldSystemFont(sheet ? 14 : 18);
  messageTextColor_ = ap.userMessageTextColor_ ? ap.messageTextColor_ : sheet ? gray() : ui::Color::black();
  messageTextAlignment = ap.messageTextAlignment;
  messageFont = ap.messageFont;
  buttons_ = ap.buttons_;
  cancelButtonLook_ = ap.cancelButtonLook_;
  destructiveButtonLook_ = ap.destructiveButtonLook_;
  buttonsIconImages = ap.buttonsIconImages;
  buttonsIconImagesHighlighted = ap.buttonsIconImagesHighlighted;
  buttonsIconImagesDisabled = ap.buttonsIconImagesDisabled;
  cancelButtonEnabled_ = ap.cancelButtonEnabled_;
  destructiveButtonEnabled_ = ap.destructiveButtonEnabled_;
  activityIndicatorViewStyle = ap.activityIndicatorViewStyle;
  activityIndicatorViewColor_ = ap.activityIndicatorViewColor_;
  progressViewProgressTintColor_ = ap.progressViewProgressTintColor_;
  progressViewTrackTintColor = ap.progressViewTrackTintColor;
  progressLabelTextColor = ap.progressLabelTextColor;
  progressLabelTextAlignment = ap.progressLabelTextAlignment;
  progressLabelFont = ap.progressLabelFont;
  progressLabelNumberOfLines = ap.progressLabelNumberOfLines;
  progressLabelLineBreakMode = ap.progressLabelLineBreakMode;
  textFieldsBackgroundColor = ap.textFieldsBackgroundColor;
  textFieldsTextColor = ap.textFieldsTextColor;
  textFieldsFont = ap.textFieldsFont;
  textFieldsTextAlignment = ap.textFieldsTextAlignment;
  textFieldsClearButtonMode = ap.textFieldsClearButtonMode;
  textFieldsClearsOnBeginEditing = ap.textFieldsClearsOnBeginEditing;
  textFieldsAdjustsFontSizeToFitWidth = ap.textFieldsAdjustsFontSizeToFitWidth;
  textFieldsMinimumFontSize = ap.textFieldsMinimumFontSize;

  adapter_ = std::make_shared<Adapter>(this);
  view_ = std::make_shared<ui::View>();
  view_->setBackgroundColor(ui::Color::clear());
  view_->setUserInteractionEnabled(true);
  view_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);

  backgroundView_ = std::make_shared<ui::VisualEffectView>();
  backgroundView_->setAlpha(0);
  backgroundView_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
  view_->addSubview(backgroundView_);
  std::weak_ptr<QBAlertView> weak = weak_from_this();
  auto tap = std::make_shared<ui::TapGestureRecognizer>([weak](ui::GestureRecognizer&) {
    if (auto self = weak.lock()) self->cancelAction(nullptr);
  });
  tap->setDelegate(adapter_);
  backgroundView_->addGestureRecognizer(tap);

  viewController_ = std::make_shared<QBAlertViewController>(shared_from_this(), view_);
  window_ = std::make_shared<QBAlertViewWindow>(ui::Screen::main().bounds());
  window_->setHidden(true);
  window_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
  window_->setOpaque(false);
  window_->setBackgroundColor(ui::Color::clear());
  window_->setRootViewController(viewController_);
  view_->setFrame(viewController_->view()->bounds());
  initialized_ = true;
}

// ---- Properties ----------------------------------------------------------

double QBAlertView::width() const {
  double shorter;
  if (auto* w = appWindow())
    shorter = std::min(w->bounds().width(), w->bounds().height());
  else
    shorter = std::min(ui::Screen::main().bounds().width(), ui::Screen::main().bounds().height());
  if (width_ != kUnset) return std::min(width_, shorter);
  if (!initialized_) return kUnset;
  if (style_ == QBAlertViewStyle::Alert || QBAlertViewHelper::isPadAndNotForce(*this)) return 280;
  if (QBAlertViewHelper::isPad()) return 388;
  return shorter - 16;
}

void QBAlertView::setTintColor(ColorPtr c) {
  tintColor_ = c;
  if (!userButtonsTitleColor_) setButtonsTitleColor(c);
  if (!userCancelButtonTitleColor_) setCancelButtonTitleColor(c);
  if (!userButtonsBackgroundColorHighlighted_) setButtonsBackgroundColorHighlighted(c);
  if (!userCancelButtonBackgroundColorHighlighted_) setCancelButtonBackgroundColorHighlighted(c);
  if (!userActivityIndicatorViewColor_) setActivityIndicatorViewColor(c);
  if (!userProgressViewProgressTintColor_) setProgressViewProgressTintColor(c);
}

void QBAlertView::setButtons(ButtonLook look) {
  if (look.titleColor != buttons_.titleColor) userButtonsTitleColor_ = true;
  if (look.backgroundColorHighlighted != buttons_.backgroundColorHighlighted)
    userButtonsBackgroundColorHighlighted_ = true;
  buttons_ = std::move(look);
}

void QBAlertView::setCancelButtonLook(ButtonLook look) {
  if (look.titleColor != cancelButtonLook_.titleColor) userCancelButtonTitleColor_ = true;
  if (look.backgroundColorHighlighted != cancelButtonLook_.backgroundColorHighlighted)
    userCancelButtonBackgroundColorHighlighted_ = true;
  cancelButtonLook_ = std::move(look);
}

void QBAlertView::setDelegate(std::weak_ptr<QBAlertViewDelegate> d) {
  delegate_ = std::move(d);
  auto del = delegate_.lock();
  if (!del) return;
  if (del->implementsButtonPressedWithTitle())
    std::fprintf(stderr,
                 "WARNING: delegate method \"alertView:buttonPressedWithTitle:index:\" is DEPRECATED, use "
                 "\"alertView:clickedButtonAtIndex:title:\" instead\n");
  if (del->implementsDestructiveButtonPressed())
    std::fprintf(stderr,
                 "WARNING: delegate method \"alertViewDestructiveButtonPressed:\" is DEPRECATED, use "
                 "\"alertViewDestructed:\" instead\n");
}

double QBAlertView::layerShadowOpacity() const { return layerShadowColor ? layerShadowColor->alpha() : 0; }

void QBAlertView::setLayerShadowOpacity(double opacity) {
  if (layerShadowColor) layerShadowColor = layerShadowColor->withAlphaComponent(opacity);
}

void QBAlertView::setProgress(float p) {
  if (type_ != QBAlertViewType::ProgressView) return;
  progress_ = p;
  if (progressView_) progressView_->setProgress(p, true);
}

void QBAlertView::setProgressLabelText(const std::string& text) {
  if (type_ != QBAlertViewType::ActivityIndicator && type_ != QBAlertViewType::ProgressView) return;
  progressLabelText_ = text;
  if (progressLabel_) progressLabel_->setText(text);
}

void QBAlertView::setProgressAndLabelText(float p, const std::string& text) {
  if (type_ != QBAlertViewType::ProgressView) return;
  setProgress(p);
  setProgressLabelText(text);
}

bool QBAlertView::cancelSeparate() const {
  return !cancelButtonTitle_.empty() && QBAlertViewHelper::isCancelButtonSeparate(*this);
}

bool QBAlertView::padCentered() const { return QBAlertViewHelper::isPadAndNotForce(*this); }

// ---- Per-button state ----------------------------------------------------

void QBAlertView::setButtonEnabled(bool enabled, uint64_t index) {
  // Checked against the array written: in the table layout buttonTitles
  // also holds the destructive and cancel titles.
  if (index >= buttonsEnabled_.size()) return;
  buttonsEnabled_[index] = enabled;
  if (!exists_) return;
  if (tableView_) {
    int row = static_cast<int>(index) + (destructiveButtonTitle_.empty() ? 0 : 1);
    if (auto cell = std::dynamic_pointer_cast<QBAlertViewCell>(tableView_->cellForRow(ui::IndexPath::forRow(row, 0))))
      cell->setEnabled(enabled);
  } else {
    QBAlertViewButton* b = index == 0 ? firstButton_.get() : index == 1 ? secondButton_.get()
                           : index == 2 ? thirdButton_.get() : nullptr;
    if (b) b->setEnabled(enabled);
  }
}

bool QBAlertView::isButtonEnabledAtIndex(uint64_t index) const {
  return index < buttonsEnabled_.size() && buttonsEnabled_[index];
}

void QBAlertView::setCancelButtonEnabled(bool enabled) {
  cancelButtonEnabled_ = enabled;
  if (cancelButtonTitle_.empty() || !exists_) return;
  if (tableView_ && !cancelSeparate()) {
    auto cell = std::dynamic_pointer_cast<QBAlertViewCell>(tableView_->cellForRow(ui::IndexPath(rowCount() - 1, 0)));
    if (cell) cell->setEnabled(enabled);
  } else if (cancelButton_) {
    cancelButton_->setEnabled(enabled);
  }
}

void QBAlertView::setDestructiveButtonEnabled(bool enabled) {
  destructiveButtonEnabled_ = enabled;
  if (destructiveButtonTitle_.empty() || !exists_) return;
  if (tableView_) {
    auto cell = std::dynamic_pointer_cast<QBAlertViewCell>(tableView_->cellForRow(ui::IndexPath::forRow(0, 0)));
    if (cell) cell->setEnabled(enabled);
  } else if (destructiveButton_) {
    destructiveButton_->setEnabled(enabled);
  }
}

void QBAlertView::setButtonPropertiesAtIndex(uint64_t index,
                                             const std::function<void(QBAlertViewButtonProperties&)>& handler) {
  // Checked against the per-button arrays, as setButtonEnabled.
  if (!handler || index >= buttonsEnabled_.size()) return;
  QBAlertViewButtonProperties& props = buttonsProperties_[index];
  handler(props);
  if (props.userEnabled()) buttonsEnabled_[index] = props.enabled();
}

QBAlertView::ButtonLook QBAlertView::lookForIndex(uint64_t index) const {
  ButtonLook look = buttons_;
  look.iconImage = iconAt(buttonsIconImages, index);
  look.iconImageHighlighted = iconAt(buttonsIconImagesHighlighted, index);
  look.iconImageDisabled = iconAt(buttonsIconImagesDisabled, index);
  auto it = buttonsProperties_.find(index);
  if (it == buttonsProperties_.end()) return look;
  const auto& p = it->second;
  if (p.userTitleColor()) look.titleColor = p.titleColor();
  if (p.userTitleColorHighlighted()) look.titleColorHighlighted = p.titleColorHighlighted();
  if (p.userTitleColorDisabled()) look.titleColorDisabled = p.titleColorDisabled();
  if (p.userBackgroundColor()) look.backgroundColor = p.backgroundColor();
  if (p.userBackgroundColorHighlighted()) look.backgroundColorHighlighted = p.backgroundColorHighlighted();
  if (p.userBackgroundColorDisabled()) look.backgroundColorDisabled = p.backgroundColorDisabled();
  if (p.userIconImage()) look.iconImage = p.iconImage();
  if (p.userIconImageHighlighted()) look.iconImageHighlighted = p.iconImageHighlighted();
  if (p.userIconImageDisabled()) look.iconImageDisabled = p.iconImageDisabled();
  if (p.userTextAlignment()) look.textAlignment = p.textAlignment();
  if (p.userFont()) look.font = p.font();
  if (p.userNumberOfLines()) look.numberOfLines = p.numberOfLines();
  if (p.userLineBreakMode()) look.lineBreakMode = p.lineBreakMode();
  if (p.userMinimumScaleFactor()) look.minimumScaleFactor = p.minimumScaleFactor();
  if (p.userAdjustsFontSizeTofitWidth()) look.adjustsFontSizeToFitWidth = p.adjustsFontSizeToFitWidth();
  if (p.userIconPosition()) look.iconPosition = p.iconPosition();
  return look;
}

// ---- Events --------------------------------------------------------------

void QBAlertView::post(const char* name, const ns::Dictionary& info) {
  ns::NotificationCenter::defaultCenter().post(name, shared_from_this(), info);
}

void QBAlertView::actionAtIndex(uint64_t index, const std::string& title) {
  auto self = shared_from_this();
  if (actionHandler) actionHandler(*this, index, title);
  if (auto d = delegate()) d->clickedButtonAtIndex(*this, index, title);
  post(QBAlertViewActionNotification, {{"title", title}, {"index", index}});
  if (!dismissOnAction) return;
  // The delegate is cleared by the dismissal; the after-callbacks still
  // reach the one that was set when the button was pressed.
  std::weak_ptr<QBAlertViewDelegate> del = delegate_;
  dismissAnimated(shouldDismissAnimated, [self, index, title, del] {
    if (self->didDismissAfterActionHandler) self->didDismissAfterActionHandler(*self, index, title);
    if (auto d = del.lock()) d->didDismissAfterClickedButtonAtIndex(*self, index, title);
    self->post(QBAlertViewDidDismissAfterActionNotification, {{"title", title}, {"index", index}});
  });
}

void QBAlertView::cancelAction(ui::View* sender) {
  auto self = shared_from_this();
  if (auto* b = dynamic_cast<ui::Button*>(sender)) b->setSelected(true);
  if (cancelHandler) cancelHandler(*this);
  if (auto d = delegate()) d->alertViewCancelled(*this);
  post(QBAlertViewCancelNotification);
  if (!dismissOnAction) return;
  std::weak_ptr<QBAlertViewDelegate> del = delegate_;
  dismissAnimated(shouldDismissAnimated, [self, del] {
    if (self->didDismissAfterCancelHandler) self->didDismissAfterCancelHandler(*self);
    if (auto d = del.lock()) d->alertViewDidDismissAfterCancelled(*self);
    self->post(QBAlertViewDidDismissAfterCancelNotification);
  });
}

void QBAlertView::destructiveAction(ui::View* sender) {
  auto self = shared_from_this();
  if (auto* b = dynamic_cast<ui::Button*>(sender)) b->setSelected(true);
  if (destructiveHandler) destructiveHandler(*this);
  if (auto d = delegate()) d->alertViewDestructed(*this);
  post(QBAlertViewDestructiveNotification);
  if (!dismissOnAction) return;
  std::weak_ptr<QBAlertViewDelegate> del = delegate_;
  dismissAnimated(shouldDismissAnimated, [self, del] {
    if (self->didDismissAfterDestructiveHandler) self->didDismissAfterDestructiveHandler(*self);
    if (auto d = del.lock()) d->alertViewDidDismissAfterDestructed(*self);
    self->post(QBAlertViewDidDismissAfterDestructiveNotification);
  });
}

void QBAlertView::forceActionAtIndex(uint64_t index) {
  uint64_t at = index + (tableView_ && !destructiveButtonTitle_.empty() ? 1 : 0);
  actionAtIndex(index, at < buttonTitles_.size() ? buttonTitles_[at] : std::string());
}

void QBAlertView::selectRow(int row) {
  const bool destructive = !destructiveButtonTitle_.empty();
  if (row == 0 && destructive) return destructiveAction(nullptr);
  if (row == rowCount() - 1 && !cancelButtonTitle_.empty() && !cancelSeparate()) return cancelAction(nullptr);
  uint64_t index = static_cast<uint64_t>(row - (destructive ? 1 : 0));
  actionAtIndex(index, buttonTitles_[static_cast<size_t>(row)]);
}

void QBAlertView::runWill(bool show) {
  auto& h = show ? willShowHandler : willDismissHandler;
  if (h) h(*this);
  if (auto d = delegate()) show ? d->alertViewWillShow(*this) : d->alertViewWillDismiss(*this);
  post(show ? QBAlertViewWillShowNotification : QBAlertViewWillDismissNotification);
}

void QBAlertView::runDid(bool show) {
  auto& h = show ? didShowHandler : didDismissHandler;
  if (h) h(*this);
  if (auto d = delegate()) show ? d->alertViewDidShow(*this) : d->alertViewDidDismiss(*this);
  post(show ? QBAlertViewDidShowNotification : QBAlertViewDidDismissNotification);
}

// The kit's tip bubble: a filled bubble with rounded corners and a
// triangular pointer, showing a title, a message or a custom view, laid
// over a container view and pointing at a target view (or a bar button
// item's view).
//
// Placement: the bubble sits below the target when there is more room
// below the target's top than above it, else above it (ties go above); a
// target wholly above or below the container is pointed at from the
// container's top or bottom edge. It is kept `sidePadding` from the
// container's sides, and its pointer at least `cornerRadius` +
// `pointerSize` from the bubble's ends. The content is at most a third of
// the container's width on a pad and two thirds on a phone, unless
// `maxWidth` says otherwise.
//
// Dismissal: a touch on the tip (unless `disableTapToDismiss`), any touch in
// the container (with `dismissTapAnywhere`, the touch still reaching what
// lies under it), the timer of autoDismissAnimated, or the owner through
// dismissAnimated. The first two and the timer tell the delegate. A user's
// dismissal is acted on once: a touch seen both by the container's
// recognizer and by the tip itself dismisses, fades and tells the delegate
// once.
//
// The tip draws itself (drawRect); its backgroundColor is its own bubble
// colour and never the view's background. The text screen shows it as
// `Tip: "<title>"` (or the message). Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Dispatch/Timer.h"
#include "Platform/Graphics/ImageContext.h"
#include "Platform/Graphics/Path.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/GestureRecognizer.h"
#include "Platform/UIKit/View.h"

namespace ui {
class BarButtonItem;
}

class QBPopTipView;

class QBPopTipViewDelegate {
 public:
  virtual ~QBPopTipViewDelegate() = default;
  virtual void popTipViewWasDismissedByUser(QBPopTipView& popTipView) = 0;
};

class QBPopTipView : public ui::View, public ui::GestureRecognizerDelegate {
 public:
  enum Animation : int64_t { kAnimationSlide = 0, kAnimationPop = 1 };
  enum PointDirection : int64_t { kPointDirectionAny = 0, kPointDirectionUp = 1, kPointDirectionDown = 2 };

  // Not opaque, with the defaults below; the layer's shadow is on.
  explicit QBPopTipView(const ui::Rect& frame = {});
  // Title in the bold system font 16 and message in the system font 14,
  // both white, the title centred.
  static std::shared_ptr<QBPopTipView> withTitle(std::optional<std::string> title,
                                                 std::optional<std::string> message);
  // The message is also the accessibility hint.
  static std::shared_ptr<QBPopTipView> withMessage(std::string message);
  // The custom view takes the message's place, at its own size.
  static std::shared_ptr<QBPopTipView> withCustomView(std::shared_ptr<ui::View> customView);

  std::string typeName() const override { return "PopTip"; }

  // Lays the tip out over `container` pointing at `target` (both in one
  // window) and shows it, sliding or popping in when animated.
  void presentPointingAtView(const std::shared_ptr<ui::View>& target, const std::shared_ptr<ui::View>& container,
                             bool animated);
  // Points at the item's view inside that view's superview's superview;
  // without one, reports "Cannot determine container view from
  // UIBarButtonItem: <item>" and shows nothing.
  void presentPointingAtBarButtonItem(const std::shared_ptr<ui::BarButtonItem>& item, bool animated);
  // Fades out and drops 10 points (the platform's default duration), then
  // leaves the view tree; at once when not animated.
  void dismissAnimated(bool animated);
  // Dismisses after `seconds` (a run-loop timer) and then tells the delegate.
  void autoDismissAnimated(bool animated, double seconds);
  // The user's dismissal: highlights, fades out, tells the delegate. Does
  // nothing while one is already running.
  void dismissByUser();
  void dismissTapAnywhereFired() { dismissByUser(); }

  // Geometry after presentation, in the tip's own coordinates.
  ui::Rect bubbleFrame() const;
  ui::Rect contentFrame() const;
  PointDirection getPointDirection() const { return pointDirection_; }
  ui::Point targetPoint() const { return targetPoint_; }
  ui::Size bubbleSize() const { return bubbleSize_; }

  std::shared_ptr<QBPopTipViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<QBPopTipViewDelegate> delegate) { delegate_ = std::move(delegate); }
  const std::optional<std::string>& title() const { return title_; }
  void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
  const std::optional<std::string>& message() const { return message_; }
  void setMessage(std::optional<std::string> message) { message_ = std::move(message); }
  std::shared_ptr<ui::View> customView() const { return customView_; }
  std::shared_ptr<const void> targetObject() const { return targetObject_; }
  void setTargetObject(std::shared_ptr<const void> target) { targetObject_ = std::move(target); }

  // The bubble's fill (hides the view's own background colour, which stays
  // empty).
  ui::ColorPtr backgroundColor() const { return bubbleColor_; }
  void setBackgroundColor(ui::ColorPtr color) override { bubbleColor_ = std::move(color); }
  ui::ColorPtr titleColor() const { return titleColor_; }
  void setTitleColor(ui::ColorPtr color) { titleColor_ = std::move(color); }
  std::shared_ptr<const ui::Font> titleFont() const { return titleFont_; }
  void setTitleFont(std::shared_ptr<const ui::Font> font) { titleFont_ = std::move(font); }
  ui::ColorPtr textColor() const { return textColor_; }
  void setTextColor(ui::ColorPtr color) { textColor_ = std::move(color); }
  std::shared_ptr<const ui::Font> textFont() const { return textFont_; }
  void setTextFont(std::shared_ptr<const ui::Font> font) { textFont_ = std::move(font); }
  int64_t titleAlignment() const { return titleAlignment_; }
  void setTitleAlignment(int64_t alignment) { titleAlignment_ = alignment; }
  int64_t textAlignment() const { return textAlignment_; }
  void setTextAlignment(int64_t alignment) { textAlignment_ = alignment; }
  bool has3DStyle() const { return has3DStyle_; }
  void setHas3DStyle(bool on) { has3DStyle_ = on; }
  bool hasGradientBackground() const { return hasGradientBackground_; }
  void setHasGradientBackground(bool on) { hasGradientBackground_ = on; }
  bool hasShadow() const { return hasShadow_; }
  // On: the layer's shadow (offset (0, 3), radius 2, black, opacity 0.3);
  // off: opacity 0. The same value again changes nothing.
  void setHasShadow(bool on);
  ui::ColorPtr borderColor() const { return borderColor_; }
  void setBorderColor(ui::ColorPtr color) { borderColor_ = std::move(color); }
  double borderWidth() const { return borderWidth_; }
  void setBorderWidth(double width) { borderWidth_ = width; }
  double cornerRadius() const { return cornerRadius_; }
  void setCornerRadius(double radius) { cornerRadius_ = radius; }
  double pointerSize() const { return pointerSize_; }
  void setPointerSize(double size) { pointerSize_ = size; }
  double sidePadding() const { return sidePadding_; }
  void setSidePadding(double padding) { sidePadding_ = padding; }
  double topMargin() const { return topMargin_; }
  void setTopMargin(double margin) { topMargin_ = margin; }
  double bubblePaddingX() const { return bubblePaddingX_; }
  void setBubblePaddingX(double padding) { bubblePaddingX_ = padding; }
  double bubblePaddingY() const { return bubblePaddingY_; }
  void setBubblePaddingY(double padding) { bubblePaddingY_ = padding; }
  double maxWidth() const { return maxWidth_; }
  void setMaxWidth(double width) { maxWidth_ = width; }
  int64_t animation() const { return animation_; }
  void setAnimation(int64_t animation) { animation_ = animation; }
  int64_t preferredPointDirection() const { return preferredPointDirection_; }
  void setPreferredPointDirection(int64_t direction) { preferredPointDirection_ = direction; }
  bool dismissTapAnywhere() const { return dismissTapAnywhere_; }
  void setDismissTapAnywhere(bool on) { dismissTapAnywhere_ = on; }
  bool disableTapToDismiss() const { return disableTapToDismiss_; }
  void setDisableTapToDismiss(bool on) { disableTapToDismiss_ = on; }
  std::shared_ptr<dispatch::Timer> autoDismissTimer() const { return autoDismissTimer_; }
  std::shared_ptr<ui::Button> dismissTarget() const { return dismissTarget_; }
  void setDismissTarget(std::shared_ptr<ui::Button> button) { dismissTarget_ = std::move(button); }
  std::shared_ptr<ui::GestureRecognizer> dismissGestureRecognizer() const { return dismissGestureRecognizer_; }

  void layoutSubviews() override;
  void drawRect(const ui::Rect& rect) override;
  bool touchesBegan(ui::Point location) override;
  bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& recognizer, ui::Point location) override;
  std::string screenText() const override;
  bool matchesText(const std::string& text) const override;

 private:
  // The content's width limit in a container `width` points wide.
  double contentWidthLimit(double width) const;
  ui::Size contentSize(double widthLimit) const;
  // Chooses the direction, the frame and the pointer's apex.
  void place(const ui::View& target, const ui::View& container);
  void show(bool animated);
  void finalizeDismissal();
  // The bubble's outline with its pointer, in the tip's coordinates.
  cg::Path outline() const;
  void fillBubble(cg::ImageContext& context) const;
  void drawTexts(cg::ImageContext& context) const;

  std::weak_ptr<QBPopTipViewDelegate> delegate_;
  std::optional<std::string> title_;
  std::optional<std::string> message_;
  std::shared_ptr<ui::View> customView_;
  std::shared_ptr<const void> targetObject_;
  ui::ColorPtr bubbleColor_;
  ui::ColorPtr titleColor_;
  std::shared_ptr<const ui::Font> titleFont_;
  ui::ColorPtr textColor_;
  std::shared_ptr<const ui::Font> textFont_;
  int64_t titleAlignment_ = 0;
  int64_t textAlignment_ = 1;
  bool has3DStyle_ = true;
  bool hasGradientBackground_ = true;
  bool hasShadow_ = false;
  ui::ColorPtr borderColor_;
  double borderWidth_ = 1;
  double cornerRadius_ = 10;
  double pointerSize_ = 12;
  double sidePadding_ = 2;
  double topMargin_ = 2;
  double bubblePaddingX_ = 0;
  double bubblePaddingY_ = 0;
  double maxWidth_ = 0;
  int64_t animation_ = kAnimationSlide;
  int64_t preferredPointDirection_ = kPointDirectionAny;
  bool dismissTapAnywhere_ = false;
  bool disableTapToDismiss_ = false;
  std::shared_ptr<dispatch::Timer> autoDismissTimer_;
  std::shared_ptr<ui::Button> dismissTarget_;
  std::shared_ptr<ui::GestureRecognizer> dismissGestureRecognizer_;

  ui::Size bubbleSize_;
  PointDirection pointDirection_ = kPointDirectionUp;
  ui::Point targetPoint_;
  ui::Rect finalFrame_;
  bool highlight_ = false;  // a user's dismissal is running
};

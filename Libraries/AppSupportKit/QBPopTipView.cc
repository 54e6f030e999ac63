#include "Libraries/AppSupportKit/QBPopTipView.h"

#include <cmath>

#include "Libraries/ErrorReport/ErrorReport.h"
#include "Platform/UIKit/BarButtonItem.h"
#include "Platform/UIKit/DeviceInfo.h"
#include "Platform/UIKit/TextDrawing.h"
#include "Platform/UIKit/Window.h"

namespace {

// The platform's duration of an animation that names none.
constexpr double kDefaultAnimationDuration = 0.2;
// How far the tip slides in from and drops out to.
constexpr double kSlideDistance = 10;

}  // namespace

QBPopTipView::QBPopTipView(const ui::Rect& frame) : ui::View(frame) {
  setOpaque(false);
  bubbleColor_ = ui::Color::withRGBA(62 / 255.0, 60 / 255.0, 154 / 255.0, 1);
  textColor_ = ui::Color::white();
  textFont_ = ui::Font::boldSystemFont(14);
  borderColor_ = ui::Color::black();
  setHasShadow(true);
}

std::shared_ptr<QBPopTipView> QBPopTipView::withTitle(std::optional<std::string> title,
                                                      std::optional<std::string> message) {
  auto tip = std::make_shared<QBPopTipView>();
  tip->title_ = std::move(title);
  tip->message_ = std::move(message);
  tip->titleFont_ = ui::Font::boldSystemFont(16);
  tip->titleColor_ = ui::Color::white();
  tip->titleAlignment_ = 1;
  tip->textFont_ = ui::Font::systemFont(14);
  tip->textColor_ = ui::Color::white();
  return tip;
}

std::shared_ptr<QBPopTipView> QBPopTipView::withMessage(std::string message) {
  auto tip = std::make_shared<QBPopTipView>();
  tip->message_ = message;
  // The platform's accessibility hint is kept as the label: the one text
  // the input layer reads out.
  tip->setAccessibilityLabel(std::move(message));
  return tip;
}

std::shared_ptr<QBPopTipView> QBPopTipView::withCustomView(std::shared_ptr<ui::View> customView) {
  auto tip = std::make_shared<QBPopTipView>();
  tip->customView_ = customView;
  if (customView) tip->addSubview(std::move(customView));
  return tip;
}

void QBPopTipView::setHasShadow(bool on) {
  if (on == hasShadow_) return;
  hasShadow_ = on;
  if (on) {
    layer().setShadowOffset({0, 3});
    layer().setShadowRadius(2);
    layer().setShadowColor(ui::Color::black());
    layer().setShadowOpacity(0.3);
  } else {
    layer().setShadowOpacity(0);
  }
}

// Presentation.

void QBPopTipView::presentPointingAtView(const std::shared_ptr<ui::View>& target,
                                         const std::shared_ptr<ui::View>& container, bool animated) {
  if (!target || !container) return;
  if (!targetObject_) targetObject_ = target;
  if (dismissTapAnywhere_) {
    // Never recognises anything: its delegate (this tip) hears of every
    // touch in the container, dismisses, and lets the touch go on.
    auto recognizer = std::make_shared<ui::TapGestureRecognizer>();
    auto self = std::static_pointer_cast<QBPopTipView>(shared_from_this());
    recognizer->setDelegate(std::shared_ptr<ui::GestureRecognizerDelegate>(self));
    recognizer->setCancelsTouchesInView(false);
    dismissGestureRecognizer_ = recognizer;
    container->addGestureRecognizer(recognizer);
  }
  container->addSubview(std::static_pointer_cast<ui::View>(shared_from_this()));
  place(*target, *container);
  show(animated);
}

void QBPopTipView::presentPointingAtBarButtonItem(const std::shared_ptr<ui::BarButtonItem>& item, bool animated) {
  // Bar button items here have a view of their own only when it is a
  // custom one.
  std::shared_ptr<ui::View> itemView = item ? item->customView() : nullptr;
  ui::View* superview = itemView ? itemView->superview() : nullptr;
  ui::View* container = superview ? superview->superview() : nullptr;
  if (!container) {
    QB_REPORT("Cannot determine container view from UIBarButtonItem: " +
              (item ? "<BarButtonItem: \"" + item->displayTitle() + "\">" : std::string("(null)")));
    targetObject_.reset();
    return;
  }
  targetObject_ = item;
  presentPointingAtView(itemView, std::static_pointer_cast<ui::View>(container->shared_from_this()), animated);
}

double QBPopTipView::contentWidthLimit(double width) const {
  bool pad = ui::DeviceInfo::current().isPad();
  if (maxWidth_ == 0) return std::trunc(pad ? width / 3 : 2 * width / 3);
  if (maxWidth_ < width) return maxWidth_;
  return width - (pad ? 20 : 10);
}

ui::Size QBPopTipView::contentSize(double widthLimit) const {
  ui::Size size;
  if (message_) {
    ui::TextDrawingOptions options;
    options.defaultFont = textFont_;
    options.alignment = static_cast<ui::TextAlignment>(textAlignment_);
    size = ui::boundingSize(ns::AttributedString(*message_), widthLimit, options);
  }
  if (customView_) size = customView_->frame().size;
  if (title_) {
    ui::TextDrawingOptions options;
    options.defaultFont = titleFont_;
    ui::Size titleSize = ui::boundingSize(ns::AttributedString(*title_), widthLimit, options);
    size = {std::max(size.width, titleSize.width), size.height + titleSize.height};
  }
  return size;
}

void QBPopTipView::place(const ui::View& target, const ui::View& container) {
  ui::Size content = contentSize(contentWidthLimit(container.frame().width()));
  bubbleSize_ = {content.width + 2 * bubblePaddingX_ + 2 * cornerRadius_,
                 content.height + 2 * bubblePaddingY_ + 2 * cornerRadius_};

  // Where the target lies against the container decides the direction.
  const ui::View* reference = container.superview();
  if (!reference || dynamic_cast<const ui::Window*>(reference)) reference = &container;
  const ui::View* targetParent = target.superview();
  auto inView = [&](ui::Point p, const ui::View* view) {
    return targetParent ? targetParent->convertPointTo(p, view) : p;
  };
  double targetTop = inView(target.frame().origin, reference).y;
  double containerTop = container.frame().minY();
  double containerHeight = container.bounds().height();
  double pointerY;
  if (targetTop + target.bounds().height() < containerTop) {
    pointDirection_ = kPointDirectionUp;
    pointerY = 0;
  } else if (targetTop > containerTop + containerHeight) {
    pointDirection_ = kPointDirectionDown;
    pointerY = containerHeight;
  } else {
    double y0 = inView(target.frame().origin, &container).y;
    int64_t direction = preferredPointDirection_;
    if (direction == kPointDirectionAny) direction = containerHeight - y0 <= y0 ? kPointDirectionDown : kPointDirectionUp;
    pointDirection_ = direction == kPointDirectionDown ? kPointDirectionDown : kPointDirectionUp;
    pointerY = pointDirection_ == kPointDirectionDown ? y0 : y0 + target.bounds().height();
  }

  // Across: centred on the target, kept inside the container, the pointer
  // kept off the rounded corners.
  double containerWidth = container.bounds().width();
  double pointerX = inView(target.center(), &container).x;
  double x = pointerX - std::round(static_cast<float>(bubbleSize_.width / 2));
  if (x < sidePadding_) x = sidePadding_;
  if (x + bubbleSize_.width + sidePadding_ > containerWidth) x = containerWidth - bubbleSize_.width - sidePadding_;
  double p = pointerX;
  if (p - pointerSize_ < x + cornerRadius_) p = x + cornerRadius_ + pointerSize_;
  if (p + pointerSize_ > x + bubbleSize_.width - cornerRadius_) p = x + bubbleSize_.width - cornerRadius_ - pointerSize_;

  double height = bubbleSize_.height + pointerSize_ + 10;
  double y;
  if (pointDirection_ == kPointDirectionUp) {
    y = pointerY + topMargin_;
    targetPoint_ = {p - x, 0};
  } else {
    y = pointerY - height;
    targetPoint_ = {p - x, height - 2};
  }
  finalFrame_ = ui::Rect(x - sidePadding_, y, bubbleSize_.width + 2 * sidePadding_, height).integral();
}

void QBPopTipView::show(bool animated) {
  ui::Rect final = finalFrame_;
  if (!animated) {
    setNeedsDisplay();
    setFrame(final);
    return;
  }
  if (animation_ == kAnimationPop) {
    setFrame(final);
    setAlpha(0.5);
    setTransform(ui::AffineTransform::scale(0.75, 0.75));
    std::weak_ptr<ui::View> weak = std::static_pointer_cast<ui::View>(shared_from_this());
    ui::View::animate(
        0.15,
        [this] {
          setTransform(ui::AffineTransform::scale(1.1, 1.1));
          setAlpha(1);
        },
        [weak](bool) {
          ui::View::animate(0.1, [weak] {
            if (auto tip = weak.lock()) tip->setTransform(ui::AffineTransform());
          });
        });
    setNeedsDisplay();
    return;
  }
  // Slide in; any other style slides too.
  setAlpha(0);
  setFrame(final.offsetBy(0, kSlideDistance));
  setNeedsDisplay();
  ui::View::animate(kDefaultAnimationDuration, [this, final] {
    setAlpha(1);
    setFrame(final);
  });
}

// Geometry.

ui::Rect QBPopTipView::bubbleFrame() const {
  double y = pointDirection_ == kPointDirectionUp ? targetPoint_.y + pointerSize_
                                                  : targetPoint_.y - pointerSize_ - bubbleSize_.height;
  return ui::Rect(sidePadding_, y, bubbleSize_.width, bubbleSize_.height);
}

ui::Rect QBPopTipView::contentFrame() const {
  return bubbleFrame().insetBy(cornerRadius_ + bubblePaddingX_, cornerRadius_ + bubblePaddingY_);
}

void QBPopTipView::layoutSubviews() {
  if (customView_) customView_->setFrame(contentFrame());
}

// Dismissal.

void QBPopTipView::dismissAnimated(bool animated) {
  if (!animated) return finalizeDismissal();
  auto self = std::static_pointer_cast<QBPopTipView>(shared_from_this());
  ui::View::animate(
      kDefaultAnimationDuration,
      [this] {
        setAlpha(0);
        setFrame(frame().offsetBy(0, kSlideDistance));
      },
      [self](bool) { self->finalizeDismissal(); });
}

void QBPopTipView::autoDismissAnimated(bool animated, double seconds) {
  if (autoDismissTimer_) autoDismissTimer_->invalidate();
  std::weak_ptr<QBPopTipView> weak = std::static_pointer_cast<QBPopTipView>(shared_from_this());
  ns::Dictionary userInfo;
  userInfo["animated"] = ns::Value(animated);
  autoDismissTimer_ = dispatch::Timer::scheduled(
      seconds, false,
      [weak](dispatch::Timer& timer) {
        auto tip = weak.lock();
        if (!tip) return;
        const ns::Value* flag = timer.userInfo().find("animated");
        tip->dismissAnimated(flag && flag->boolValue());
        if (auto delegate = tip->delegate()) delegate->popTipViewWasDismissedByUser(*tip);
      },
      ns::Value(std::move(userInfo)));
}

void QBPopTipView::dismissByUser() {
  // One touch may reach both the container's recognizer and the tip: the
  // second must not fade again nor tell the delegate twice.
  if (highlight_) return;
  highlight_ = true;
  setNeedsDisplay();
  auto self = std::static_pointer_cast<QBPopTipView>(shared_from_this());
  dismissAnimated(true);
  if (auto delegate = delegate_.lock()) delegate->popTipViewWasDismissedByUser(*self);
}

void QBPopTipView::finalizeDismissal() {
  auto self = shared_from_this();  // alive until the end, whoever held it
  if (autoDismissTimer_) {
    autoDismissTimer_->invalidate();
    autoDismissTimer_.reset();
  }
  if (dismissTarget_) {
    dismissTarget_->removeFromSuperview();
    dismissTarget_.reset();
  }
  if (dismissGestureRecognizer_) {
    if (ui::View* view = dismissGestureRecognizer_->view()) view->removeGestureRecognizer(dismissGestureRecognizer_.get());
    dismissGestureRecognizer_.reset();
  }
  removeFromSuperview();
  highlight_ = false;
  targetObject_.reset();
}

// Touches and the text screen.

bool QBPopTipView::touchesBegan(ui::Point location) {
  if (disableTapToDismiss_) return ui::View::touchesBegan(location);
  dismissByUser();
  return true;
}

bool QBPopTipView::gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer&, ui::Point) {
  dismissByUser();
  return false;
}

std::string QBPopTipView::screenText() const {
  if (title_) return "Tip: \"" + *title_ + "\"";
  if (message_) return "Tip: \"" + *message_ + "\"";
  return "Tip";
}

bool QBPopTipView::matchesText(const std::string& text) const {
  if (ui::View::matchesText(text)) return true;
  auto shows = [&](const std::optional<std::string>& s) {
    // A text of several lines is found by any of its lines, as a person reads it.
    return s && !text.empty() && (*s == text || ("\n" + *s + "\n").find("\n" + text + "\n") != std::string::npos);
  };
  return shows(title_) || shows(message_);
}

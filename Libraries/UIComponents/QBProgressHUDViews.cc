// The HUD's views, built on first use; every accessor re-applies the
// current settings so that a change shows at the next presentation.
#include "Libraries/UIComponents/QBIndefiniteAnimatedView.h"
#include "Libraries/UIComponents/QBProgressAnimatedView.h"
#include "Libraries/UIComponents/QBProgressHUD.h"
#include "Libraries/UIComponents/QBRadialGradientLayer.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/DrawingKit.h"

using ui::Point;
using ui::Rect;
using ui::Size;

namespace {
class HUDControlView : public ui::Control {
 public:
  explicit HUDControlView(std::weak_ptr<QBProgressHUD> hud) : hud_(std::move(hud)) {}
  // The input layer's tap is where the touch went down.
  bool performTap(Point location) override {
    if (auto hud = hud_.lock()) {
      hud->controlViewDidReceiveTouch(hud->convertPointFrom(location, this));
    }
    return ui::Control::performTap(location);
  }

 private:
  std::weak_ptr<QBProgressHUD> hud_;
};
}  // namespace

ui::Control& QBProgressHUD::controlView() {
  if (!controlView_) {
    controlView_ = std::make_shared<HUDControlView>(weakSelf());
    controlView_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
    controlView_->setBackgroundColor(ui::Color::clear());
    controlView_->setAccessibilityIdentifier("QBProgressHUDControl");
  }
  controlView_->setFrame(appWindowBounds());
  return *controlView_;
}

ui::View& QBProgressHUD::backgroundView() {
  if (!backgroundView_) {
    backgroundView_ = std::make_shared<ui::View>();
    backgroundView_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
    backgroundView_->setAlpha(0);
  }
  if (!backgroundView_->superview()) {
    if (hudView_ && hudView_->superview() == this) {
      insertSubviewBelow(backgroundView_, hudView_.get());
    } else {
      addSubview(backgroundView_);
    }
  }
  backgroundView_->setFrame(bounds());

  if (defaultMaskType_ == QBProgressHUDMaskType::Gradient) {
    if (!gradientLayer_) gradientLayer_ = std::make_shared<QBRadialGradientLayer>();
    gradientInUse_ = true;
    gradientLayer_->setFrame(bounds());
    gradientLayer_->setGradientCenter({bounds().midX(), (bounds().height() - visibleKeyboardHeight()) / 2});
    gradientLayer_->setNeedsDisplay();
  } else {
    gradientInUse_ = false;
  }

  switch (defaultMaskType_) {
    case QBProgressHUDMaskType::Black:
      backgroundView_->setBackgroundColor(ui::Color::withWhite(0, 0.4));
      break;
    case QBProgressHUDMaskType::Custom:
      backgroundView_->setBackgroundColor(backgroundLayerColor_);
      break;
    default:
      backgroundView_->setBackgroundColor(ui::Color::clear());
      break;
  }
  return *backgroundView_;
}

const QBRadialGradientLayer* QBProgressHUD::backgroundRadialGradientLayer() const {
  return gradientInUse_ ? gradientLayer_.get() : nullptr;
}

void QBProgressHUD::drawRect(const ui::Rect&) {
  const QBRadialGradientLayer* gradient = backgroundRadialGradientLayer();
  if (!gradient || !backgroundView_ || backgroundView_->isHidden() || backgroundView_->alpha() <= 0) return;
  cg::ImageContext& context = ui::drawing::current();
  if (auto picture = gradient->drawInContext(context.scale())) {
    context.saveState();
    context.setAlpha(backgroundView_->alpha());
    context.drawImage(*picture, backgroundView_->convertRectTo(gradient->frame(), this));
    context.restoreState();
  }
}

ui::VisualEffectView& QBProgressHUD::hudView() {
  if (!hudView_) {
    hudView_ = std::make_shared<ui::VisualEffectView>();
    hudView_->setClipsToBounds(true);
    hudView_->setAutoresizingMask(ui::kAutoresizingFlexibleBottomMargin | ui::kAutoresizingFlexibleTopMargin |
                                  ui::kAutoresizingFlexibleRightMargin | ui::kAutoresizingFlexibleLeftMargin);
    hudView_->setAccessibilityIdentifier("QBProgressHUDPanel");
  }
  if (!hudView_->superview()) addSubview(hudView_);
  hudView_->layer().setCornerRadius(cornerRadius_);
  return *hudView_;
}

ui::Label& QBProgressHUD::statusLabel() {
  if (!statusLabel_) {
    statusLabel_ = std::make_shared<ui::Label>();
    statusLabel_->setBackgroundColor(ui::Color::clear());
    statusLabel_->setAdjustsFontSizeToFitWidth(true);
    statusLabel_->setTextAlignment(ui::TextAlignment::Center);
    statusLabel_->setNumberOfLines(0);
  }
  if (!statusLabel_->superview()) hudView().contentView().addSubview(statusLabel_);
  statusLabel_->setTextColor(foregroundColorForStyle());
  statusLabel_->setFont(font_);
  return *statusLabel_;
}

ui::ImageView& QBProgressHUD::imageView() {
  if (imageView_ && imageView_->bounds().size != imageViewSize_) {
    imageView_->removeFromSuperview();
    imageView_.reset();
  }
  if (!imageView_) {
    imageView_ = std::make_shared<ui::ImageView>();
    imageView_->setFrame(Rect(0, 0, imageViewSize_.width, imageViewSize_.height));
  }
  if (!imageView_->superview()) hudView().contentView().addSubview(imageView_);
  return *imageView_;
}

ui::View& QBProgressHUD::indefiniteAnimatedView() {
  const bool hasText = statusLabel_ && !statusLabel_->text().empty();
  if (defaultAnimationType_ == QBProgressHUDAnimationType::Flat) {
    auto* spinner = dynamic_cast<QBIndefiniteAnimatedView*>(spinner_.get());
    if (!spinner) {
      if (spinner_) spinner_->removeFromSuperview();
      auto made = std::make_shared<QBIndefiniteAnimatedView>();
      spinner = made.get();
      spinner_ = made;
    }
    spinner->setStrokeColor(foregroundColorForStyle());
    spinner->setStrokeThickness(ringThickness_);
    spinner->setRadius(hasText ? ringRadius_ : ringNoTextRadius_);
  } else {
    auto* indicator = dynamic_cast<ui::ActivityIndicatorView*>(spinner_.get());
    if (!indicator) {
      if (spinner_) spinner_->removeFromSuperview();
      auto made = std::make_shared<ui::ActivityIndicatorView>(ui::ActivityIndicatorViewStyle::WhiteLarge);
      indicator = made.get();
      spinner_ = made;
    }
    indicator->setColor(foregroundColorForStyle());
  }
  spinner_->sizeToFit();
  return *spinner_;
}

QBProgressAnimatedView& QBProgressHUD::ringView() {
  const bool hasText = statusLabel_ && !statusLabel_->text().empty();
  if (!ringView_) ringView_ = std::make_shared<QBProgressAnimatedView>();
  ringView_->setStrokeColor(foregroundColorForStyle());
  ringView_->setStrokeThickness(ringThickness_);
  ringView_->setRadius(hasText ? ringRadius_ : ringNoTextRadius_);
  ringView_->sizeToFit();
  return *ringView_;
}

QBProgressAnimatedView& QBProgressHUD::backgroundRingView() {
  const bool hasText = statusLabel_ && !statusLabel_->text().empty();
  if (!backgroundRingView_) {
    backgroundRingView_ = std::make_shared<QBProgressAnimatedView>();
    backgroundRingView_->setStrokeEnd(1);
  }
  backgroundRingView_->setStrokeColor(foregroundColorForStyle()->withAlphaComponent(0.1));
  backgroundRingView_->setStrokeThickness(ringThickness_);
  backgroundRingView_->setRadius(hasText ? ringRadius_ : ringNoTextRadius_);
  backgroundRingView_->sizeToFit();
  return *backgroundRingView_;
}

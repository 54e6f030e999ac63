// The HUD's panel size, where it stands on screen (clear of the keyboard),
// the window it is shown in, and the tilt effect.
#include <algorithm>
#include <cmath>

#include "Libraries/UIComponents/QBIndefiniteAnimatedView.h"
#include "Libraries/UIComponents/QBProgressAnimatedView.h"
#include "Libraries/UIComponents/QBProgressHUD.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/DeviceInfo.h"
#include "Platform/UIKit/GeometryValue.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/TextDrawing.h"
#include "Platform/UIKit/Window.h"

using ui::Point;
using ui::Rect;
using ui::Size;

namespace {

constexpr double kVerticalSpacing = 12;
constexpr double kHorizontalSpacing = 12;
constexpr double kLabelSpacing = 8;
constexpr uint32_t kKeyboardMoveOptions = 6;  // user interaction, current state

bool isPortrait() {
  const auto o = ui::DeviceInfo::current().orientation();
  return o != ns::DeviceOrientation::LandscapeLeft && o != ns::DeviceOrientation::LandscapeRight;
}

}  // namespace

void QBProgressHUD::updateHUDFrame() {
  const bool imageUsed = imageView().image() && !imageView().isHidden();
  const bool progressUsed = imageView().isHidden();
  const std::string text = statusLabel().text();
  const bool hasText = !text.empty();

  Rect labelRect;
  if (hasText) {
    Size s = ui::sizeOfText(text, *statusLabel().font(), 200);
    labelRect = Rect(0, 0, std::ceil(std::min(s.width, 200.0)), std::ceil(std::min(s.height, 300.0)));
  }

  double contentWidth = 0, contentHeight = 0;
  if (imageUsed || progressUsed) {
    const Rect content = imageUsed ? imageView().frame() : indefiniteAnimatedView().frame();
    contentWidth = content.width();
    contentHeight = content.height();
  }

  double width = kHorizontalSpacing + std::max(labelRect.width(), contentWidth) + kHorizontalSpacing;
  double height = kVerticalSpacing + labelRect.height() + contentHeight + kVerticalSpacing;
  if (hasText && (imageUsed || progressUsed)) height += kLabelSpacing;
  width = std::max(width, minimumSize_.width);
  height = std::max(height, minimumSize_.height);
  hudView().setBounds(Rect(0, 0, width, height));

  ui::View::performWithoutAnimation([&] {
    double centerY;
    if (hasText) {
      centerY = std::max(kVerticalSpacing,
                         (minimumSize_.height - contentHeight - kLabelSpacing - labelRect.height()) / 2) +
                contentHeight / 2;
    } else {
      centerY = height / 2;
    }
    const double centerX = width / 2;
    indefiniteAnimatedView().setCenter({centerX, centerY});
    imageView().setCenter({centerX, centerY});
    if (progress_ != -1) {
      ringView().setCenter({centerX, centerY});
      backgroundRingView().setCenter({centerX, centerY});
    }

    statusLabel().setBounds(labelRect);
    double labelCenterY;
    if (imageUsed) {
      labelCenterY = imageView().frame().maxY() + kLabelSpacing + labelRect.height() / 2;
    } else if (progressUsed) {
      labelCenterY = indefiniteAnimatedView().frame().maxY() + kLabelSpacing + labelRect.height() / 2;
    } else {
      labelCenterY = height / 2;
    }
    statusLabel().setCenter({centerX, labelCenterY});
  });
}

void QBProgressHUD::positionHUD(const ns::Notification* notification) {
  setFrame(appWindowBounds());
  const bool portrait = isPortrait();

  double keyboardHeight = 0;
  double duration = 0;
  if (notification) {
    const ns::Dictionary& info = notification->userInfo();
    const Rect begin = ui::rectValue(info.find(ui::kKeyboardFrameBeginUserInfoKey));
    if (const ns::Value* d = info.find(ui::kKeyboardAnimationDurationUserInfoKey)) duration = d->doubleValue();
    const std::string& name = notification->name();
    if (name == ui::kKeyboardWillShowNotification || name == ui::kKeyboardDidShowNotification) {
      keyboardHeight = portrait ? begin.height() : begin.width();
    }
  } else {
    keyboardHeight = visibleKeyboardHeight();
  }

  updateMotionEffectForOrientation(portrait);

  double activeHeight = bounds().height();
  if (keyboardHeight > 0) activeHeight += 2 * ui::Screen::main().statusBarHeight();
  activeHeight -= keyboardHeight;
  const Point target{bounds().midX(), std::floor(0.45 * activeHeight)};

  if (notification) {
    auto weak = weakSelf();
    ui::View::animate(duration, 0, kKeyboardMoveOptions, [weak, target] {
      if (auto self = weak.lock()) {
        self->moveToPoint(target, 0);
        self->hudView().setNeedsDisplay();
      }
    });
  } else {
    moveToPoint(target, 0);
  }
}

void QBProgressHUD::moveToPoint(Point point, double rotateAngle) {
  hudView().setTransform(ui::AffineTransform::rotation(rotateAngle));
  if (containerView_) {
    const Point c = containerView_->center();
    hudView().setCenter({c.x + offsetFromCenter_.x, c.y + offsetFromCenter_.y});
  } else {
    hudView().setCenter({point.x + offsetFromCenter_.x, point.y + offsetFromCenter_.y});
  }
}

void QBProgressHUD::updateMotionEffectForOrientation(bool portrait) {
  // Tilt shifts the panel by up to 10 points; the axes swap in landscape.
  if (portrait) {
    motionKeyPaths_ = {"center.x", "center.y"};
  } else {
    motionKeyPaths_ = {"center.y", "center.x"};
  }
}

void QBProgressHUD::updateViewHierarchy() {
  ui::Control& control = controlView();
  if (!control.superview()) {
    if (containerView_) {
      containerView_->addSubview(controlView_);
    } else if (auto front = frontWindow()) {
      front->addSubview(controlView_);
    }
  } else {
    control.superview()->bringSubviewToFront(&control);
  }
  if (!superview()) control.addSubview(std::static_pointer_cast<QBProgressHUD>(shared_from_this()));
}

double QBProgressHUD::visibleKeyboardHeight() const {
  // The keyboard of this platform model is one object with a screen frame.
  const ui::Keyboard& keyboard = ui::Keyboard::shared();
  if (!keyboard.isVisible()) return 0;
  const Rect inHUD = convertRectFrom(keyboard.frame(), nullptr);
  const Rect overlap = inHUD.intersection(bounds());
  return overlap.isEmpty() ? 0 : overlap.height();
}

std::shared_ptr<ui::Window> QBProgressHUD::frontWindow() const {
  const auto windows = ui::Application::shared().windows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    const auto& w = *it;
    const bool onScreen = !w->isHidden() && w->alpha() > 0;
    const bool levelOK =
        w->windowLevel() >= ui::kWindowLevelNormal && w->windowLevel() <= maxSupportedWindowLevel_;
    if (onScreen && levelOK && w->isKeyWindow()) return w;
  }
  return nullptr;
}

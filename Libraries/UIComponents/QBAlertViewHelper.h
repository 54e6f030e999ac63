// Small shared helpers of the alert view: device facts, separator
// thickness, spring and keyboard animations, windows and 1 x 1 colour
// images.
#pragma once

#include <functional>
#include <memory>

#include "Platform/Foundation/Value.h"
#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/View.h"

namespace ui {
class Window;
}
class QBAlertView;

class QBAlertViewHelper {
 public:
  // Spring animation: delay 0, damping 1, initial velocity 0.5.
  static void animateWithDuration(double duration, std::function<void()> animations,
                                  std::function<void(bool)> completion = nullptr);
  // With a keyboard end frame of non-zero height in `userInfo`: runs
  // `animations` (given that height) inside an animation of the keyboard's
  // duration. Otherwise nothing.
  static void keyboardAnimateWithNotificationUserInfo(const ns::Dictionary& userInfo,
                                                      const std::function<void(double height)>& animations);
  static ui::ImagePtr image1x1WithColor(const ui::ColorPtr& color);
  static bool isNotRetina();
  static bool isPad();
  static double statusBarHeight();
  static double separatorHeight() { return isNotRetina() ? 1.0 : 0.5; }
  static bool isPadAndNotForce(const QBAlertView& alert);
  static bool isCancelButtonSeparate(const QBAlertView& alert);
  static double systemVersion();
  // The application's first window, and its key window.
  static ui::Window* appWindow();
  static ui::Window* keyWindow();
  // From system version 9.0 on; before, the Info.plist key
  // "UIViewControllerBasedStatusBarAppearance" (absent: yes).
  static bool isViewControllerBasedStatusBarAppearance();
};

// Small shared helpers of the alert view: device facts, separator
// thickness, spring animations and 1 x 1 colour images.
#pragma once

#include <functional>
#include <memory>

#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/View.h"

class QBAlertView;

class QBAlertViewHelper {
 public:
  // Spring animation: delay 0, damping 1, initial velocity 0.5.
  static void animateWithDuration(double duration, std::function<void()> animations,
                                  std::function<void(bool)> completion = nullptr);
  static ui::ImagePtr image1x1WithColor(const ui::ColorPtr& color);
  static bool isNotRetina();
  static bool isPad();
  static double statusBarHeight();
  static double separatorHeight() { return isNotRetina() ? 1.0 : 0.5; }
  static bool isPadAndNotForce(const QBAlertView& alert);
  static bool isCancelButtonSeparate(const QBAlertView& alert);
  static double systemVersion();
};

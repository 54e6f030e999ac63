// The device's screen: bounds in points and scale, from the device's idiom
// and orientation (ns::Device). A phone is 390 x 844 points at 3x, a pad
// 820 x 1180 at 2x; a landscape orientation swaps width and height.
#pragma once

#include "Platform/UIKit/Geometry.h"

namespace ui {

class Screen {
 public:
  static Screen& main();

  Rect bounds() const;
  double scale() const;
  // Height of the status bar at the top: 47 on a phone, 24 on a pad.
  double statusBarHeight() const;
  // Bounds in pixels.
  Rect nativeBounds() const;
};

}  // namespace ui

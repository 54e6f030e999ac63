// The darkening mask of the HUD's gradient mask type: black from alpha 0 at
// the gradient centre to alpha 0.75 at the distance min(width, height), and
// 0.75 beyond.
#pragma once

#include <memory>

#include "Platform/Graphics/Image.h"
#include "Platform/UIKit/Geometry.h"

class QBRadialGradientLayer {
 public:
  ui::Rect frame() const { return frame_; }
  void setFrame(const ui::Rect& frame) { frame_ = frame; }
  ui::Point gradientCenter() const { return gradientCenter_; }
  void setGradientCenter(ui::Point center) { gradientCenter_ = center; }
  void setNeedsDisplay() { ++displayRequests_; }
  int displayRequests() const { return displayRequests_; }

  // The layer's picture over its bounds at `scale` pixels per point; null
  // when the frame is empty.
  std::shared_ptr<const cg::Image> drawInContext(double scale = 1) const;

 private:
  ui::Rect frame_;
  ui::Point gradientCenter_;
  int displayRequests_ = 0;
};

// The drawing state a view's layer carries: corners, border, shadow, mask.
// Nothing is composited; the values are kept for the screen and for tests.
#pragma once

#include <memory>

#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Geometry.h"

namespace ui {

class Layer {
 public:
  double cornerRadius() const { return cornerRadius_; }
  void setCornerRadius(double r) { cornerRadius_ = r; }
  bool masksToBounds() const { return masksToBounds_; }
  void setMasksToBounds(bool m) { masksToBounds_ = m; }
  double borderWidth() const { return borderWidth_; }
  void setBorderWidth(double w) { borderWidth_ = w; }
  std::shared_ptr<const Color> borderColor() const { return borderColor_; }
  void setBorderColor(std::shared_ptr<const Color> c) { borderColor_ = std::move(c); }
  std::shared_ptr<const Color> shadowColor() const { return shadowColor_; }
  void setShadowColor(std::shared_ptr<const Color> c) { shadowColor_ = std::move(c); }
  double shadowOpacity() const { return shadowOpacity_; }
  void setShadowOpacity(double o) { shadowOpacity_ = o; }
  Size shadowOffset() const { return shadowOffset_; }
  void setShadowOffset(Size s) { shadowOffset_ = s; }
  double shadowRadius() const { return shadowRadius_; }
  void setShadowRadius(double r) { shadowRadius_ = r; }
  // A layer whose alpha masks this one.
  std::shared_ptr<Layer> mask() const { return mask_; }
  void setMask(std::shared_ptr<Layer> mask) { mask_ = std::move(mask); }
  Rect frame() const { return frame_; }
  void setFrame(const Rect& r) { frame_ = r; }
  bool isOpaque() const { return opaque_; }
  void setOpaque(bool o) { opaque_ = o; }

 private:
  double cornerRadius_ = 0;
  bool masksToBounds_ = false;
  double borderWidth_ = 0;
  std::shared_ptr<const Color> borderColor_;
  std::shared_ptr<const Color> shadowColor_;
  double shadowOpacity_ = 0;
  Size shadowOffset_{0, -3};
  double shadowRadius_ = 3;
  std::shared_ptr<Layer> mask_;
  Rect frame_;
  bool opaque_ = false;
};

}  // namespace ui

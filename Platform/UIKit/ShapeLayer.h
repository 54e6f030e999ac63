// A layer that strokes one circular arc, with the part between strokeStart
// and strokeEnd shown, an optional image whose alpha masks it, and the keys
// of the animations it carries (animations are kept, not run). render()
// draws it through cairo at its contents scale, so tests read its pixels.
#pragma once

#include <memory>
#include <set>
#include <string>

#include "Platform/Graphics/Image.h"
#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Geometry.h"

namespace ui {

class ShapeLayer {
 public:
  Rect frame;
  double contentsScale = 1;
  // The arc in the layer's coordinates (y down: clockwise turns +x to +y).
  Point arcCenter;
  double arcRadius = 0;
  double startAngle = 0;
  double endAngle = 0;
  std::shared_ptr<const Color> strokeColor;
  std::shared_ptr<const Color> fillColor;  // null: no fill
  double lineWidth = 1;
  double strokeStart = 0;
  double strokeEnd = 1;
  // Alpha mask over the layer's bounds (null: none).
  std::shared_ptr<const cg::Image> maskImage;
  // Keys of the animations added and not removed.
  std::set<std::string> animationKeys;

  bool hasAnimation(const std::string& key) const { return animationKeys.count(key) > 0; }
  // The layer's picture; null when its frame is empty.
  std::shared_ptr<const cg::Image> render() const;
};

}  // namespace ui

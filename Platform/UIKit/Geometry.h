// The geometry the interface model uses: cg's points, sizes, rectangles and
// transforms under ui's names, and edge insets.
#pragma once

#include "Platform/Graphics/AffineTransform.h"
#include "Platform/Graphics/Geometry.h"

namespace ui {

using Point = cg::Point;
using Size = cg::Size;
using Rect = cg::Rect;
using AffineTransform = cg::AffineTransform;

struct EdgeInsets {
  double top = 0, left = 0, bottom = 0, right = 0;
  bool operator==(const EdgeInsets&) const = default;
};

inline Rect insetRect(const Rect& r, const EdgeInsets& e) {
  Rect s = r.standardized();
  return Rect(s.minX() + e.left, s.minY() + e.top, s.width() - e.left - e.right,
              s.height() - e.top - e.bottom);
}

}  // namespace ui

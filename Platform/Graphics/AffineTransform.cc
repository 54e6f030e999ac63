#include "Platform/Graphics/AffineTransform.h"

#include <algorithm>
#include <cmath>

namespace cg {

AffineTransform AffineTransform::rotation(double r) {
  double cs = std::cos(r), sn = std::sin(r);
  return {cs, sn, -sn, cs, 0, 0};
}

AffineTransform AffineTransform::concat(const AffineTransform& n) const {
  return {a * n.a + b * n.c,        a * n.b + b * n.d,        c * n.a + d * n.c,
          c * n.b + d * n.d,        tx * n.a + ty * n.c + n.tx, tx * n.b + ty * n.d + n.ty};
}

AffineTransform AffineTransform::translatedBy(double x, double y) const {
  return translation(x, y).concat(*this);
}
AffineTransform AffineTransform::scaledBy(double sx, double sy) const {
  return scale(sx, sy).concat(*this);
}
AffineTransform AffineTransform::rotatedBy(double r) const { return rotation(r).concat(*this); }

AffineTransform AffineTransform::inverted() const {
  double det = a * d - b * c;
  if (det == 0) return *this;
  AffineTransform r{d / det, -b / det, -c / det, a / det, 0, 0};
  r.tx = -(tx * r.a + ty * r.c);
  r.ty = -(tx * r.b + ty * r.d);
  return r;
}

Point AffineTransform::apply(Point p) const {
  return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty};
}

Size AffineTransform::apply(Size s) const {
  return {a * s.width + c * s.height, b * s.width + d * s.height};
}

Rect AffineTransform::apply(const Rect& r) const {
  Point p[4] = {apply(Point{r.minX(), r.minY()}), apply(Point{r.maxX(), r.minY()}),
                apply(Point{r.minX(), r.maxY()}), apply(Point{r.maxX(), r.maxY()})};
  double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
  for (const Point& q : p) {
    x0 = std::min(x0, q.x);
    x1 = std::max(x1, q.x);
    y0 = std::min(y0, q.y);
    y1 = std::max(y1, q.y);
  }
  return {x0, y0, x1 - x0, y1 - y0};
}

}  // namespace cg

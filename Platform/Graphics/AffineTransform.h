// A 2-D affine transform [a b c d tx ty]: x' = a*x + c*y + tx,
// y' = b*x + d*y + ty. Views keep one; image contexts apply them.
#pragma once

#include "Platform/Graphics/Geometry.h"

namespace cg {

struct AffineTransform {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  static AffineTransform identity() { return {}; }
  static AffineTransform translation(double tx, double ty) { return {1, 0, 0, 1, tx, ty}; }
  static AffineTransform scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
  static AffineTransform rotation(double radians);

  bool isIdentity() const { return *this == AffineTransform{}; }
  // `this` first, then `next`.
  AffineTransform concat(const AffineTransform& next) const;
  AffineTransform translatedBy(double x, double y) const;
  AffineTransform scaledBy(double sx, double sy) const;
  AffineTransform rotatedBy(double radians) const;
  // The identity's inverse is itself; a singular transform returns itself.
  AffineTransform inverted() const;

  Point apply(Point p) const;
  Size apply(Size s) const;  // no translation
  // The bounding box of the transformed rectangle.
  Rect apply(const Rect& r) const;

  bool operator==(const AffineTransform&) const = default;
};

}  // namespace cg

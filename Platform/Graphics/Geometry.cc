#include "Platform/Graphics/Geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace cg {

double Rect::minX() const { return std::min(origin.x, origin.x + size.width); }
double Rect::minY() const { return std::min(origin.y, origin.y + size.height); }
double Rect::maxX() const { return std::max(origin.x, origin.x + size.width); }
double Rect::maxY() const { return std::max(origin.y, origin.y + size.height); }
double Rect::width() const { return std::fabs(size.width); }
double Rect::height() const { return std::fabs(size.height); }

Rect Rect::standardized() const { return {minX(), minY(), width(), height()}; }

Rect Rect::insetBy(double dx, double dy) const {
  Rect r = standardized();
  r.origin.x += dx;
  r.origin.y += dy;
  r.size.width -= 2 * dx;
  r.size.height -= 2 * dy;
  if (r.size.width < 0 || r.size.height < 0) return {};
  return r;
}

Rect Rect::offsetBy(double dx, double dy) const {
  return {origin.x + dx, origin.y + dy, size.width, size.height};
}

Rect Rect::integral() const {
  if (isEmpty()) return standardized();
  double x0 = std::floor(minX()), y0 = std::floor(minY());
  double x1 = std::ceil(maxX()), y1 = std::ceil(maxY());
  return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::intersection(const Rect& o) const {
  double x0 = std::max(minX(), o.minX()), y0 = std::max(minY(), o.minY());
  double x1 = std::min(maxX(), o.maxX()), y1 = std::min(maxY(), o.maxY());
  if (x1 <= x0 || y1 <= y0) return {};
  return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::unionWith(const Rect& o) const {
  if (isEmpty()) return o.standardized();
  if (o.isEmpty()) return standardized();
  double x0 = std::min(minX(), o.minX()), y0 = std::min(minY(), o.minY());
  double x1 = std::max(maxX(), o.maxX()), y1 = std::max(maxY(), o.maxY());
  return {x0, y0, x1 - x0, y1 - y0};
}

bool Rect::intersects(const Rect& o) const { return !intersection(o).isEmpty(); }

bool Rect::contains(Point p) const {
  return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool Rect::contains(const Rect& o) const {
  return o.minX() >= minX() && o.maxX() <= maxX() && o.minY() >= minY() && o.maxY() <= maxY();
}

namespace {
std::string number(double v) {
  if (v == 0) v = 0;  // no "-0"
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}
}  // namespace

std::string toString(Point p) { return "{" + number(p.x) + ", " + number(p.y) + "}"; }
std::string toString(Size s) { return "{" + number(s.width) + ", " + number(s.height) + "}"; }
std::string toString(const Rect& r) {
  return "{" + toString(r.origin) + ", " + toString(r.size) + "}";
}

}  // namespace cg

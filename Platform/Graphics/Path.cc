#include "Platform/Graphics/Path.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "Platform/Graphics/detail/CairoPath.h"

namespace cg {

Path Path::rect(const Rect& r) {
  Path p;
  p.addRect(r);
  return p;
}

Path Path::roundedRect(const Rect& r, double radius) {
  Path p;
  p.addRoundedRect(r, radius);
  return p;
}

Path Path::ellipse(const Rect& r) {
  Path p;
  p.addEllipse(r);
  return p;
}

void Path::moveTo(Point p) {
  elements_.push_back({Op::Move, {p.x, p.y}});
  current_ = subpathStart_ = p;
  hasCurrent_ = true;
}
void Path::lineTo(Point p) {
  elements_.push_back({Op::Line, {p.x, p.y}});
  if (!hasCurrent_) subpathStart_ = p;
  current_ = p;
  hasCurrent_ = true;
}
void Path::curveTo(Point a, Point b, Point e) {
  elements_.push_back({Op::Curve, {a.x, a.y, b.x, b.y, e.x, e.y}});
  if (!hasCurrent_) subpathStart_ = a;
  current_ = e;
  hasCurrent_ = true;
}
void Path::addArc(Point c, double radius, double start, double end, bool clockwise) {
  elements_.push_back({clockwise ? Op::Arc : Op::ArcNegative, {c.x, c.y, radius, start, end}});
  // cairo turns the end past the start by whole turns; the point is the same.
  Point first{c.x + radius * std::cos(start), c.y + radius * std::sin(start)};
  if (!hasCurrent_) subpathStart_ = first;
  current_ = {c.x + radius * std::cos(end), c.y + radius * std::sin(end)};
  hasCurrent_ = true;
}
void Path::close() {
  elements_.push_back({Op::Close, {}});
  current_ = subpathStart_;
}

void Path::addPath(const Path& other) {
  if (other.isEmpty()) return;
  elements_.insert(elements_.end(), other.elements_.begin(), other.elements_.end());
  current_ = other.current_;
  subpathStart_ = other.subpathStart_;
  hasCurrent_ = other.hasCurrent_;
}

void Path::addArcToPoint(Point corner, Point towards, double radius) {
  if (!hasCurrent_) return moveTo(corner);
  double ax = current_.x - corner.x, ay = current_.y - corner.y;
  double bx = towards.x - corner.x, by = towards.y - corner.y;
  double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
  double cross = ax * by - ay * bx;
  if (radius <= 0 || la == 0 || lb == 0 || std::abs(cross) < 1e-12 * la * lb) return lineTo(corner);
  ax /= la, ay /= la, bx /= lb, by /= lb;
  double angle = std::acos(std::clamp(ax * bx + ay * by, -1.0, 1.0));  // between the two legs
  double along = radius / std::tan(angle / 2);                          // corner to each tangent point
  double bisx = ax + bx, bisy = ay + by, bis = std::hypot(bisx, bisy);
  double toCenter = radius / std::sin(angle / 2);
  Point center{corner.x + bisx / bis * toCenter, corner.y + bisy / bis * toCenter};
  Point t1{corner.x + ax * along, corner.y + ay * along};
  Point t2{corner.x + bx * along, corner.y + by * along};
  double start = std::atan2(t1.y - center.y, t1.x - center.x);
  double turn = std::remainder(std::atan2(t2.y - center.y, t2.x - center.x) - start, 2 * M_PI);
  lineTo(t1);
  addArc(center, radius, start, start + turn, turn > 0);
}

void Path::addRect(const Rect& rr) {
  Rect r = rr.standardized();
  moveTo({r.minX(), r.minY()});
  lineTo({r.maxX(), r.minY()});
  lineTo({r.maxX(), r.maxY()});
  lineTo({r.minX(), r.maxY()});
  close();
}

void Path::addRoundedRect(const Rect& rr, double radius) {
  Rect r = rr.standardized();
  radius = std::clamp(radius, 0.0, std::min(r.width(), r.height()) / 2);
  if (radius == 0) return addRect(r);
  const double pi = M_PI;
  moveTo({r.minX() + radius, r.minY()});
  addArc({r.maxX() - radius, r.minY() + radius}, radius, -pi / 2, 0, true);
  addArc({r.maxX() - radius, r.maxY() - radius}, radius, 0, pi / 2, true);
  addArc({r.minX() + radius, r.maxY() - radius}, radius, pi / 2, pi, true);
  addArc({r.minX() + radius, r.minY() + radius}, radius, pi, 3 * pi / 2, true);
  close();
}

void Path::addEllipse(const Rect& rr) {
  Rect r = rr.standardized();
  // Four Bézier quarters.
  const double k = 0.5522847498;
  double cx = r.midX(), cy = r.midY(), rx = r.width() / 2, ry = r.height() / 2;
  moveTo({cx + rx, cy});
  curveTo({cx + rx, cy + k * ry}, {cx + k * rx, cy + ry}, {cx, cy + ry});
  curveTo({cx - k * rx, cy + ry}, {cx - rx, cy + k * ry}, {cx - rx, cy});
  curveTo({cx - rx, cy - k * ry}, {cx - k * rx, cy - ry}, {cx, cy - ry});
  curveTo({cx + k * rx, cy - ry}, {cx + rx, cy - k * ry}, {cx + rx, cy});
  close();
}

namespace {
// A scratch context for questions about a path.
template <class F>
auto withScratch(const Path& path, F f) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(s);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  detail::appendPath(cr, path);
  auto result = f(cr);
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  return result;
}
}  // namespace

Rect Path::boundingBox() const {
  if (isEmpty()) return {};
  return withScratch(*this, [](cairo_t* cr) {
    double x0, y0, x1, y1;
    cairo_path_extents(cr, &x0, &y0, &x1, &y1);
    return Rect(x0, y0, x1 - x0, y1 - y0);
  });
}

bool Path::contains(Point p) const {
  if (isEmpty()) return false;
  return withScratch(*this, [p](cairo_t* cr) { return bool(cairo_in_fill(cr, p.x, p.y)); });
}

}  // namespace cg

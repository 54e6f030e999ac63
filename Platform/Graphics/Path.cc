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

void Path::moveTo(Point p) { elements_.push_back({Op::Move, {p.x, p.y}}); }
void Path::lineTo(Point p) { elements_.push_back({Op::Line, {p.x, p.y}}); }
void Path::curveTo(Point a, Point b, Point e) {
  elements_.push_back({Op::Curve, {a.x, a.y, b.x, b.y, e.x, e.y}});
}
void Path::addArc(Point c, double radius, double start, double end, bool clockwise) {
  elements_.push_back({clockwise ? Op::Arc : Op::ArcNegative, {c.x, c.y, radius, start, end}});
}
void Path::close() { elements_.push_back({Op::Close, {}}); }

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

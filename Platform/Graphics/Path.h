// A path of lines, arcs and curves in user space, filled or stroked by an
// image context. Angles are radians; on the y-down drawing surface a
// clockwise arc turns from +x towards +y.
#pragma once

#include <vector>

#include "Platform/Graphics/Geometry.h"

namespace cg {

class Path {
 public:
  static Path rect(const Rect& r);
  static Path roundedRect(const Rect& r, double cornerRadius);
  static Path ellipse(const Rect& r);

  void moveTo(Point p);
  void lineTo(Point p);
  void curveTo(Point control1, Point control2, Point end);
  void addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise);
  // A corner rounded with `radius`: a line from the current point towards
  // `corner`, then the shorter arc tangent to both current point → corner
  // and corner → `towards`, ending on the second. Collinear points, a zero
  // radius or no current point give a line to `corner`.
  void addArcToPoint(Point corner, Point towards, double radius);
  void addRect(const Rect& r);
  void addRoundedRect(const Rect& r, double cornerRadius);
  void addEllipse(const Rect& r);
  // Every element of `other`, after this path's.
  void addPath(const Path& other);
  void close();

  bool isEmpty() const { return elements_.empty(); }
  // The smallest rectangle holding every point the path passes through.
  Rect boundingBox() const;
  // Whether `p` is inside the filled path (non-zero winding).
  bool contains(Point p) const;

  enum class Op { Move, Line, Curve, Arc, ArcNegative, Close };
  struct Element {
    Op op;
    double v[6];  // points, or centre x, y, radius, start, end for arcs
  };
  const std::vector<Element>& elements() const { return elements_; }

 private:
  std::vector<Element> elements_;
  Point current_;
  Point subpathStart_;
  bool hasCurrent_ = false;
};

}  // namespace cg

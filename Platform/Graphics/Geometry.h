// Points, sizes and rectangles in points (floating), with the helpers views
// and drawing use. A rectangle with a negative size is read as its
// standardized form by every helper.
#pragma once

#include <string>

namespace cg {

struct Point {
  double x = 0;
  double y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  double width = 0;
  double height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  Point origin;
  Size size;

  Rect() = default;
  Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}
  Rect(Point o, Size s) : origin(o), size(s) {}

  static Rect zero() { return {}; }

  double minX() const;
  double minY() const;
  double maxX() const;
  double maxY() const;
  double midX() const { return (minX() + maxX()) / 2; }
  double midY() const { return (minY() + maxY()) / 2; }
  double width() const;
  double height() const;
  Point center() const { return {midX(), midY()}; }
  bool isEmpty() const { return width() <= 0 || height() <= 0; }

  Rect standardized() const;
  // Shrinks by dx on the left and right and dy on top and bottom (grows
  // for negative values).
  Rect insetBy(double dx, double dy) const;
  Rect offsetBy(double dx, double dy) const;
  // The smallest rectangle of whole numbers that holds this one.
  Rect integral() const;
  // Empty (zero) when they do not overlap.
  Rect intersection(const Rect& other) const;
  Rect unionWith(const Rect& other) const;
  bool intersects(const Rect& other) const;
  // Half-open: the max edges are outside.
  bool contains(Point p) const;
  bool contains(const Rect& other) const;

  bool operator==(const Rect&) const = default;
};

// "{{x, y}, {w, h}}" with the shortest exact digits, for renderers and logs.
std::string toString(Point p);
std::string toString(Size s);
std::string toString(const Rect& r);

}  // namespace cg

#include <gtest/gtest.h>

#include <cmath>

#include "Platform/Graphics/AffineTransform.h"
#include "Platform/Graphics/Geometry.h"

namespace {

using cg::AffineTransform;
using cg::Point;
using cg::Rect;

TEST(GeometryTest, RectangleHelpers) {
  Rect r(10, 20, 30, 40);
  EXPECT_EQ(r.insetBy(5, 10), Rect(15, 30, 20, 20));
  EXPECT_EQ(r.insetBy(20, 0), Rect());  // inset past empty
  EXPECT_EQ(Rect(10, 10, -5, -5).standardized(), Rect(5, 5, 5, 5));
  EXPECT_EQ(r.intersection(Rect(30, 50, 100, 100)), Rect(30, 50, 10, 10));
  EXPECT_TRUE(r.intersection(Rect(40, 0, 5, 5)).isEmpty());
  EXPECT_EQ(r.unionWith(Rect(0, 0, 1, 1)), Rect(0, 0, 40, 60));
  EXPECT_TRUE(r.contains(Point{10, 20}));
  EXPECT_FALSE(r.contains(Point{40, 20}));  // max edge is outside
  EXPECT_EQ(Rect(0.5, 0.5, 1, 1).integral(), Rect(0, 0, 2, 2));
  EXPECT_EQ(cg::toString(Rect(0, -0.0, 320, 44.5)), "{{0, 0}, {320, 44.5}}");
}

TEST(GeometryTest, TransformsComposeAndInvert) {
  AffineTransform t = AffineTransform::scale(2, 3).translatedBy(5, 7);
  Point p = t.apply(Point{1, 1});
  EXPECT_EQ(p, (Point{12, 24}));  // translate first, then scale
  Point back = t.inverted().apply(p);
  EXPECT_NEAR(back.x, 1, 1e-12);
  EXPECT_NEAR(back.y, 1, 1e-12);
  Rect turned = AffineTransform::rotation(M_PI / 2).apply(Rect(0, 0, 10, 20));
  EXPECT_NEAR(turned.width(), 20, 1e-9);
  EXPECT_NEAR(turned.height(), 10, 1e-9);
  EXPECT_TRUE(AffineTransform::identity().isIdentity());
}

}  // namespace

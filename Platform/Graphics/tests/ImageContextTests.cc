#include <gtest/gtest.h>

#include <cmath>

#include "Platform/Graphics/ImageContext.h"

namespace {

using cg::ImageContext;
using cg::Path;
using cg::Pixel;
using cg::Point;
using cg::Rect;
using cg::Rgba;

TEST(ImageContextTest, OpaqueContextFillsAndStrokesAtItsScale) {
  ImageContext ctx({10, 10}, true, 3);
  ctx.setFillColor(Rgba::white());
  ctx.fillRect(Rect(0, 0, 10, 10));
  ctx.setStrokeColor(Rgba::black());
  ctx.setLineWidth(1);
  ctx.strokeRect(Rect(0.5, 0.5, 9, 9));
  auto image = ctx.makeImage();
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixelWidth(), 30);
  EXPECT_EQ(image->scale(), 3);
  EXPECT_TRUE(image->isOpaque());
  EXPECT_EQ(image->pixel(15, 15), (Pixel{255, 255, 255, 255}));  // inside
  EXPECT_EQ(image->pixel(2, 15), (Pixel{0, 0, 0, 255}));         // on the frame
}

TEST(ImageContextTest, ArcsMakeAFilledCircle) {
  Path circle;
  circle.addArc({50, 50}, 40, 0, 2 * M_PI, true);
  circle.close();
  EXPECT_TRUE(circle.contains({50, 50}));
  EXPECT_TRUE(circle.contains({50, 12}));
  EXPECT_FALSE(circle.contains({12, 12}));  // a corner of the bounding box
  Rect box = circle.boundingBox();
  EXPECT_NEAR(box.minX(), 10, 0.01);
  EXPECT_NEAR(box.maxY(), 90, 0.01);

  ImageContext ctx({100, 100}, false, 1);
  ctx.setFillColor({0, 1, 0, 1});
  ctx.fillPath(circle);
  auto image = ctx.makeImage();
  EXPECT_EQ(image->pixel(50, 50), (Pixel{0, 255, 0, 255}));
  EXPECT_EQ(image->pixel(12, 12), (Pixel{}));

  Path rounded = Path::roundedRect(Rect(0, 0, 40, 20), 10);
  EXPECT_FALSE(rounded.contains({0.5, 0.5}));
  EXPECT_TRUE(rounded.contains({20, 0.5}));
}

TEST(ImageContextTest, BlendModesAlphaAndShadow) {
  struct Case {
    const char* name;
    cg::BlendMode mode;
    double alpha;
    Pixel expected;  // a 50% grey square drawn over white
  } cases[] = {
      {"normal", cg::BlendMode::Normal, 1, {128, 128, 128, 255}},
      {"normal at half alpha", cg::BlendMode::Normal, 0.5, {191, 191, 191, 255}},
      {"multiply", cg::BlendMode::Multiply, 1, {128, 128, 128, 255}},
      {"screen", cg::BlendMode::Screen, 1, {255, 255, 255, 255}},
      {"destination over keeps white", cg::BlendMode::DestinationOver, 1, {255, 255, 255, 255}},
  };
  for (const auto& c : cases) {
    ImageContext ctx({4, 4}, false, 1);
    ctx.setFillColor(Rgba::white());
    ctx.fillRect(Rect(0, 0, 4, 4));
    ctx.setBlendMode(c.mode);
    ctx.setAlpha(c.alpha);
    ctx.setFillColor(Rgba::gray(128.0 / 255));
    ctx.fillRect(Rect(0, 0, 4, 4));
    Pixel p = ctx.makeImage()->pixel(2, 2);
    EXPECT_NEAR(p.r, c.expected.r, 1) << c.name;
    EXPECT_EQ(p.a, c.expected.a) << c.name;
  }

  ImageContext ctx({20, 20}, false, 1);
  ctx.setShadow({5, 5}, 0, Rgba::black());
  ctx.setFillColor({1, 0, 0, 1});
  ctx.fillRect(Rect(0, 0, 10, 10));
  auto image = ctx.makeImage();
  EXPECT_EQ(image->pixel(2, 2), (Pixel{255, 0, 0, 255}));  // the shape over its shadow
  EXPECT_EQ(image->pixel(12, 12), (Pixel{0, 0, 0, 255}));  // the shadow alone
  EXPECT_EQ(image->pixel(17, 17), (Pixel{}));
  ctx.saveState();
  ctx.clearShadow();
  ctx.restoreState();
  ctx.fillRect(Rect(10, 0, 5, 5));  // the shadow came back with the state
  EXPECT_EQ(ctx.makeImage()->pixel(17, 7), (Pixel{0, 0, 0, 255}));
}

TEST(ImageContextTest, ClearBlendModeClearsOnlyTheShape) {
  ImageContext ctx({8, 8}, false, 1);
  ctx.setFillColor({1, 0, 0, 1});
  ctx.fillRect(Rect(0, 0, 8, 8));
  ctx.setBlendMode(cg::BlendMode::Clear);
  ctx.fillRect(Rect(2, 2, 4, 4));
  auto image = ctx.makeImage();
  EXPECT_EQ(image->pixel(3, 3), (Pixel{}));
  EXPECT_EQ(image->pixel(0, 0), (Pixel{255, 0, 0, 255}));
  EXPECT_EQ(image->pixel(7, 7), (Pixel{255, 0, 0, 255}));
}

TEST(ImageContextTest, DrawsImagesScaledAndTiled) {
  auto tile = cg::Image::filled(2, 2, {0, 0, 1, 1}, 2);  // one point square
  ImageContext ctx({4, 4}, false, 1);
  ctx.drawImage(*tile, Rect(0, 0, 2, 2));
  auto image = ctx.makeImage();
  EXPECT_EQ(image->pixel(1, 1), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(image->pixel(3, 3), (Pixel{}));

  ImageContext tiled({4, 4}, false, 1);
  tiled.drawTiledImage(*tile, Rect(0, 0, 4, 4));
  EXPECT_EQ(tiled.makeImage()->pixel(3, 3), (Pixel{0, 0, 255, 255}));
}

TEST(ImageContextTest, TransparencyLayerComposesItsDrawingOnce) {
  // Two overlapping red squares in a layer at half alpha: one layer, so the
  // overlap is no darker than the rest; its shadow falls once, offset.
  ImageContext ctx({20, 20}, false, 1);
  ctx.setFillColor(Rgba::white());
  ctx.fillRect(Rect(0, 0, 20, 20));
  ctx.saveState();
  ctx.setAlpha(0.5);
  ctx.setShadow({6, 6}, 0, Rgba::black());
  ctx.beginTransparencyLayer();
  ctx.setFillColor({1, 0, 0, 1});
  ctx.fillRect(Rect(0, 0, 8, 8));
  ctx.fillRect(Rect(4, 4, 8, 8));  // no shadow or alpha of its own inside
  ctx.endTransparencyLayer();
  ctx.restoreState();
  auto image = ctx.makeImage();
  Pixel alone = image->pixel(1, 1), overlap = image->pixel(5, 5);
  EXPECT_EQ(alone, overlap);
  EXPECT_NEAR(alone.g, 128, 2);
  EXPECT_NEAR(image->pixel(16, 16).r, 128, 2);  // shadow only: black at half
  EXPECT_EQ(image->pixel(19, 1), (Pixel{255, 255, 255, 255}));
}

TEST(ImageContextTest, BlurRegionSoftensOnlyInsideTheRectangleAndTheClip) {
  auto picture = [](bool rounded) {
    ImageContext ctx({40, 20}, true, 1);
    ctx.setFillColor(Rgba::white());
    ctx.fillRect(Rect(0, 0, 40, 20));
    ctx.setFillColor(Rgba::black());
    for (int x = 0; x < 40; x += 4) ctx.fillRect(Rect(x, 0, 2, 20));  // sharp stripes
    ctx.saveState();
    if (rounded) ctx.clipToPath(cg::Path::roundedRect(Rect(0, 0, 20, 20), 8));
    ctx.blurRegion(Rect(0, 0, 20, 20), 6);
    ctx.restoreState();
    return ctx.makeImage();
  };
  auto square = picture(false);
  // Inside: the stripes mix into grey; outside: untouched.
  EXPECT_GT(square->pixel(10, 10).r, 60);
  EXPECT_LT(square->pixel(10, 10).r, 200);
  EXPECT_EQ(square->pixel(28, 10), (Pixel{0, 0, 0, 255}));
  EXPECT_EQ(square->pixel(30, 10), (Pixel{255, 255, 255, 255}));
  // A rounded pane keeps the corners it does not cover.
  auto rounded = picture(true);
  EXPECT_EQ(rounded->pixel(0, 0), (Pixel{0, 0, 0, 255}));
  EXPECT_EQ(rounded->pixel(10, 10), square->pixel(10, 10));
}

TEST(ImageContextTest, TiledImagesStartAtTheRectangle) {
  // Left half red, right half blue: tiles repeat from the rectangle's origin.
  std::vector<uint32_t> px = {0xFFFF0000u, 0xFF0000FFu};
  auto tile = std::make_shared<cg::Image>(2, 1, px, 1);
  ImageContext ctx({9, 2}, false, 1);
  ctx.drawTiledImage(*tile, Rect(1, 0, 8, 2));
  auto image = ctx.makeImage();
  EXPECT_EQ(image->pixel(0, 0), (Pixel{}));
  EXPECT_EQ(image->pixel(1, 1), (Pixel{255, 0, 0, 255}));
  EXPECT_EQ(image->pixel(2, 1), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(image->pixel(7, 0), (Pixel{255, 0, 0, 255}));
}

}  // namespace

namespace {

// A square with corners rounded by tangent arcs, drawn clockwise from the
// middle of the top edge, as a bubble's outline is.
Path tangentRoundedSquare(Rect r, double radius) {
  Path p;
  p.moveTo({r.midX(), r.minY()});
  p.addArcToPoint({r.maxX(), r.minY()}, {r.maxX(), r.maxY()}, radius);
  p.addArcToPoint({r.maxX(), r.maxY()}, {r.minX(), r.maxY()}, radius);
  p.addArcToPoint({r.minX(), r.maxY()}, {r.minX(), r.minY()}, radius);
  p.addArcToPoint({r.minX(), r.minY()}, {r.maxX(), r.minY()}, radius);
  p.close();
  return p;
}

TEST(PathTest, TangentArcsRoundCornersLikeARoundedRect) {
  Path p = tangentRoundedSquare(Rect(10, 10, 80, 60), 10);
  Rect box = p.boundingBox();
  EXPECT_NEAR(box.minX(), 10, 0.01);
  EXPECT_NEAR(box.maxY(), 70, 0.01);
  // The same points in and out as the rounded rectangle of the platform.
  Path reference = Path::roundedRect(Rect(10, 10, 80, 60), 10);
  for (Point q : std::vector<Point>{{11, 11}, {13, 13}, {89, 69}, {87, 67}, {50, 40}, {10.5, 40}, {89.5, 11}}) {
    EXPECT_EQ(p.contains(q), reference.contains(q)) << q.x << "," << q.y;
  }
  EXPECT_FALSE(p.contains({11, 11}));  // cut off by the corner's arc
  EXPECT_TRUE(p.contains({13, 13}));

  // Collinear legs, or no radius, leave a plain corner.
  Path straight;
  straight.moveTo({0, 0});
  straight.addArcToPoint({10, 0}, {20, 0}, 5);
  straight.addArcToPoint({20, 10}, {0, 10}, 0);
  straight.close();
  EXPECT_TRUE(straight.contains({15, 6}));  // the triangle (0, 0), (10, 0), (20, 10)
}

TEST(ImageContextTest, EvenOddFillLeavesTheInnerPathAHole) {
  Path ring = Path::rect(Rect(0, 0, 20, 20));
  ring.addRect(Rect(5, 5, 10, 10));  // same direction: no hole by winding
  for (auto [rule, hole] : {std::pair{cg::FillRule::Winding, false}, std::pair{cg::FillRule::EvenOdd, true}}) {
    ImageContext ctx({20, 20}, false, 1);
    ctx.setFillColor(Rgba::black());
    ctx.fillPath(ring, rule);
    auto image = ctx.makeImage();
    EXPECT_EQ(image->pixel(2, 2).a, 255);
    EXPECT_EQ(image->pixel(10, 10).a, hole ? 0 : 255);
  }
}

TEST(ImageContextTest, LinearGradientBlendsStopsAndStopsAtItsEnds) {
  ImageContext ctx({100, 10}, false, 1);
  ctx.clipToRect(Rect(0, 0, 100, 10));
  ctx.drawLinearGradient({{0, Rgba{1, 0, 0, 1}}, {0.5, Rgba{0, 0, 1, 1}}, {1, Rgba{0, 0, 1, 1}}}, {20, 0}, {80, 0});
  auto image = ctx.makeImage();
  EXPECT_EQ(image->pixel(10, 5).a, 0);  // before the start: not extended
  EXPECT_EQ(image->pixel(90, 5).a, 0);  // past the end
  Pixel start = image->pixel(20, 5), middle = image->pixel(35, 5), blue = image->pixel(65, 5);
  EXPECT_GT(start.r, 240);
  EXPECT_NEAR(middle.r, 128, 10);  // half way from the first stop to the second
  EXPECT_NEAR(middle.b, 128, 10);
  EXPECT_EQ(blue, (Pixel{0, 0, 255, 255}));
}

}  // namespace

namespace {

// A 4 × 2 bitmap: black on the left half, white on the right, the last
// pixel transparent.
std::shared_ptr<const cg::Image> halfBlackHalfWhite() {
  const uint32_t black = 0xff000000u, white = 0xffffffffu;
  return std::make_shared<cg::Image>(4, 2, std::vector<uint32_t>{black, black, white, white, black, black, white, 0});
}

TEST(ImageMaskTest, DarkShowsLightHidesAndTransparentCountsAsWhite) {
  auto mask = cg::Image::imageMask(*halfBlackHalfWhite());
  EXPECT_EQ(mask->pixelWidth(), 4);
  EXPECT_EQ(mask->pixel(0, 0).a, 255);
  EXPECT_EQ(mask->pixel(3, 0).a, 0);
  EXPECT_EQ(mask->pixel(3, 1).a, 0);
  // A mid grey shows half.
  auto grey = std::make_shared<cg::Image>(1, 1, std::vector<uint32_t>{0xff808080u});
  EXPECT_NEAR(cg::Image::imageMask(*grey)->pixel(0, 0).a, 127, 1);
}

TEST(ImageContextTest, ClipToMaskKeepsDrawingWhereTheMaskIsOpaque) {
  ImageContext ctx({40, 20}, false, 2);
  ctx.saveState();
  ctx.clipToMask(Rect(0, 0, 20, 20), *cg::Image::imageMask(*halfBlackHalfWhite()));
  ctx.setFillColor(Rgba{1, 0, 0, 1});
  ctx.fillRect(Rect(0, 0, 40, 20));
  ctx.restoreState();
  ctx.setFillColor(Rgba{0, 0, 1, 1});
  ctx.fillRect(Rect(30, 0, 10, 20));  // the clip ended with the state
  auto image = ctx.makeImage();
  EXPECT_EQ(image->pixel(5, 20), (Pixel{255, 0, 0, 255}));  // the mask's dark half
  EXPECT_EQ(image->pixel(30, 20).a, 0);                     // its light half
  EXPECT_EQ(image->pixel(50, 20).a, 0);                     // outside the mask's rectangle
  EXPECT_EQ(image->pixel(70, 20), (Pixel{0, 0, 255, 255}));

  // Two masks: where both let drawing through.
  ImageContext both({20, 20}, false, 1);
  both.clipToMask(Rect(0, 0, 20, 20), *cg::Image::imageMask(*halfBlackHalfWhite()));
  both.clipToMask(Rect(0, 0, 20, 10), *cg::Image::filled(1, 1, Rgba::black()));
  both.setFillColor(Rgba::black());
  both.fillRect(Rect(0, 0, 20, 20));
  auto twice = both.makeImage();
  EXPECT_EQ(twice->pixel(2, 2).a, 255);
  EXPECT_EQ(twice->pixel(2, 15).a, 0);
  EXPECT_EQ(twice->pixel(15, 2).a, 0);
}

}  // namespace

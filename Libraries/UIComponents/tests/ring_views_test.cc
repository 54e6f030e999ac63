#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "Libraries/UIComponents/QBIndefiniteAnimatedView.h"
#include "Libraries/UIComponents/QBProgressAnimatedView.h"
#include "Libraries/UIComponents/QBRadialGradientLayer.h"
#include "Libraries/UIComponents/QBRingSpinnerView.h"
#include "Platform/Graphics/Image.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

using RingTest = ui::testing::InterfaceTest;

// Writes the picture as a PNG file and reads it back, so the pixels checked
// are the ones the file holds.
std::shared_ptr<const cg::Image> throughPNG(const std::shared_ptr<const cg::Image>& image,
                                            const std::string& name) {
  EXPECT_NE(image, nullptr);
  if (!image) return nullptr;
  const auto path = std::filesystem::temp_directory_path() / ("ring_test_" + name + ".png");
  const ns::Data png = image->pngData();
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  }
  auto read = cg::Image::fromFile(path.string());
  std::filesystem::remove(path);
  return read;
}

// Alpha of the pixel at `angle` (radians, y down) on a circle of `radius`
// points around `center`.
int alphaAt(const cg::Image& image, double scale, ui::Point center, double radius, double angle) {
  const double x = (center.x + radius * std::cos(angle)) * scale;
  const double y = (center.y + radius * std::sin(angle)) * scale;
  return image.pixel(static_cast<int>(x), static_cast<int>(y)).a;
}

constexpr double kPi = std::numbers::pi;

TEST_F(RingTest, ProgressRingDrawsTheShownFractionFromTheTop) {
  auto superview = std::make_shared<ui::View>(ui::Rect(0, 0, 100, 100));
  auto ring = std::make_shared<QBProgressAnimatedView>();
  ring->setRadius(18);
  ring->setStrokeThickness(2);
  ring->setStrokeColor(ui::Color::black());
  ring->setStrokeEnd(0.5);
  ring->sizeToFit();
  EXPECT_EQ(ring->bounds().size, (ui::Size{48, 48}));
  superview->addSubview(ring);
  ASSERT_NE(ring->currentLayer(), nullptr);

  const double scale = ring->currentLayer()->contentsScale;
  auto image = throughPNG(ring->ringAnimatedLayer().render(), "progress");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->pixelWidth(), static_cast<int>(48 * scale));
  const ui::Point c{24, 24};
  struct Case {
    double angle;
    bool drawn;
  };
  // Half a turn clockwise from the top: the right side is drawn, the left not.
  for (const Case& k : {Case{-kPi / 2 + 0.2, true}, Case{0, true}, Case{kPi / 2 - 0.2, true},
                        Case{kPi, false}, Case{-kPi / 2 - 0.3, false}}) {
    const int a = alphaAt(*image, scale, c, 18, k.angle);
    if (k.drawn) {
      EXPECT_GT(a, 200) << k.angle;
    } else {
      EXPECT_EQ(a, 0) << k.angle;
    }
  }
  EXPECT_EQ(alphaAt(*image, scale, c, 0, 0), 0);  // the centre stays clear

  // Out of its superview the layer is forgotten.
  ring->removeFromSuperview();
  EXPECT_EQ(ring->currentLayer(), nullptr);
}

TEST_F(RingTest, SpinnerIsMaskedIntoATail) {
  auto superview = std::make_shared<ui::View>(ui::Rect(0, 0, 100, 100));
  auto spinner = std::make_shared<QBIndefiniteAnimatedView>();
  spinner->setRadius(24);
  spinner->setStrokeThickness(2);
  spinner->setStrokeColor(ui::Color::black());
  spinner->sizeToFit();
  superview->addSubview(spinner);
  const ui::ShapeLayer& layer = spinner->indefiniteAnimatedLayer();
  EXPECT_TRUE(layer.hasAnimation("rotate"));
  EXPECT_TRUE(layer.hasAnimation("progress"));
  ASSERT_NE(layer.maskImage, nullptr) << "the bundle's angle-mask image";
  auto image = throughPNG(layer.render(), "spinner");
  ASSERT_NE(image, nullptr);
  const ui::Point c{30, 30};
  const int right = alphaAt(*image, layer.contentsScale, c, 24, 0);
  const int bottom = alphaAt(*image, layer.contentsScale, c, 24, kPi / 2);
  const int left = alphaAt(*image, layer.contentsScale, c, 24, kPi);
  EXPECT_GT(right, 0);
  EXPECT_LT(right, bottom);
  EXPECT_LT(bottom, left);
  EXPECT_EQ(alphaAt(*image, layer.contentsScale, c, 0, 0), 0);
}

TEST_F(RingTest, SameRadiusKeepsTheLayerAndANewOneRebuildsIt) {
  auto superview = std::make_shared<ui::View>(ui::Rect(0, 0, 100, 100));
  auto spinner = std::make_shared<QBIndefiniteAnimatedView>();
  spinner->setRadius(18);
  superview->addSubview(spinner);
  const int builds = spinner->layerBuilds();
  spinner->setRadius(18);
  EXPECT_EQ(spinner->layerBuilds(), builds);
  spinner->setRadius(24);
  EXPECT_EQ(spinner->layerBuilds(), builds + 1);
  EXPECT_DOUBLE_EQ(spinner->currentLayer()->arcRadius, 24);
  // Whatever size is asked, the spinner wants its own square.
  EXPECT_EQ(spinner->sizeThatFits({500, 3}), (ui::Size{2 * (24 + 0 + 5), 2 * (24 + 0 + 5)}));
}

TEST_F(RingTest, RadialGradientDarkensAwayFromItsCentre) {
  QBRadialGradientLayer layer;
  layer.setFrame(ui::Rect(0, 0, 100, 60));
  layer.setGradientCenter({50, 20});
  auto image = throughPNG(layer.drawInContext(1), "gradient");
  ASSERT_NE(image, nullptr);
  EXPECT_LE(image->pixel(50, 20).a, 5);
  EXPECT_NEAR(image->pixel(50 + 30, 20).a, 0.75 * 255 * 0.5, 3);  // half the radius of 60
  EXPECT_EQ(image->pixel(99, 59).a, 191);                          // past the end: 0.75
  EXPECT_EQ(image->pixel(99, 59).r, 0);
}

TEST_F(RingTest, RingSpinnerLeavesAnEighthOpen) {
  auto spinner = std::make_shared<QBRingSpinnerView>(ui::Rect(0, 0, 40, 20));
  EXPECT_DOUBLE_EQ(spinner->progressLayer().arcRadius, 9.25);
  spinner->setLineWidth(3);
  EXPECT_DOUBLE_EQ(spinner->progressLayer().arcRadius, 8.5);

  spinner->setFrame(ui::Rect(0, 0, 40, 40));
  spinner->setTintColor(ui::Color::red());
  auto image = throughPNG(spinner->progressLayer().render(), "ringspinner");
  ASSERT_NE(image, nullptr);
  const double scale = spinner->progressLayer().contentsScale;
  const double r = spinner->progressLayer().arcRadius;
  const ui::Point c{20, 20};
  EXPECT_EQ(alphaAt(*image, scale, c, r, -3 * kPi / 8), 0);  // the open eighth
  EXPECT_GT(alphaAt(*image, scale, c, r, kPi / 2), 200);
  EXPECT_GT(alphaAt(*image, scale, c, r, kPi), 200);
  const double x = (c.x + r * std::cos(kPi / 2)) * scale, y = (c.y + r * std::sin(kPi / 2)) * scale;
  EXPECT_GT(image->pixel(static_cast<int>(x), static_cast<int>(y)).r, 200);  // in the tint colour
}

TEST_F(RingTest, RingSpinnerStartsOnceAndHidesWhenStopped) {
  QBRingSpinnerView spinner(ui::Rect(0, 0, 20, 20));
  EXPECT_FALSE(spinner.isAnimating());
  spinner.setHidesWhenStopped(true);
  EXPECT_TRUE(spinner.isHidden());
  spinner.startAnimating();
  spinner.startAnimating();
  EXPECT_TRUE(spinner.isAnimating());
  EXPECT_EQ(spinner.progressLayer().animationKeys.size(), 1u);
  EXPECT_FALSE(spinner.isHidden());
  spinner.stopAnimating();
  EXPECT_FALSE(spinner.isAnimating());
  EXPECT_TRUE(spinner.isHidden());
  spinner.setHidesWhenStopped(false);
  EXPECT_FALSE(spinner.isHidden());
  spinner.stopAnimating();  // already stopped: only the hidden state could change
  EXPECT_FALSE(spinner.isHidden());
}

}  // namespace

#include <gtest/gtest.h>

#include "Libraries/AppSupportKit/ImageEffects.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Graphics/ImageContext.h"
#include "Platform/UIKit/Screen.h"

namespace {

class ImageEffectsTest : public ::testing::Test {
 protected:
  // An image of `size` points at the screen's scale, filled with `color`
  // over `opaque` (the rest transparent).
  static ui::ImagePtr block(ui::Size size, cg::Rgba color, ui::Rect opaque) {
    cg::ImageContext context(size, false, ui::Screen::main().scale());
    context.setFillColor(color);
    context.fillRect(opaque);
    return ui::Image::withBitmap(context.makeImage());
  }
  // The pixel under a point.
  static cg::Pixel at(const ui::Image& image, double x, double y) {
    double s = image.scale();
    return image.bitmap()->pixel(static_cast<int>(x * s), static_cast<int>(y * s));
  }
  static int countWhite(const ui::Image& image) {
    int n = 0;
    for (int y = 0; y < image.bitmap()->pixelHeight(); ++y)
      for (int x = 0; x < image.bitmap()->pixelWidth(); ++x) {
        cg::Pixel p = image.bitmap()->pixel(x, y);
        if (p.a > 200 && p.r > 200 && p.g > 200 && p.b > 200) ++n;
      }
    return n;
  }

  ns::testing::TemporaryDevice device_;
  const cg::Pixel red_{255, 0, 0, 255};
  const cg::Pixel clear_{0, 0, 0, 0};
};

TEST_F(ImageEffectsTest, BadgeIsARedCircleOrCapsuleSizedByFactorAndText) {
  struct Case {
    std::optional<std::string> text;
    double factor;
    double width;  // 0: wider than the height
    double height;
    bool drawsText;
  };
  const std::vector<Case> cases = {
      {std::nullopt, 0.5, 12.5, 12.5, false},
      {"7", 0, 25, 25, true},
      {"", 2, 50, 50, false},
      {"12", 1, 0, 25, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.value_or("<none>") + " at " + std::to_string(c.factor));
    auto badge = ImageEffects::badgeImageWithText(c.text, c.factor);
    ASSERT_TRUE(badge);
    // Within the pixel that rounding a half-point size gives.
    const double pixel = 1 / ui::Screen::main().scale();
    EXPECT_NEAR(badge->size().height, c.height, pixel);
    if (c.width > 0) {
      EXPECT_NEAR(badge->size().width, c.width, pixel);
    } else {
      EXPECT_GT(badge->size().width, c.height + 2);
    }
    EXPECT_DOUBLE_EQ(badge->scale(), ui::Screen::main().scale());
    // Round: the corners stay clear, the left middle is red.
    EXPECT_EQ(at(*badge, 0.5, 0.5), clear_);
    EXPECT_EQ(at(*badge, badge->size().width - 0.5, badge->size().height - 0.5), clear_);
    EXPECT_EQ(at(*badge, 2 * c.height / 25, badge->size().height / 2), red_);
    EXPECT_EQ(countWhite(*badge) > 0, c.drawsText);
  }
}

TEST_F(ImageEffectsTest, OverlayGrowsTheCanvasForNegativeOriginsAndKeepsZeroSizes) {
  auto base = block({20, 20}, {1, 0, 0, 1}, {{0, 0}, {20, 20}});
  auto over = block({10, 10}, {0, 0, 1, 1}, {{0, 0}, {10, 10}});
  const cg::Pixel blue{0, 0, 255, 255};

  // Up and to the left: the receiver moves to (10, 5), the overlay sits at the origin.
  auto left = ImageEffects::imageOverlaidWithImage(*base, *over, {{-10, -5}, {10, 10}});
  ASSERT_TRUE(left);
  EXPECT_DOUBLE_EQ(left->size().width, 30);
  EXPECT_DOUBLE_EQ(left->size().height, 25);
  EXPECT_EQ(at(*left, 5, 2), blue);
  EXPECT_EQ(at(*left, 12, 12), red_);
  EXPECT_EQ(at(*left, 2, 20), clear_);
  EXPECT_EQ(at(*left, 28, 2), clear_);

  // The settings badge's place: (14, -7) with no size takes the overlay's own.
  auto badge = ImageEffects::imageOverlaidWithImage(*base, *over, {{14, -7}, {0, 0}});
  ASSERT_TRUE(badge);
  EXPECT_DOUBLE_EQ(badge->size().width, 24);
  EXPECT_DOUBLE_EQ(badge->size().height, 27);
  EXPECT_EQ(at(*badge, 18, 2), blue);
  EXPECT_EQ(at(*badge, 2, 10), red_);
  EXPECT_EQ(at(*badge, 2, 2), clear_);
  EXPECT_EQ(at(*badge, 22, 25), clear_);
}

TEST_F(ImageEffectsTest, TintFillsOnlyTheOpaqueShapeAndNullMeansWhite) {
  // Opaque on the left half only.
  auto shape = block({20, 10}, {0.2, 0.3, 0.4, 1}, {{0, 0}, {10, 10}});
  auto green = ImageEffects::imageTintedWithColor(*shape, ui::Color::withRGBA(0, 1, 0, 1));
  ASSERT_TRUE(green);
  EXPECT_EQ(green->size().width, 20);
  EXPECT_EQ(at(*green, 5, 5), (cg::Pixel{0, 255, 0, 255}));
  EXPECT_EQ(at(*green, 15, 5), clear_);

  auto white = ImageEffects::imageTintedWithColor(*shape, nullptr);
  ASSERT_TRUE(white);
  EXPECT_EQ(at(*white, 5, 5), (cg::Pixel{255, 255, 255, 255}));
  EXPECT_EQ(at(*white, 15, 5), clear_);
}

}  // namespace

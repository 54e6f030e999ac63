#include <gtest/gtest.h>

#include "Libraries/AppSupportKit/ImageEffects.h"
#include "Libraries/CrashReporter/testing/DodevadarudCallRecorder.h"
#include "Platform/Foundation/Bundle.h"
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

TEST_F(ImageEffectsTest, KernelSizesAreOddAndScaledToPixels) {
  EXPECT_EQ(ImageEffects::frostedGlassKernelSize(20, 2), 75u);
  EXPECT_EQ(ImageEffects::frostedGlassKernelSize(20, 3), 113u);
  EXPECT_EQ(ImageEffects::boxBlurKernelSize(2, 2), 5u);
  EXPECT_EQ(ImageEffects::boxBlurKernelSize(1.5, 2), 3u);
}

TEST_F(ImageEffectsTest, FrostedGlassAnswersNullWithOneReportPerBadInput) {
  auto& reporter = dvcr_testing::DodevadarudCallRecorder::shared();
  auto thin = ui::Image::withBitmap(cg::Image::filled(1, 20, {1, 0, 0, 1}, 2));  // 0.5 × 10 points
  auto good = block({10, 10}, {1, 0, 0, 1}, {{0, 0}, {10, 10}});
  auto empty = std::make_shared<ui::Image>(nullptr);
  struct Case {
    ui::ImagePtr image, mask;
    std::string message;
  };
  for (const auto& c : std::vector<Case>{
           {thin, nullptr, "*** error: invalid size: (0.50 x 10.00). Both dimensions must be >= 1: "},
           {good, empty, "*** error: maskImage must be backed by a CGImage: "}}) {
    SCOPED_TRACE(c.message);
    reporter.clearRecords();
    EXPECT_FALSE(ImageEffects::applyBlurWithRadius(*c.image, 5, nullptr, 1.8, c.mask));
    ASSERT_EQ(reporter.recordedErrors().size(), 1u);
    EXPECT_EQ(reporter.recordedErrors()[0].localizedDescription().rfind(c.message, 0), 0u);
  }
}

TEST_F(ImageEffectsTest, FrostedGlassWithoutBlurIsTheReceiverUnderTheTint) {
  auto image = block({10, 10}, {1, 0, 0, 1}, {{0, 0}, {5, 10}});
  auto result = ImageEffects::applyBlurWithRadius(*image, 0, ui::Color::withRGBA(0, 0, 1, 0.5), 1, nullptr);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->size().width, 10);
  EXPECT_EQ(at(*result, 2, 5), (cg::Pixel{127, 0, 128, 255}));
  EXPECT_EQ(at(*result, 8, 5), (cg::Pixel{0, 0, 255, 128}));
}

TEST_F(ImageEffectsTest, FrostedGlassBlursEdgesSaturatesAndKeepsToTheMask) {
  // Left half black, right half white, opaque: the blur greys the border
  // and leaves the far sides alone.
  cg::ImageContext context({60, 20}, true, ui::Screen::main().scale());
  context.setFillColor(cg::Rgba::white());
  context.fillRect({{30, 0}, {30, 20}});
  auto halves = ui::Image::withBitmap(context.makeImage());
  auto blurred = ImageEffects::applyBlurWithRadius(*halves, 2, nullptr, 1, nullptr);
  ASSERT_TRUE(blurred);
  EXPECT_EQ(at(*blurred, 2, 10), (cg::Pixel{0, 0, 0, 255}));
  EXPECT_EQ(at(*blurred, 58, 10), (cg::Pixel{255, 255, 255, 255}));
  cg::Pixel border = at(*blurred, 30, 10);
  EXPECT_GT(border.r, 60);
  EXPECT_LT(border.r, 200);

  // A kernel of one pixel leaves the pixels; saturation 0 turns red into its luma grey.
  auto red = block({10, 10}, {1, 0, 0, 1}, {{0, 0}, {10, 10}});
  auto grey = ImageEffects::applyBlurWithRadius(*red, 0.1, nullptr, 0, nullptr);
  ASSERT_TRUE(grey);
  EXPECT_EQ(at(*grey, 5, 5), (cg::Pixel{54, 54, 54, 255}));

  // Masked to the left half: the right half stays red.
  auto mask = block({10, 10}, {0, 0, 0, 1}, {{0, 0}, {5, 10}});
  auto masked = ImageEffects::applyBlurWithRadius(*red, 0.1, nullptr, 0, mask);
  ASSERT_TRUE(masked);
  EXPECT_EQ(at(*masked, 2, 5), (cg::Pixel{54, 54, 54, 255}));
  EXPECT_EQ(at(*masked, 8, 5), red_);
}

TEST_F(ImageEffectsTest, RepeatedBoxBlurSpreadsAPixelAndKeepsScaleAndOrientation) {
  std::vector<uint32_t> pixels(25, 0);
  pixels[12] = 0xFFFFFFFF;  // a white dot in the middle of 5 × 5
  auto dot = ui::Image::withBitmap(
      std::make_shared<cg::Image>(5, 5, pixels, 2, cg::ImageOrientation::Right));
  auto once = ImageEffects::blurredImageWithRadius(dot, 1.5, 1, nullptr);  // kernel 3
  ASSERT_TRUE(once);
  EXPECT_EQ(once->scale(), 2);
  EXPECT_EQ(once->orientation(), cg::ImageOrientation::Right);
  const auto& bitmap = *once->bitmap();
  EXPECT_EQ(bitmap.premultipliedPixels()[12], 0x1C1C1C1Cu);  // 255 / 9 rounded
  EXPECT_EQ(bitmap.premultipliedPixels()[6], 0x1C1C1C1Cu);
  EXPECT_EQ(bitmap.premultipliedPixels()[0], 0u);

  EXPECT_EQ(ImageEffects::blurredImageWithRadius(dot, 1.5, 0, nullptr)->bitmap()->premultipliedPixels(), pixels);
  auto tiny = ui::Image::withBitmap(cg::Image::filled(1, 1, {1, 1, 1, 1}, 2));  // 0.5 × 0.5 points
  EXPECT_EQ(ImageEffects::blurredImageWithRadius(tiny, 2, 3, nullptr), tiny);

  // A tint lightens every pixel by a quarter of itself.
  auto tinted = ImageEffects::blurredImageWithRadius(dot, 1.5, 1, ui::Color::withRGBA(1, 0, 0, 1));
  cg::Pixel corner = tinted->bitmap()->pixel(0, 0);
  EXPECT_EQ(corner.a, 64);
  EXPECT_EQ(corner.r, 255);
  EXPECT_EQ(corner.g, 0);
}

TEST_F(ImageEffectsTest, CircleMaskUnrotatedAndResizedImages) {
  auto circle = ImageEffects::imageWithCircleSize({20, 20}, ui::Color::red());
  ASSERT_TRUE(circle);
  EXPECT_EQ(circle->size().width, 20);
  EXPECT_EQ(at(*circle, 10, 10), red_);
  EXPECT_EQ(at(*circle, 1, 1), clear_);

  // Black shows the receiver, white hides it.
  auto red = block({10, 10}, {1, 0, 0, 1}, {{0, 0}, {10, 10}});
  auto mask = ui::Image::withBitmap(cg::Image::filled(2, 1, {1, 1, 1, 1}, 1));
  {
    cg::ImageContext left({2, 1}, true, 1);
    left.setFillColor(cg::Rgba::white());
    left.fillRect({{1, 0}, {1, 1}});
    mask = ui::Image::withBitmap(left.makeImage());
  }
  auto masked = ImageEffects::imageWithMask(*red, *mask);
  ASSERT_TRUE(masked);
  EXPECT_EQ(masked->scale(), 1);
  EXPECT_EQ(masked->size().width, red->bitmap()->pixelWidth());
  EXPECT_EQ(masked->bitmap()->pixel(2, 5), red_);
  EXPECT_EQ(masked->bitmap()->pixel(masked->bitmap()->pixelWidth() - 2, 5), clear_);

  // Two pixels side by side, red then blue, shown turned clockwise: upright
  // they stand red over blue... in the turn's order, at scale 1.
  std::vector<uint32_t> pair = {0xFFFF0000, 0xFF0000FF};
  auto turned = ui::Image::withBitmap(std::make_shared<cg::Image>(2, 1, pair, 1, cg::ImageOrientation::Right));
  EXPECT_EQ(ImageEffects::imageUnrotated(red), red);
  auto upright = ImageEffects::imageUnrotated(turned);
  ASSERT_TRUE(upright);
  EXPECT_EQ(upright->orientation(), cg::ImageOrientation::Up);
  EXPECT_EQ(upright->bitmap()->pixelWidth(), 1);
  EXPECT_EQ(upright->bitmap()->pixelHeight(), 2);
  EXPECT_EQ(upright->bitmap()->pixel(0, 0), turned->bitmap()->normalized()->pixel(0, 0));
  EXPECT_EQ(upright->bitmap()->pixel(0, 1), turned->bitmap()->normalized()->pixel(0, 1));

  // Resizing keeps scale and orientation; a turned image draws the size swapped.
  auto half = ImageEffects::imageResizedToSize(*red, {5, 4});
  ASSERT_TRUE(half);
  EXPECT_EQ(half->size().width, 5);
  EXPECT_EQ(half->size().height, 4);
  EXPECT_EQ(half->scale(), red->scale());
  EXPECT_EQ(at(*half, 2, 2), red_);
  auto resizedTurned = ImageEffects::imageResizedToSize(*turned, {3, 6});
  ASSERT_TRUE(resizedTurned);
  EXPECT_EQ(resizedTurned->orientation(), cg::ImageOrientation::Right);
  EXPECT_EQ(resizedTurned->size().width, 3);
  EXPECT_EQ(resizedTurned->size().height, 6);
  EXPECT_EQ(resizedTurned->bitmap()->pixel(0, 0), (cg::Pixel{255, 0, 0, 255}));
  EXPECT_EQ(resizedTurned->bitmap()->pixel(5, 0), (cg::Pixel{0, 0, 255, 255}));
}

TEST_F(ImageEffectsTest, ButtonBackgroundIsTheKitsTintedImageWithCapsOfSix) {
  const char* source = std::getenv("QUILLBOX_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  // A main bundle holding the kit's resource bundle.
  ns::Bundle::setMainBundlePath(std::string(source) + "/Libraries/AppSupportKit/Resources");
  auto button = ImageEffects::stretchableImageForButtonBackgroundWithColor(ui::Color::withRGBA(0, 1, 0, 1));
  ns::Bundle::setMainBundlePath({});
  ASSERT_TRUE(button);
  EXPECT_EQ(button->capInsets(), (ui::EdgeInsets{6, 6, 6, 6}));
  EXPECT_EQ(button->size().width, 13);
  EXPECT_EQ(at(*button, 6.5, 6.5), (cg::Pixel{0, 255, 0, 255}));
  EXPECT_EQ(at(*button, 0.2, 0.2), clear_);
}

}  // namespace

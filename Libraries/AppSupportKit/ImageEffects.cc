#include "Libraries/AppSupportKit/ImageEffects.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/ErrorReport/ErrorReport.h"

#include "Platform/Foundation/StringUtf16.h"
#include "Platform/Graphics/ImageContext.h"
#include "Platform/Graphics/Path.h"
#include "Platform/Graphics/PixelFilters.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/TextDrawing.h"

namespace ImageEffects {

namespace {

constexpr const char* kBadgeFont = "HelveticaNeue-Light";

// The badge's light face, else the plain system font where it is missing.
std::shared_ptr<const ui::Font> badgeFont(double size) {
  if (auto font = ui::Font::withName(kBadgeFont, size)) return font;
  return ui::Font::systemFont(size);
}

ui::ImagePtr finish(const cg::ImageContext& context) { return ui::Image::withBitmap(context.makeImage()); }

// A capsule: half circles of radius height/2 joined by straight sides.
cg::Path capsule(const cg::Rect& r) {
  double radius = r.size.height / 2;
  cg::Path path;
  path.addArc({r.origin.x + r.size.width - radius, r.origin.y + radius}, radius, 3 * M_PI / 2, 0, false);
  path.addArc({r.origin.x + r.size.width - radius, r.origin.y + r.size.height - radius}, radius, 0, M_PI / 2, false);
  path.addArc({r.origin.x + radius, r.origin.y + r.size.height - radius}, radius, M_PI / 2, M_PI, false);
  path.addArc({r.origin.x + radius, r.origin.y + radius}, radius, M_PI, 3 * M_PI / 2, false);
  path.close();
  return path;
}

// Below this a radius or a saturation change counts as none.
constexpr double kEpsilon = std::numeric_limits<float>::epsilon();

std::string format(const char* pattern, double a, double b, const std::string& text) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, pattern, a, b);
  return buffer + text;
}

// The saturation matrix on blue, green, red, alpha bytes (the rows weigh
// each input channel by its luma), scaled by 256 and rounded in single
// precision with halves away from zero.
void saturationMatrix(double s, int16_t out[16]) {
  const double m[16] = {0.0722 + 0.9278 * s, 0.0722 - 0.0722 * s, 0.0722 - 0.0722 * s, 0,
                        0.7152 - 0.7152 * s, 0.7152 + 0.2848 * s, 0.7152 - 0.7152 * s, 0,
                        0.2126 - 0.2126 * s, 0.2126 - 0.2126 * s, 0.2126 + 0.7873 * s, 0,
                        0,                   0,                   0,                   1};
  for (int i = 0; i < 16; ++i) out[i] = static_cast<int16_t>(std::lround(static_cast<float>(m[i] * 256)));
}

const uint8_t* bytes(const std::vector<uint32_t>& pixels) { return reinterpret_cast<const uint8_t*>(pixels.data()); }
uint8_t* bytes(std::vector<uint32_t>& pixels) { return reinterpret_cast<uint8_t*>(pixels.data()); }

// The blurred and saturated pixels of `image` drawn at `scale`.
std::shared_ptr<const cg::Image> effectBitmap(const ui::Image& image, double scale, bool blur, unsigned kernel,
                                              bool saturate, double saturation) {
  ui::Size size = image.size();
  cg::ImageContext context(size, false, scale);
  context.drawImage(*image.bitmap(), {{0, 0}, size});
  auto drawn = context.makeImage();
  if (!drawn) return nullptr;
  const int w = drawn->pixelWidth(), h = drawn->pixelHeight();
  const size_t rowBytes = static_cast<size_t>(w) * 4;
  std::vector<uint32_t> a = drawn->premultipliedPixels(), b(a.size());
  if (blur) {
    std::vector<uint8_t> scratch(cg::boxConvolveScratchSize(w, h));
    cg::boxConvolveEdgeExtend(bytes(a), rowBytes, bytes(b), rowBytes, w, h, kernel, scratch.data());
    cg::boxConvolveEdgeExtend(bytes(b), rowBytes, bytes(a), rowBytes, w, h, kernel, scratch.data());
    cg::boxConvolveEdgeExtend(bytes(a), rowBytes, bytes(b), rowBytes, w, h, kernel, scratch.data());
  }
  if (saturate) {
    int16_t matrix[16];
    saturationMatrix(saturation, matrix);
    if (blur) {
      cg::matrixMultiplyDivide256(bytes(b), rowBytes, bytes(a), rowBytes, w, h, matrix);
    } else {
      cg::matrixMultiplyDivide256(bytes(a), rowBytes, bytes(b), rowBytes, w, h, matrix);
    }
  }
  return std::make_shared<cg::Image>(w, h, blur && saturate ? std::move(a) : std::move(b), scale);
}

}  // namespace

unsigned frostedGlassKernelSize(double radius, double scale) {
  double r = radius * scale;
  auto k = static_cast<unsigned>(std::floor(r * 3 * 2.5066282746310002 / 4 + 0.5));
  return k | 1;
}

unsigned boxBlurKernelSize(double radius, double scale) { return static_cast<uint32_t>(radius * scale) | 1; }

ui::ImagePtr applyBlurWithRadius(const ui::Image& image, double radius, const std::shared_ptr<const ui::Color>& tint,
                                 double saturation, const ui::ImagePtr& mask) {
  ui::Size size = image.size();
  if (size.width < 1 || size.height < 1) {
    QB_REPORT(format("*** error: invalid size: (%.2f x %.2f). Both dimensions must be >= 1: ", size.width,
                     size.height, image.description()));
    return nullptr;
  }
  if (!image.bitmap()) {
    QB_REPORT("*** error: image must be backed by a CGImage: " + image.description());
    return nullptr;
  }
  if (mask && !mask->bitmap()) {
    QB_REPORT("*** error: maskImage must be backed by a CGImage: " + mask->description());
    return nullptr;
  }
  const double scale = ui::Screen::main().scale();
  const bool blur = radius > kEpsilon;
  const bool saturate = std::fabs(saturation - 1) > kEpsilon;
  const ui::Rect rect{{0, 0}, size};

  cg::ImageContext context(size, false, scale);
  image.draw(context, rect);
  if (blur) {
    auto effect = effectBitmap(image, scale, blur, frostedGlassKernelSize(radius, scale), saturate, saturation);
    if (effect && mask) {
      // Outside the mask the unblurred receiver shows.
      cg::ImageContext masked(size, false, scale);
      masked.drawImage(*effect, rect);
      masked.setBlendMode(cg::BlendMode::DestinationIn);
      masked.drawImage(*mask->bitmap(), rect);
      effect = masked.makeImage();
    }
    if (effect) context.drawImage(*effect, rect);
  }
  if (tint) {
    context.setFillColor(ui::rgba(*tint));
    context.fillRect(rect);
  }
  return finish(context);
}

ui::ImagePtr applySubtleEffect(const ui::Image& image) {
  return applyBlurWithRadius(image, 5, ui::Color::withWhite(1.0, 0.3), 1.8, nullptr);
}

ui::ImagePtr applyLightEffect(const ui::Image& image) {
  return applyBlurWithRadius(image, 30, ui::Color::withWhite(1.0, 0.3), 1.8, nullptr);
}

ui::ImagePtr applyExtraLightEffect(const ui::Image& image) {
  return applyBlurWithRadius(image, 20, ui::Color::withWhite(0.97, 0.82), 1.8, nullptr);
}

ui::ImagePtr applyDarkEffect(const ui::Image& image) {
  return applyBlurWithRadius(image, 20, ui::Color::withWhite(0.11, 0.73), 1.8, nullptr);
}

ui::ImagePtr applyTintEffectWithColor(const ui::Image& image, const std::shared_ptr<const ui::Color>& color) {
  auto tint = color ? color->withAlphaComponent(0.6) : nullptr;
  return applyBlurWithRadius(image, 10, tint, -1.0, nullptr);
}

ui::ImagePtr blurredImageWithRadius(const ui::ImagePtr& image, double radius, unsigned iterations,
                                    const std::shared_ptr<const ui::Color>& tint) {
  if (!image || !image->bitmap()) return image;
  ui::Size size = image->size();
  if (std::floor(static_cast<float>(size.width)) * std::floor(static_cast<float>(size.height)) <= 0) return image;
  const auto& bitmap = *image->bitmap();
  // Every platform bitmap holds 8-bit premultiplied channels, four to a
  // pixel, so the copy is already in the form the convolution reads.
  const int w = bitmap.pixelWidth(), h = bitmap.pixelHeight();
  const size_t rowBytes = static_cast<size_t>(w) * 4;
  const unsigned kernel = boxBlurKernelSize(radius, image->scale());
  std::vector<uint32_t> first = bitmap.premultipliedPixels(), second(first.size());
  std::vector<uint8_t> scratch(cg::boxConvolveScratchSize(w, h));
  for (unsigned i = 0; i < iterations; ++i) {
    cg::boxConvolveEdgeExtend(bytes(first), rowBytes, bytes(second), rowBytes, w, h, kernel, scratch.data());
    first.swap(second);
  }
  std::shared_ptr<const cg::Image> blurred = std::make_shared<cg::Image>(w, h, std::move(first), 1);
  if (tint && tint->alpha() > 0) {
    cg::ImageContext context({static_cast<double>(w), static_cast<double>(h)}, false, 1);
    context.drawImage(*blurred, {{0, 0}, {static_cast<double>(w), static_cast<double>(h)}});
    context.setBlendMode(cg::BlendMode::PlusLighter);
    context.setFillColor(ui::rgba(*tint->withAlphaComponent(0.25)));
    context.fillRect({{0, 0}, {static_cast<double>(w), static_cast<double>(h)}});
    blurred = context.makeImage();
  }
  return ui::Image::withBitmap(blurred->withScale(image->scale())->withOrientation(image->orientation()));
}

ui::ImagePtr imageWithCircleSize(ui::Size size, const std::shared_ptr<const ui::Color>& color) {
  cg::ImageContext context(size, false, ui::Screen::main().scale());
  context.setFillColor(ui::rgba(color ? *color : *ui::Color::clear()));
  context.fillPath(capsule({{0, 0}, size}));
  return finish(context);
}

ui::ImagePtr badgeImageWithText(const std::optional<std::string>& text, double scaleFactor) {
  double f = scaleFactor == 0 ? 1.0 : scaleFactor;
  std::string shown = text.value_or("");
  size_t characters = ns::utf16Length(shown);
  ui::Size size{25 * f, 25 * f};
  if (characters >= 2) {
    double width = 0;
    if (auto font = badgeFont(12)) width = ui::sizeOfText(shown, *font).width;
    size.width = f * (width + static_cast<double>(characters) + 25);
  }
  cg::ImageContext context(size, false, ui::Screen::main().scale());
  context.setFillColor(ui::rgba(*ui::Color::red()));
  context.fillPath(capsule({{0, 0}, size}));
  if (!shown.empty()) {
    // The single-character factor is taken in single precision, as the kit does.
    double fontSize = characters == 1 ? 13.5 * f * static_cast<double>(1.2f) : 13.5 * f;
    if (auto font = badgeFont(fontSize)) {
      cg::TextLayout layout({{shown, ui::textStyle(*font, ui::Color::white().get())}}, 0);
      cg::Size textSize = layout.size();
      context.drawText(layout, {size.width / 2 - textSize.width / 2, size.height / 2 - textSize.height / 2 - 1});
    }
  }
  return finish(context);
}

ui::ImagePtr imageOverlaidWithImage(const ui::Image& image, const ui::Image& overlay, ui::Rect rect) {
  if (rect.size.width == 0 || rect.size.height == 0) {
    if (rect.size.width == 0) rect.size.width = overlay.size().width;
    if (rect.size.height == 0) rect.size.height = overlay.size().height;
  }
  ui::Size own = image.size();
  double minX = std::min(0.0, rect.origin.x), minY = std::min(0.0, rect.origin.y);
  double maxX = std::max(own.width, rect.origin.x + rect.size.width);
  double maxY = std::max(own.height, rect.origin.y + rect.size.height);
  cg::ImageContext context({maxX - minX, maxY - minY}, false, ui::Screen::main().scale());
  image.draw(context, {{-minX, -minY}, own});
  overlay.draw(context, {{std::max(rect.origin.x, 0.0), std::max(rect.origin.y, 0.0)}, rect.size});
  return finish(context);
}

ui::ImagePtr imageTintedWithColor(const ui::Image& image, const std::shared_ptr<const ui::Color>& color) {
  ui::Size size = image.size();
  cg::ImageContext context(size, false, ui::Screen::main().scale());
  context.setFillColor(ui::rgba(color ? *color : *ui::Color::white()));
  context.fillRect({{0, 0}, size});
  context.setBlendMode(cg::BlendMode::DestinationIn);
  context.setAlpha(1);
  image.draw(context, {{0, 0}, size});
  return finish(context);
}

ui::ImagePtr stretchableImageForButtonBackgroundWithColor(const std::shared_ptr<const ui::Color>& color) {
  auto button = TXKit::imageNamed("Button");
  if (!button) return nullptr;
  auto tinted = imageTintedWithColor(*button, color);
  return tinted->resizableWithCapInsets({6, 6, 6, 6});
}

ui::ImagePtr imageWithMask(const ui::Image& image, const ui::Image& mask) {
  const auto& bitmap = image.bitmap();
  if (!bitmap || !mask.bitmap()) return nullptr;
  const int w = bitmap->pixelWidth(), h = bitmap->pixelHeight();
  const cg::Rect pixels{{0, 0}, {static_cast<double>(w), static_cast<double>(h)}};
  // The mask's stored pixels stretched over the receiver's, over white.
  cg::ImageContext coverage(pixels.size, true, 1);
  coverage.setFillColor(cg::Rgba::white());
  coverage.fillRect(pixels);
  coverage.drawImage(*mask.bitmap()->withOrientation(cg::ImageOrientation::Up), pixels);
  auto shade = coverage.makeImage();
  std::vector<uint32_t> out = bitmap->premultipliedPixels();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      cg::Pixel p = shade->pixel(x, y);
      // Dark shows: the pixel is kept by one minus the mask's grey.
      const unsigned keep = 255 - (p.r * 54u + p.g * 183u + p.b * 19u + 128) / 256;
      uint32_t& word = out[static_cast<size_t>(y) * w + x];
      uint32_t scaled = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        unsigned channel = (word >> shift) & 0xFF;
        scaled |= ((channel * keep + 127) / 255) << shift;
      }
      word = scaled;
    }
  return ui::Image::withBitmap(std::make_shared<cg::Image>(w, h, std::move(out), 1));
}

ui::ImagePtr imageUnrotated(const ui::ImagePtr& image) {
  if (!image || !image->bitmap()) return image;
  auto orientation = image->orientation();
  if (orientation == cg::ImageOrientation::Up || orientation == cg::ImageOrientation::UpMirrored) return image;
  ui::Size size = image->size();
  cg::ImageContext context(size, false, 1.0);
  context.drawImage(*image->bitmap(), {{0, 0}, size});
  return finish(context);
}

ui::ImagePtr imageResizedToSize(const ui::Image& image, ui::Size size) {
  if (!image.bitmap()) return nullptr;
  auto upright = image.bitmap()->withOrientation(cg::ImageOrientation::Up);
  switch (image.orientation()) {
    case cg::ImageOrientation::Left:
    case cg::ImageOrientation::Right:
    case cg::ImageOrientation::LeftMirrored:
    case cg::ImageOrientation::RightMirrored:
      std::swap(size.width, size.height);
      break;
    default:
      break;
  }
  cg::ImageContext context(size, false, image.scale());
  context.drawImage(*upright, {{0, 0}, size});
  auto drawn = context.makeImage();
  if (!drawn) return nullptr;
  return ui::Image::withBitmap(drawn->withOrientation(image.orientation()));
}

}  // namespace ImageEffects

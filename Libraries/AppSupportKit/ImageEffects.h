// Image effects of the kit: the frosted glass (blur, saturation, tint and an
// optional mask) with its presets, a repeated box blur, and small drawing
// utilities (capsules, badges, tinting, masking, un-rotating, overlaying,
// resizing). Each is pure: it answers a new image (or the receiver).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Geometry.h"
#include "Platform/UIKit/Image.h"

namespace ImageEffects {

// The frosted glass: the receiver blurred by `radius` points (three box
// passes approximating a Gaussian), its saturation scaled by `saturation`,
// drawn over the receiver (only where `mask` is opaque, when given), then
// `tint` over all. Null, with one error report, for a receiver under 1 × 1
// point or without pixels, or a mask without pixels.
ui::ImagePtr applyBlurWithRadius(const ui::Image& image, double radius, const std::shared_ptr<const ui::Color>& tint,
                                 double saturation, const ui::ImagePtr& mask);
ui::ImagePtr applySubtleEffect(const ui::Image& image);
ui::ImagePtr applyLightEffect(const ui::Image& image);
ui::ImagePtr applyExtraLightEffect(const ui::Image& image);
ui::ImagePtr applyDarkEffect(const ui::Image& image);
// Radius 10, the colour at alpha 0.6, the colours turned to greys.
ui::ImagePtr applyTintEffectWithColor(const ui::Image& image, const std::shared_ptr<const ui::Color>& color);
// The odd box size, in pixels, of the frosted glass for a radius in points.
unsigned frostedGlassKernelSize(double radius, double scale);
// The frosted glass's saturation matrix on blue, green, red and alpha bytes
// (cg::matrixMultiplyDivide256's form: 256 stands for 1).
void frostedGlassSaturationMatrix(double saturation, int16_t matrix[16]);

// The receiver box-blurred `iterations` times with a square of `radius`
// points at its own scale, then lightened by the tint at alpha 0.25 when
// the tint is not transparent. The receiver itself when it is under one
// point wide or high.
ui::ImagePtr blurredImageWithRadius(const ui::ImagePtr& image, double radius, unsigned iterations,
                                    const std::shared_ptr<const ui::Color>& tint);
// The odd box size, in pixels, of the repeated blur.
unsigned boxBlurKernelSize(double radius, double scale);

// A capsule of the size filled with the colour (a circle for a square).
ui::ImagePtr imageWithCircleSize(ui::Size size, const std::shared_ptr<const ui::Color>& color);

// A red capsule of height 25 f (f = scaleFactor, 0 counting as 1): a
// 25 f circle for no text or one character, wider for longer texts, with
// the text centred in white.
ui::ImagePtr badgeImageWithText(const std::optional<std::string>& text, double scaleFactor);

// `overlay` drawn over `image` at `rect`'s origin in `rect`'s size (a zero
// width or height takes the overlay's); the canvas grows to hold both, so
// a negative origin moves the receiver right or down.
ui::ImagePtr imageOverlaidWithImage(const ui::Image& image, const ui::Image& overlay, ui::Rect rect);

// The kit's rounded "Button" image tinted with the colour, resizable with
// caps of 6 on every side; null when the kit's resources lack it.
ui::ImagePtr stretchableImageForButtonBackgroundWithColor(const std::shared_ptr<const ui::Color>& color);

// The colour (null: white) wherever `image` is opaque, in its size.
ui::ImagePtr imageTintedWithColor(const ui::Image& image, const std::shared_ptr<const ui::Color>& color);

// The receiver's pixels seen through `mask` stretched over them: dark mask
// pixels show the receiver, light ones hide it (a transparent mask pixel
// counts as white). Scale 1, upright.
ui::ImagePtr imageWithMask(const ui::Image& image, const ui::Image& mask);

// The receiver when it stands upright (up or up-mirrored); otherwise its
// pixels turned as displayed, at scale 1.
ui::ImagePtr imageUnrotated(const ui::ImagePtr& image);

// The receiver's pixels stretched to `size` (width and height exchanged for
// the turned orientations) at its scale, keeping its orientation.
ui::ImagePtr imageResizedToSize(const ui::Image& image, ui::Size size);

}  // namespace ImageEffects

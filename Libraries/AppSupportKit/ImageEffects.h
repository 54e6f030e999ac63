// Image effects of the kit: a round red badge, one image drawn over
// another, and an image's shape filled with a colour. Each answers a new
// image at the screen's scale, not opaque, drawn through cairo.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Geometry.h"
#include "Platform/UIKit/Image.h"

namespace ImageEffects {

// A red capsule of height 25 f (f = scaleFactor, 0 counting as 1): a
// 25 f circle for no text or one character, wider for longer texts, with
// the text centred in white.
ui::ImagePtr badgeImageWithText(const std::optional<std::string>& text, double scaleFactor);

// `overlay` drawn over `image` at `rect`'s origin in `rect`'s size (a zero
// width or height takes the overlay's); the canvas grows to hold both, so
// a negative origin moves the receiver right or down.
ui::ImagePtr imageOverlaidWithImage(const ui::Image& image, const ui::Image& overlay, ui::Rect rect);

// The colour (null: white) wherever `image` is opaque, in its size.
ui::ImagePtr imageTintedWithColor(const ui::Image& image, const std::shared_ptr<const ui::Color>& color);

}  // namespace ImageEffects

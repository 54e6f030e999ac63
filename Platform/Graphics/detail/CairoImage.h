// Between cg::Image and cairo: surfaces made from images, images taken from
// surfaces, and painting an image into a rectangle as it is displayed.
#pragma once

#include <cairo.h>

#include <memory>

#include "Platform/Graphics/Image.h"

namespace cg::detail {

// A new ARGB32 surface holding a copy of the image's stored pixels.
cairo_surface_t* createSurface(const Image& image);
// The pixels of an image surface (RGB24 read as opaque).
std::shared_ptr<const Image> imageFromSurface(cairo_surface_t* surface, double scale);
// Paints `image`, turned as its orientation says, to fill `rect` in user
// space, with the current operator and `alpha`.
void paintImage(cairo_t* cr, const Image& image, const Rect& rect, double alpha);

}  // namespace cg::detail

// A bitmap image: its pixels, its scale (pixels per point) and its
// orientation, which says how the stored pixels are turned for display.
// Immutable and shared. Pixels are kept as 32-bit premultiplied ARGB in
// native byte order (what cairo draws); pixel() reads them back straight.
// PNG is read and written through cairo: PNG data carries the stored pixels,
// neither scale nor orientation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"
#include "Platform/Graphics/Geometry.h"
#include "Platform/Graphics/Rgba.h"

namespace cg {

enum class ImageOrientation {
  Up = 0,
  Down = 1,           // turned 180 degrees
  Left = 2,           // turned 90 degrees counter-clockwise
  Right = 3,          // turned 90 degrees clockwise
  UpMirrored = 4,
  DownMirrored = 5,
  LeftMirrored = 6,
  RightMirrored = 7,
};

// The error domain of image decoding and encoding.
inline constexpr const char* kImageErrorDomain = "QBGraphicsImageErrorDomain";

class Image {
 public:
  // `pixels` holds width*height premultiplied ARGB words, row by row.
  Image(int pixelWidth, int pixelHeight, std::vector<uint32_t> pixels, double scale = 1,
        ImageOrientation orientation = ImageOrientation::Up);

  // Decodes PNG data; null (and *error) when it is not a PNG.
  static std::shared_ptr<const Image> fromPNG(const ns::Data& png, double scale = 1,
                                              ns::Error* error = nullptr);
  static std::shared_ptr<const Image> fromFile(const std::string& path, double scale = 1,
                                               ns::Error* error = nullptr);
  // Every pixel the colour.
  static std::shared_ptr<const Image> filled(int pixelWidth, int pixelHeight, Rgba color,
                                             double scale = 1);
  // An image mask made from a bitmap of greys: dark shows, light hides. Each
  // pixel's alpha is 255 minus its luma (Rec. 709 weights 54, 183 and 19 of
  // 256, rounded), a transparent pixel counting as white; the colour is
  // black. Same size, scale and orientation. ImageContext::clipToMask takes it.
  static std::shared_ptr<const Image> imageMask(const Image& greys);

  int pixelWidth() const { return width_; }
  int pixelHeight() const { return height_; }
  double scale() const { return scale_; }
  ImageOrientation orientation() const { return orientation_; }
  // Size in points as displayed: pixels / scale, width and height swapped
  // for the turned orientations.
  Size size() const;

  // The stored pixel at (x, y), straight alpha; transparent outside.
  Pixel pixel(int x, int y) const;
  const std::vector<uint32_t>& premultipliedPixels() const { return pixels_; }

  // The same pixels with another scale or orientation.
  std::shared_ptr<const Image> withScale(double scale) const;
  std::shared_ptr<const Image> withOrientation(ImageOrientation orientation) const;
  // The pixels turned as displayed, orientation Up.
  std::shared_ptr<const Image> normalized() const;

  // PNG of the stored pixels (empty and *error on failure).
  ns::Data pngData(ns::Error* error = nullptr) const;

  // Whether every pixel has full alpha.
  bool isOpaque() const;

 private:
  int width_;
  int height_;
  std::vector<uint32_t> pixels_;
  double scale_;
  ImageOrientation orientation_;
};

}  // namespace cg

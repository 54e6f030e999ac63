// For tests that look at pictures: the pixel at a point, the dark pixels
// of a rectangle, and comparison with a reference PNG kept beside the tests, pixel by pixel within a tolerance per colour
// channel. When they differ, the expected picture, the actual one and
// their difference (red where a pixel is out of tolerance) are written side
// by side to <build>/test-pictures/<name>.png, and the failure says where.
// With QUILLBOX_UPDATE_PICTURES=1 in the environment the reference is
// written instead (review it before committing).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Platform/Graphics/Image.h"
#include "Platform/Graphics/ImageContext.h"

namespace cg::testing {

// The pixel at the centre of point (x, y) of a picture with a scale.
inline Pixel pixelAt(const Image& picture, double x, double y) {
  double s = picture.scale();
  return picture.pixel(int(x * s + s / 2), int(y * s + s / 2));
}

// The pixels of `rect` (points) dark in every channel: text and glyphs.
inline int darkPixels(const Image& picture, const Rect& rect, int below = 100) {
  int n = 0;
  double s = picture.scale();
  for (int y = int(rect.minY() * s); y < int(rect.maxY() * s); ++y)
    for (int x = int(rect.minX() * s); x < int(rect.maxX() * s); ++x) {
      Pixel p = picture.pixel(x, y);
      if (std::max({p.r, p.g, p.b}) < below) ++n;
    }
  return n;
}

struct PictureDifference {
  bool sameSize = false;
  int differingPixels = 0;   // beyond the tolerance
  int largestDifference = 0;  // in any channel, 0...255
};

inline PictureDifference comparePictures(const Image& expected, const Image& actual, int tolerance) {
  PictureDifference out;
  out.sameSize = expected.pixelWidth() == actual.pixelWidth() && expected.pixelHeight() == actual.pixelHeight();
  if (!out.sameSize) return out;
  for (int y = 0; y < actual.pixelHeight(); ++y) {
    for (int x = 0; x < actual.pixelWidth(); ++x) {
      Pixel a = expected.pixel(x, y), b = actual.pixel(x, y);
      int d = std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b), std::abs(a.a - b.a)});
      out.largestDifference = std::max(out.largestDifference, d);
      if (d > tolerance) ++out.differingPixels;
    }
  }
  return out;
}

// The pixels out of tolerance in red over a faded copy of `actual`.
inline std::shared_ptr<const Image> differencePicture(const Image& expected, const Image& actual, int tolerance) {
  int w = actual.pixelWidth(), h = actual.pixelHeight();
  std::vector<uint32_t> pixels(size_t(w) * size_t(h));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      Pixel a = expected.pixel(x, y), b = actual.pixel(x, y);
      int d = std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b), std::abs(a.a - b.a)});
      uint32_t grey = 191 + (b.r + b.g + b.b) / 12;  // faded towards white
      pixels[size_t(y) * w + x] = d > tolerance ? 0xFFFF0000u : 0xFF000000u | grey << 16 | grey << 8 | grey;
    }
  }
  return std::make_shared<const Image>(w, h, std::move(pixels));
}

// Expected | actual | difference, at the pictures' pixel size.
inline std::shared_ptr<const Image> sideBySide(const Image& expected, const Image& actual, int tolerance) {
  const double gap = 8;
  double ew = expected.pixelWidth(), aw = actual.pixelWidth();
  double h = std::max(expected.pixelHeight(), actual.pixelHeight());
  double w = ew + 2 * aw + 2 * gap;
  ImageContext context({w, h}, true, 1);
  context.setFillColor(Rgba{0.5, 0.5, 0.5, 1});
  context.fillRect(Rect(0, 0, w, h));
  context.drawImage(expected, Rect(0, 0, ew, expected.pixelHeight()));
  context.drawImage(actual, Rect(ew + gap, 0, aw, actual.pixelHeight()));
  context.drawImage(*differencePicture(expected, actual, tolerance), Rect(ew + aw + 2 * gap, 0, aw, actual.pixelHeight()));
  return context.makeImage();
}

inline bool writePNG(const Image& image, const std::string& path) {
  ns::Data png = image.pngData();
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
  return bool(out);
}

// Whether `actual` matches the reference `name`.png in `directory`.
inline ::testing::AssertionResult matchesReference(const Image& actual, const std::string& directory,
                                                   const std::string& name, int tolerance) {
  std::string reference = directory + "/" + name + ".png";
  const char* update = std::getenv("QUILLBOX_UPDATE_PICTURES");
  if (update && std::string(update) == "1") {
    if (!writePNG(actual, reference)) return ::testing::AssertionFailure() << "cannot write " << reference;
    return ::testing::AssertionSuccess() << "wrote " << reference;
  }
  auto expected = Image::fromFile(reference, actual.scale());
  if (!expected) {
    return ::testing::AssertionFailure() << "no reference picture " << reference
                                         << " (QUILLBOX_UPDATE_PICTURES=1 writes it)";
  }
  PictureDifference d = comparePictures(*expected, actual, tolerance);
  if (d.sameSize && d.differingPixels == 0) return ::testing::AssertionSuccess();
  std::string shown = std::string(QUILLBOX_BINARY_DIR) + "/test-pictures/" + name + ".png";
  writePNG(*sideBySide(*expected, actual, tolerance), shown);
  auto failure = ::testing::AssertionFailure();
  if (!d.sameSize) {
    failure << name << " is " << actual.pixelWidth() << "x" << actual.pixelHeight() << " pixels, the reference "
            << expected->pixelWidth() << "x" << expected->pixelHeight();
  } else {
    failure << name << ": " << d.differingPixels << " pixels differ by more than " << tolerance
            << " (at most " << d.largestDifference << ")";
  }
  return failure << "; expected, actual and difference side by side: " << shown;
}

}  // namespace cg::testing

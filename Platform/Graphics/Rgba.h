// A colour as drawing sees it: red, green, blue and alpha in 0...1, straight
// (not premultiplied). ui::Color converts to it; pixels read back as Pixel.
#pragma once

#include <cstdint>

namespace cg {

struct Rgba {
  double red = 0, green = 0, blue = 0, alpha = 1;

  static Rgba white(double alpha = 1) { return {1, 1, 1, alpha}; }
  static Rgba black(double alpha = 1) { return {0, 0, 0, alpha}; }
  static Rgba gray(double white, double alpha = 1) { return {white, white, white, alpha}; }
  static Rgba clear() { return {0, 0, 0, 0}; }
  bool operator==(const Rgba&) const = default;
};

// One pixel as 8-bit straight components.
struct Pixel {
  uint8_t r = 0, g = 0, b = 0, a = 0;
  bool operator==(const Pixel&) const = default;
};

}  // namespace cg

#include "Libraries/UIComponents/QBRadialGradientLayer.h"

#include <algorithm>
#include <cmath>
#include <vector>

std::shared_ptr<const cg::Image> QBRadialGradientLayer::drawInContext(double scale) const {
  const int w = static_cast<int>(std::ceil(frame_.width() * scale));
  const int h = static_cast<int>(std::ceil(frame_.height() * scale));
  if (w <= 0 || h <= 0) return nullptr;
  const double radius = std::min(frame_.width(), frame_.height());
  std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double px = (x + 0.5) / scale - gradientCenter_.x;
      const double py = (y + 0.5) / scale - gradientCenter_.y;
      const double t = radius > 0 ? std::min(std::hypot(px, py) / radius, 1.0) : 1.0;
      const auto alpha = static_cast<uint32_t>(std::lround(0.75 * t * 255));
      // Black premultiplied: only the alpha byte is set.
      pixels[static_cast<size_t>(y) * w + x] = alpha << 24;
    }
  }
  return std::make_shared<cg::Image>(w, h, std::move(pixels), scale);
}

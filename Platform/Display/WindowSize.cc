#include "Platform/Display/WindowSize.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace display {

namespace {

PixelSize scaled(PixelSize screen, double factor) {
  return {std::max(1, int(std::lround(screen.width * factor))), std::max(1, int(std::lround(screen.height * factor)))};
}

}  // namespace

PixelSize fittedSize(PixelSize screen, PixelSize room) {
  if (screen.width <= 0 || screen.height <= 0) return {1, 1};
  double factor = 1;
  if (room.width > 0) factor = std::min(factor, double(room.width) / screen.width);
  if (room.height > 0) factor = std::min(factor, double(room.height) / screen.height);
  return scaled(screen, factor);
}

PixelSize aspectKept(PixelSize screen, PixelSize from, PixelSize to) {
  if (screen.width <= 0 || screen.height <= 0 || to.width <= 0 || to.height <= 0) return to;
  bool widthLeads = std::abs(to.width - from.width) >= std::abs(to.height - from.height);
  double factor = widthLeads ? double(to.width) / screen.width : double(to.height) / screen.height;
  return scaled(screen, factor);
}

}  // namespace display

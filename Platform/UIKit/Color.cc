#include "Platform/UIKit/Color.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace ui {

namespace {
double clamp01(double v) { return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0); }
// Components within this distance are the same colour (float noise of
// conversions, never a visible difference).
constexpr double kTolerance = 1e-6;
}  // namespace

Color::Color(double red, double green, double blue, double alpha)
    : red_(clamp01(red)), green_(clamp01(green)), blue_(clamp01(blue)), alpha_(clamp01(alpha)) {}

std::shared_ptr<const Color> Color::withRGBA(double red, double green, double blue, double alpha) {
  return std::make_shared<const Color>(red, green, blue, alpha);
}

std::shared_ptr<const Color> Color::withWhite(double white, double alpha) {
  return withRGBA(white, white, white, alpha);
}

std::shared_ptr<const Color> Color::black() { return withWhite(0.0); }
std::shared_ptr<const Color> Color::white() { return withWhite(1.0); }
std::shared_ptr<const Color> Color::gray() { return withWhite(0.5); }
std::shared_ptr<const Color> Color::darkGray() { return withWhite(1.0 / 3.0); }
std::shared_ptr<const Color> Color::lightGray() { return withWhite(2.0 / 3.0); }
std::shared_ptr<const Color> Color::clear() { return withWhite(0.0, 0.0); }
std::shared_ptr<const Color> Color::red() { return withRGBA(1, 0, 0); }
std::shared_ptr<const Color> Color::blue() { return withRGBA(0, 0, 1); }
std::shared_ptr<const Color> Color::systemGray() {
  return withRGBA(142 / 255.0, 142 / 255.0, 147 / 255.0);
}

std::shared_ptr<const Color> Color::withAlphaComponent(double alpha) const {
  return withRGBA(red_, green_, blue_, alpha);
}

bool Color::isEqual(const ns::AttributeObject& other) const {
  auto* color = dynamic_cast<const Color*>(&other);
  return color && std::fabs(red_ - color->red_) < kTolerance &&
         std::fabs(green_ - color->green_) < kTolerance &&
         std::fabs(blue_ - color->blue_) < kTolerance &&
         std::fabs(alpha_ - color->alpha_) < kTolerance;
}

size_t Color::hash() const {
  auto q = [](double v) { return static_cast<size_t>(std::lround(v * 255)); };
  return (q(red_) << 24) ^ (q(green_) << 16) ^ (q(blue_) << 8) ^ q(alpha_);
}

std::string Color::description() const {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "Color %g %g %g %g", red_, green_, blue_, alpha_);
  return buffer;
}

}  // namespace ui

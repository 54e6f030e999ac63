#include "Platform/UIKit/SystemColors.h"

namespace ui {

namespace {
std::shared_ptr<const Color> rgb(int r, int g, int b, double a = 1) {
  return Color::withRGBA(r / 255.0, g / 255.0, b / 255.0, a);
}
}  // namespace

std::shared_ptr<const Color> systemBlueColor() { return rgb(0, 122, 255); }
std::shared_ptr<const Color> systemRedColor() { return rgb(255, 59, 48); }
std::shared_ptr<const Color> labelColor() { return Color::black(); }
std::shared_ptr<const Color> secondaryLabelColor() { return rgb(60, 60, 67, 0.6); }
std::shared_ptr<const Color> tertiaryLabelColor() { return rgb(60, 60, 67, 0.3); }
std::shared_ptr<const Color> placeholderTextColor() { return rgb(60, 60, 67, 0.3); }
std::shared_ptr<const Color> separatorColor() { return rgb(60, 60, 67, 0.29); }
std::shared_ptr<const Color> systemBackgroundColor() { return Color::white(); }
std::shared_ptr<const Color> groupTableViewBackgroundColor() { return rgb(242, 242, 247); }
std::shared_ptr<const Color> secondarySystemBackgroundColor() { return rgb(242, 242, 247); }
std::shared_ptr<const Color> darkTextColor() { return Color::black(); }
std::shared_ptr<const Color> lightTextColor() { return Color::withWhite(1, 0.6); }

namespace {
cg::Pixel average(const Image* image) {
  if (!image || !image->bitmap()) return {};
  const cg::Image& b = *image->bitmap();
  double r = 0, g = 0, bl = 0, a = 0;
  int n = b.pixelWidth() * b.pixelHeight();
  if (n == 0) return {};
  for (int y = 0; y < b.pixelHeight(); ++y) {
    for (int x = 0; x < b.pixelWidth(); ++x) {
      cg::Pixel p = b.pixel(x, y);
      r += p.r;
      g += p.g;
      bl += p.b;
      a += p.a;
    }
  }
  return {uint8_t(r / n), uint8_t(g / n), uint8_t(bl / n), uint8_t(a / n)};
}
}  // namespace

PatternColor::PatternColor(std::shared_ptr<const Image> image)
    : Color(average(image.get()).r / 255.0, average(image.get()).g / 255.0, average(image.get()).b / 255.0,
            average(image.get()).a / 255.0),
      image_(std::move(image)) {}

bool PatternColor::isEqual(const ns::AttributeObject& other) const {
  auto* p = dynamic_cast<const PatternColor*>(&other);
  return p && p->image_ == image_;
}

std::string PatternColor::description() const {
  return "PatternColor " + (image_ ? image_->description() : std::string("(no image)"));
}

std::shared_ptr<const Color> colorWithPatternImage(std::shared_ptr<const Image> image) {
  return std::make_shared<const PatternColor>(std::move(image));
}

}  // namespace ui

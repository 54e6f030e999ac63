#include "Libraries/AppSupportKit/ImageEffects.h"

#include <algorithm>
#include <cmath>

#include "Platform/Foundation/StringUtf16.h"
#include "Platform/Graphics/ImageContext.h"
#include "Platform/Graphics/Path.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/TextDrawing.h"

namespace ImageEffects {

namespace {

constexpr const char* kBadgeFont = "HelveticaNeue-Light";

// The badge's light face, else the plain system font where it is missing.
std::shared_ptr<const ui::Font> badgeFont(double size) {
  if (auto font = ui::Font::withName(kBadgeFont, size)) return font;
  return ui::Font::systemFont(size);
}

ui::ImagePtr finish(const cg::ImageContext& context) { return ui::Image::withBitmap(context.makeImage()); }

// A capsule: half circles of radius height/2 joined by straight sides.
cg::Path capsule(const cg::Rect& r) {
  double radius = r.size.height / 2;
  cg::Path path;
  path.addArc({r.origin.x + r.size.width - radius, r.origin.y + radius}, radius, 3 * M_PI / 2, 0, false);
  path.addArc({r.origin.x + r.size.width - radius, r.origin.y + r.size.height - radius}, radius, 0, M_PI / 2, false);
  path.addArc({r.origin.x + radius, r.origin.y + r.size.height - radius}, radius, M_PI / 2, M_PI, false);
  path.addArc({r.origin.x + radius, r.origin.y + radius}, radius, M_PI, 3 * M_PI / 2, false);
  path.close();
  return path;
}

}  // namespace

ui::ImagePtr badgeImageWithText(const std::optional<std::string>& text, double scaleFactor) {
  double f = scaleFactor == 0 ? 1.0 : scaleFactor;
  std::string shown = text.value_or("");
  size_t characters = ns::utf16Length(shown);
  ui::Size size{25 * f, 25 * f};
  if (characters >= 2) {
    double width = 0;
    if (auto font = badgeFont(12)) width = ui::sizeOfText(shown, *font).width;
    size.width = f * (width + static_cast<double>(characters) + 25);
  }
  cg::ImageContext context(size, false, ui::Screen::main().scale());
  context.setFillColor(ui::rgba(*ui::Color::red()));
  context.fillPath(capsule({{0, 0}, size}));
  if (!shown.empty()) {
    // The single-character factor is taken in single precision, as the kit does.
    double fontSize = characters == 1 ? 13.5 * f * static_cast<double>(1.2f) : 13.5 * f;
    if (auto font = badgeFont(fontSize)) {
      cg::TextLayout layout({{shown, ui::textStyle(*font, ui::Color::white().get())}}, 0);
      cg::Size textSize = layout.size();
      context.drawText(layout, {size.width / 2 - textSize.width / 2, size.height / 2 - textSize.height / 2 - 1});
    }
  }
  return finish(context);
}

ui::ImagePtr imageOverlaidWithImage(const ui::Image& image, const ui::Image& overlay, ui::Rect rect) {
  if (rect.size.width == 0 || rect.size.height == 0) {
    if (rect.size.width == 0) rect.size.width = overlay.size().width;
    if (rect.size.height == 0) rect.size.height = overlay.size().height;
  }
  ui::Size own = image.size();
  double minX = std::min(0.0, rect.origin.x), minY = std::min(0.0, rect.origin.y);
  double maxX = std::max(own.width, rect.origin.x + rect.size.width);
  double maxY = std::max(own.height, rect.origin.y + rect.size.height);
  cg::ImageContext context({maxX - minX, maxY - minY}, false, ui::Screen::main().scale());
  image.draw(context, {{-minX, -minY}, own});
  overlay.draw(context, {{std::max(rect.origin.x, 0.0), std::max(rect.origin.y, 0.0)}, rect.size});
  return finish(context);
}

ui::ImagePtr imageTintedWithColor(const ui::Image& image, const std::shared_ptr<const ui::Color>& color) {
  ui::Size size = image.size();
  cg::ImageContext context(size, false, ui::Screen::main().scale());
  context.setFillColor(ui::rgba(color ? *color : *ui::Color::white()));
  context.fillRect({{0, 0}, size});
  context.setBlendMode(cg::BlendMode::DestinationIn);
  context.setAlpha(1);
  image.draw(context, {{0, 0}, size});
  return finish(context);
}

}  // namespace ImageEffects

#include "Platform/UIKit/DrawingKit.h"

#include <cmath>

#include "Platform/Foundation/Error.h"
#include "Platform/UIKit/GraphicsContext.h"
#include "Platform/UIKit/SystemColors.h"
#include "Platform/UIKit/TextDrawing.h"

namespace ui::drawing {

cg::ImageContext& current() {
  cg::ImageContext* context = GraphicsContext::current();
  if (!context) throw ns::Exception{"NSInternalInconsistencyException", "drawing without a current context"};
  return *context;
}

void fill(cg::ImageContext& context, const Color& color, const cg::Path& path) {
  if (auto* pattern = dynamic_cast<const PatternColor*>(&color); pattern && pattern->patternImage()) {
    const Image& image = *pattern->patternImage();
    if (!image.bitmap()) return;
    context.saveState();
    context.clipToPath(path);
    Rect box = path.boundingBox();
    // The pattern is laid from the picture's origin, so that views painted
    // with it side by side or one over another join without a seam.
    Size tile = image.size();
    Point anchor = context.transform().inverted().apply(Point{0, 0});
    auto start = [](double from, double origin, double step) {
      return step > 0 ? origin + std::floor((from - origin) / step) * step : from;
    };
    double x0 = start(box.minX(), anchor.x, tile.width);
    double y0 = start(box.minY(), anchor.y, tile.height);
    context.drawTiledImage(*image.bitmap(), Rect(x0, y0, box.maxX() - x0, box.maxY() - y0));
    context.restoreState();
    return;
  }
  if (color.alpha() <= 0) return;
  context.setFillColor(rgba(color));
  context.fillPath(path);
}

void fill(cg::ImageContext& context, const Color& color, const Rect& rect) { fill(context, color, cg::Path::rect(rect)); }

void hairline(cg::ImageContext& context, const Color& color, const Rect& rect, double width) {
  fill(context, color, Rect(rect.minX(), rect.maxY() - width, rect.width(), width));
}

double drawLine(cg::ImageContext& context, const std::string& text, const Font& font, const Color& color,
                const Rect& rect, TextAlignment alignment) {
  if (text.empty() || rect.width() <= 0) return 0;
  cg::ParagraphLayout paragraph;
  paragraph.lineBreak = cg::LineBreak::TruncateTail;
  paragraph.maximumLines = 1;
  switch (alignment) {
    case TextAlignment::Center: paragraph.alignment = cg::TextAlign::Center; break;
    case TextAlignment::Right: paragraph.alignment = cg::TextAlign::Right; break;
    default: break;
  }
  cg::TextLayout layout({{text, textStyle(font, &color)}}, rect.width(), paragraph);
  Size size = layout.size();
  context.drawText(layout, Point{rect.minX(), rect.midY() - size.height / 2});
  return std::min(size.width, rect.width());
}

Size lineSize(const std::string& text, const Font& font) { return sizeOfText(text, font); }

void drawImage(cg::ImageContext& context, const Image& image, const Rect& rect, const Color& tint) {
  cg::Rgba color = rgba(tint);
  image.draw(context, rect, &color);
}

namespace {
void strokeLines(cg::ImageContext& context, const cg::Path& path, double width, const Color& color) {
  context.saveState();
  context.setStrokeColor(rgba(color));
  context.setLineWidth(width);
  context.strokePath(path);
  context.restoreState();
}
}  // namespace

void chevron(cg::ImageContext& context, Point c, double size, const Color& color, bool pointsLeft) {
  double half = size / 2, depth = size / 3.2;
  double tip = pointsLeft ? c.x - depth / 2 : c.x + depth / 2;
  double back = pointsLeft ? c.x + depth / 2 : c.x - depth / 2;
  cg::Path path;
  path.moveTo({back, c.y - half});
  path.lineTo({tip, c.y});
  path.lineTo({back, c.y + half});
  strokeLines(context, path, std::max(1.5, size / 7), color);
}

void plus(cg::ImageContext& context, Point c, double size, double thickness, const Color& color) {
  double half = size / 2, t = thickness / 2;
  cg::Path path;
  path.addRect(Rect(c.x - half, c.y - t, size, thickness));
  path.addRect(Rect(c.x - t, c.y - half, thickness, size));
  context.setFillColor(rgba(color));
  context.fillPath(path);
}

void checkmark(cg::ImageContext& context, Point c, double size, const Color& color) {
  cg::Path path;
  path.moveTo({c.x - size * 0.45, c.y});
  path.lineTo({c.x - size * 0.12, c.y + size * 0.35});
  path.lineTo({c.x + size * 0.45, c.y - size * 0.4});
  strokeLines(context, path, std::max(1.5, size / 7), color);
}

void editingControl(cg::ImageContext& context, Point c, bool insert) {
  const double side = 22;
  auto color = insert ? Color::withRGBA(52 / 255.0, 199 / 255.0, 89 / 255.0) : systemRedColor();
  context.setFillColor(rgba(*color));
  context.fillEllipse(Rect(c.x - side / 2, c.y - side / 2, side, side));
  context.setFillColor(cg::Rgba::white());
  context.fillRect(Rect(c.x - 6, c.y - 1, 12, 2));
  if (insert) context.fillRect(Rect(c.x - 1, c.y - 6, 2, 12));
}

void reorderControl(cg::ImageContext& context, Point c) {
  context.setFillColor(cg::Rgba::gray(0.6));
  for (int i = -1; i <= 1; ++i) context.fillRect(Rect(c.x - 9, c.y + i * 5 - 0.75, 18, 1.5));
}

void clearButton(cg::ImageContext& context, Point c) {
  const double side = 16;
  context.setFillColor(cg::Rgba::gray(0.7));
  context.fillEllipse(Rect(c.x - side / 2, c.y - side / 2, side, side));
  cg::Path cross;
  cross.moveTo({c.x - 3.5, c.y - 3.5});
  cross.lineTo({c.x + 3.5, c.y + 3.5});
  cross.moveTo({c.x + 3.5, c.y - 3.5});
  cross.lineTo({c.x - 3.5, c.y + 3.5});
  strokeLines(context, cross, 1.6, *Color::white());
}

void magnifier(cg::ImageContext& context, Point c, double size, const Color& color) {
  double r = size * 0.3;
  Point lens{c.x - size * 0.1, c.y - size * 0.1};
  cg::Path path = cg::Path::ellipse(Rect(lens.x - r, lens.y - r, 2 * r, 2 * r));
  path.moveTo({lens.x + r * 0.72, lens.y + r * 0.72});
  path.lineTo({c.x + size * 0.45, c.y + size * 0.45});
  strokeLines(context, path, std::max(1.5, size / 9), color);
}

}  // namespace ui::drawing

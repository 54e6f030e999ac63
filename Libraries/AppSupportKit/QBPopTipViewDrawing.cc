// How the tip draws its bubble: the outline with its pointer, a flat or
// banded fill clipped to it, the optional inner light and shade, the
// border, then the title and the message.
#include <algorithm>
#include <vector>

#include "Libraries/AppSupportKit/QBPopTipView.h"
#include "Platform/UIKit/DrawingKit.h"
#include "Platform/UIKit/TextDrawing.h"

namespace {

// The colour's components brightened: times `factor`, plus `lift`; alpha kept.
cg::Rgba brightened(const ui::Color& color, double factor, double lift) {
  return {color.redComponent() * factor + lift, color.greenComponent() * factor + lift,
          color.blueComponent() * factor + lift, color.alpha()};
}

ui::TextDrawingOptions textOptions(const std::shared_ptr<const ui::Font>& font, const ui::ColorPtr& color,
                                   int64_t alignment) {
  ui::TextDrawingOptions options;
  options.defaultFont = font;
  options.defaultColor = color;
  options.alignment = static_cast<ui::TextAlignment>(alignment);
  options.lineBreak = cg::LineBreak::WordWrap;
  return options;
}

}  // namespace

cg::Path QBPopTipView::outline() const {
  ui::Rect bubble = bubbleFrame();
  double l = bubble.minX(), t = bubble.minY(), r = bubble.maxX(), b = bubble.maxY();
  double s = pointerSize_, radius = cornerRadius_;
  ui::Point a{targetPoint_.x + sidePadding_, targetPoint_.y};
  cg::Path path;
  path.moveTo(a);
  if (pointDirection_ == kPointDirectionUp) {
    path.lineTo({a.x + s, a.y + s});
    path.addArcToPoint({r, t}, {r, b}, radius);
    path.addArcToPoint({r, b}, {l, b}, radius);
    path.addArcToPoint({l, b}, {l, t}, radius);
    path.addArcToPoint({l, t}, {r, t}, radius);
    path.lineTo({a.x - s, a.y + s});
  } else {
    path.lineTo({a.x - s, a.y - s});
    path.addArcToPoint({l, b}, {l, t}, radius);
    path.addArcToPoint({l, t}, {r, t}, radius);
    path.addArcToPoint({r, t}, {r, b}, radius);
    path.addArcToPoint({r, b}, {l, b}, radius);
    path.lineTo({a.x + s, a.y - s});
  }
  path.close();
  return path;
}

void QBPopTipView::fillBubble(cg::ImageContext& context) const {
  ui::ColorPtr color = bubbleColor_ ? bubbleColor_ : ui::Color::clear();
  ui::Rect box = bounds();
  if (!hasGradientBackground_) {
    ui::drawing::fill(context, *color, box);
    return;
  }
  // Bands about the bubble's middle: lighter above, the colour itself below.
  double lift = highlight_ ? 0.25 : 0;
  double middle = (bubbleFrame().minY() + bubbleSize_.height / 2) / box.height();
  cg::Rgba top = brightened(*color, 1.16, lift), band = brightened(*color, 1.08, lift),
           bottom = brightened(*color, 1, lift);
  context.drawLinearGradient({{0, top}, {middle - 0.03, top}, {middle, band}, {middle + 0.03, bottom}, {1, bottom}},
                             {0, 0}, {0, box.maxY()});
}

void QBPopTipView::drawTexts(cg::ImageContext& context) const {
  ui::Rect content = contentFrame().integral();
  if (title_) {
    ui::drawText(context, ns::AttributedString(*title_), content,
                 textOptions(titleFont_, titleColor_, titleAlignment_));
  }
  if (message_) {
    ui::Rect rect = content;
    if (title_) {
      // The message starts under the title; the rectangle keeps its height.
      ui::TextDrawingOptions measure;
      measure.defaultFont = titleFont_;
      rect.origin.y += ui::boundingSize(ns::AttributedString(*title_), rect.width(), measure).height;
    }
    ui::drawText(context, ns::AttributedString(*message_), rect, textOptions(textFont_, textColor_, textAlignment_));
  }
}

void QBPopTipView::drawRect(const ui::Rect&) {
  cg::ImageContext& context = ui::drawing::current();
  cg::Path path = outline();
  context.setStrokeColor(cg::Rgba::black());
  context.setLineWidth(borderWidth_);

  context.saveState();
  context.clipToPath(path);
  fillBubble(context);
  if (has3DStyle_) {
    // A frame around the outline filled even-odd: only its shadows fall
    // inside the bubble, a light one from the top and a dark one from below.
    context.saveState();
    cg::Path rim = cg::Path::rect(path.boundingBox().insetBy(-30, -30));
    rim.addPath(path);
    cg::Rgba light{1, 1, 1, 0.75}, shade{0, 0, 0, 0.4};
    context.setFillColor(light);
    context.setShadow({0, 4}, 4, light);
    context.fillPath(rim, cg::FillRule::EvenOdd);
    context.setFillColor(shade);
    context.setShadow({0, -4}, 4, shade);
    context.fillPath(rim, cg::FillRule::EvenOdd);
    context.restoreState();
  }
  context.restoreState();

  if (borderWidth_ > 0 && borderColor_) {
    context.setStrokeColor(ui::rgba(*borderColor_));
    context.strokePath(path);
  }
  drawTexts(context);
}

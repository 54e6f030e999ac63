#include "Platform/UIKit/ShapeLayer.h"

#include <algorithm>

#include "Platform/Graphics/ImageContext.h"
#include "Platform/Graphics/Path.h"
#include "Platform/UIKit/TextDrawing.h"

namespace ui {

std::shared_ptr<const cg::Image> ShapeLayer::render() const {
  if (frame.width() <= 0 || frame.height() <= 0) return nullptr;
  cg::ImageContext context(frame.size, false, contentsScale);
  const double from = std::clamp(strokeStart, 0.0, 1.0);
  const double to = std::clamp(strokeEnd, 0.0, 1.0);
  const double sweep = endAngle - startAngle;
  if (fillColor) {
    cg::Path whole;
    whole.addArc(arcCenter, arcRadius, startAngle, endAngle, sweep >= 0);
    context.setFillColor(rgba(*fillColor));
    context.fillPath(whole);
  }
  if (strokeColor && to > from && lineWidth > 0) {
    cg::Path part;
    part.addArc(arcCenter, arcRadius, startAngle + sweep * from, startAngle + sweep * to, sweep >= 0);
    context.setStrokeColor(rgba(*strokeColor));
    context.setLineWidth(lineWidth);
    context.strokePath(part);
  }
  if (maskImage) {
    context.setBlendMode(cg::BlendMode::DestinationIn);
    context.drawImage(*maskImage, Rect(0, 0, frame.width(), frame.height()));
  }
  return context.makeImage();
}

}  // namespace ui

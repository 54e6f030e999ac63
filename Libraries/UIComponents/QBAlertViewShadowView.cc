#include "Libraries/UIComponents/QBAlertViewShadowView.h"

#include "Platform/Graphics/Path.h"
#include "Platform/UIKit/GraphicsContext.h"

namespace {
cg::Rgba rgba(const ui::Color& c) { return {c.redComponent(), c.greenComponent(), c.blueComponent(), c.alpha()}; }
}  // namespace

QBAlertViewShadowView::QBAlertViewShadowView() {
  setBackgroundColor(ui::Color::clear());
  setUserInteractionEnabled(false);
}

void QBAlertViewShadowView::drawRect(const ui::Rect&) {
  if (!strokeColor && !shadowColor) return;
  if (strokeWidth == 0 && shadowBlur == 0) return;
  cg::ImageContext* context = ui::GraphicsContext::current();
  if (!context) return;
  const double b = shadowBlur;
  context->saveState();
  if (b != 0 && shadowColor) context->setShadow(ui::Point(0, 0), b, rgba(*shadowColor));
  ui::Rect r = bounds();
  ui::Rect inset(r.minX() + b, r.minY() + b, r.width() - 2 * b, r.height() - 2 * b);
  cg::Path path = cg::Path::roundedRect(inset, cornerRadius);
  context->setFillColor(cg::Rgba::black());
  context->fillPath(path);
  // The panel itself covers the rectangle: cut it out, keep the shadow.
  // Clearing inside the path as a clip clears exactly the rectangle.
  context->clearShadow();
  context->saveState();
  context->clipToPath(path);
  context->clearRect(r);
  context->restoreState();
  context->restoreState();
}

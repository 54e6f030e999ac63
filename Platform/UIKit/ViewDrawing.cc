#include "Platform/UIKit/ViewDrawing.h"

#include <algorithm>

#include "Platform/UIKit/DrawingKit.h"
#include "Platform/UIKit/GraphicsContext.h"
#include "Platform/UIKit/TextDrawing.h"
#include "Platform/UIKit/VisualEffectView.h"

namespace ui {

namespace {

// How far a frosted pane blurs what lies behind it, in points.
constexpr double kBackdropBlur = 20;

bool drawn(const View& view) { return !view.isHidden() && view.alpha() > 0; }

// Pushes `context` as the current one for a view's drawRect.
class CurrentContext {
 public:
  explicit CurrentContext(cg::ImageContext& context) { GraphicsContext::pushContext(context); }
  ~CurrentContext() { GraphicsContext::popContext(); }
  CurrentContext(const CurrentContext&) = delete;
  CurrentContext& operator=(const CurrentContext&) = delete;
};

// The view in a space whose origin is its bounds' top-left corner.
void drawContents(cg::ImageContext& context, View& view) {
  const Layer& layer = view.layer();
  Rect bounds = view.bounds();
  Rect box(0, 0, bounds.width(), bounds.height());
  cg::Path shape = layer.cornerRadius() > 0 ? cg::Path::roundedRect(box, layer.cornerRadius()) : cg::Path::rect(box);
  bool shadow = layer.shadowOpacity() > 0 && layer.shadowColor() && layer.shadowColor()->alpha() > 0;
  bool group = view.alpha() < 1 || shadow;

  context.saveState();
  if (shadow) {
    auto color = layer.shadowColor()->withAlphaComponent(layer.shadowColor()->alpha() * layer.shadowOpacity());
    // A layer's shadow radius is about half of a drawing shadow's blur.
    context.setShadow({layer.shadowOffset().width, layer.shadowOffset().height}, 2 * layer.shadowRadius(),
                      rgba(*color));
  }
  if (view.alpha() < 1) context.setAlpha(view.alpha());
  if (group) context.beginTransparencyLayer();

  bool clips = view.clipsToBounds() || layer.masksToBounds();
  context.saveState();
  if (clips) context.clipToPath(shape);
  // A visual effect view frosts what lies behind it, under its background.
  if (auto* effect = dynamic_cast<VisualEffectView*>(&view); effect && effect->effect())
    context.blurRegion(box, kBackdropBlur);
  if (auto background = view.backgroundColor()) drawing::fill(context, *background, shape);
  context.translate(-bounds.minX(), -bounds.minY());
  {
    CurrentContext current(context);
    context.saveState();
    view.drawRect(bounds);
    context.restoreState();
  }
  // A copy: laying out a subview may change the tree (a table places rows).
  std::vector<std::shared_ptr<View>> subviews = view.subviews();
  for (const auto& subview : subviews) drawViewHierarchy(context, *subview);
  context.restoreState();

  if (layer.borderWidth() > 0 && layer.borderColor() && layer.borderColor()->alpha() > 0) {
    double w = layer.borderWidth();
    Rect inner = box.insetBy(w / 2, w / 2);
    context.setStrokeColor(rgba(*layer.borderColor()));
    context.setLineWidth(w);
    context.strokePath(layer.cornerRadius() > 0
                           ? cg::Path::roundedRect(inner, std::max(0.0, layer.cornerRadius() - w / 2))
                           : cg::Path::rect(inner));
  }
  if (group) context.endTransparencyLayer();
  context.restoreState();
}

}  // namespace

void drawViewHierarchy(cg::ImageContext& context, View& view) {
  if (!drawn(view)) return;
  view.layoutIfNeeded();
  Rect bounds = view.bounds();
  Point center = view.center();
  context.saveState();
  context.translate(center.x, center.y);
  if (!view.transform().isIdentity()) context.concat(view.transform());
  context.translate(-bounds.width() / 2, -bounds.height() / 2);
  drawContents(context, view);
  context.restoreState();
}

void drawViewHierarchy(cg::ImageContext& context, View& view, Point origin) {
  if (!drawn(view)) return;
  view.layoutIfNeeded();
  context.saveState();
  context.translate(origin.x, origin.y);
  drawContents(context, view);
  context.restoreState();
}

void drawLabelledOutline(cg::ImageContext& context, const Rect& rect, const std::string& label) {
  if (rect.isEmpty()) return;
  context.saveState();
  context.clipToRect(rect);
  context.setFillColor(cg::Rgba{1, 0.5, 0, 0.08});
  context.fillRect(rect);
  context.setStrokeColor(cg::Rgba{0.85, 0.35, 0, 1});
  context.setLineWidth(1);
  context.strokeRect(rect.insetBy(0.5, 0.5));
  drawing::drawLine(context, label, *Font::systemFont(std::min(12.0, std::max(7.0, rect.height() - 4))),
                    *Color::withRGBA(0.85, 0.35, 0, 1), rect.insetBy(4, 0), TextAlignment::Center);
  context.restoreState();
}

// Plain views draw nothing of their own; a kind that shows something and
// has no drawing of its own is outlined, so a picture never hides it.
void View::drawRect(const Rect&) {
  if (screenText().empty()) return;
  drawLabelledOutline(drawing::current(), bounds(), typeName());
}

}  // namespace ui

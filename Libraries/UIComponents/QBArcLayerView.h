// A view that shows one arc layer (the HUD's spinner and progress rings):
// the layer is a square of side 2 x (radius + thickness / 2 + 5), built on
// first use, centred in the bounds while the view is in a superview and
// dropped when it leaves. Subclasses say which arc it draws.
#pragma once

#include <memory>

#include "Platform/UIKit/ShapeLayer.h"
#include "Platform/UIKit/View.h"

class QBArcLayerView : public ui::View {
 public:
  double radius() const { return radius_; }
  void setRadius(double radius);
  double strokeThickness() const { return strokeThickness_; }
  void setStrokeThickness(double thickness);
  ui::ColorPtr strokeColor() const { return strokeColor_; }
  void setStrokeColor(ui::ColorPtr color);

  const ui::ShapeLayer* currentLayer() const { return layer_.get(); }
  // Adds the layer to the view and centres it in the bounds.
  void layoutAnimatedLayer();
  // Times the layer was built (a radius change rebuilds it).
  int layerBuilds() const { return builds_; }

  void setFrame(const ui::Rect& frame) override;
  // A square of side 2 x (radius + thickness / 2 + 5), whatever is asked.
  ui::Size sizeThatFits(ui::Size size) const override;
  // The arc layer as it stands (its animations are not run).
  void drawRect(const ui::Rect& rect) override;

 protected:
  QBArcLayerView() = default;
  // The layer, built on first use.
  ui::ShapeLayer& arcLayer();
  ui::ShapeLayer* builtLayer() { return layer_.get(); }
  // Sets what differs between arcs on a freshly built layer.
  virtual void configureArc(ui::ShapeLayer& layer) = 0;
  void willMoveToSuperview(View* newSuperview) override;

 private:
  double side() const { return 2 * (radius_ + strokeThickness_ / 2 + 5); }

  std::unique_ptr<ui::ShapeLayer> layer_;
  double radius_ = 0;
  double strokeThickness_ = 0;
  ui::ColorPtr strokeColor_;
  int builds_ = 0;
};

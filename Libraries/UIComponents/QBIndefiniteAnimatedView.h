// The HUD's spinner: an arc of two turns from the top, masked by the
// bundle's "angle-mask" image, carrying the "rotate" and "progress"
// animations while it is in a superview.
#pragma once

#include "Platform/UIKit/ShapeLayer.h"
#include "Platform/UIKit/View.h"

class QBIndefiniteAnimatedView : public ui::View {
 public:
  QBIndefiniteAnimatedView() = default;
  std::string typeName() const override { return "QBIndefiniteAnimatedView"; }

  double radius() const { return radius_; }
  void setRadius(double radius);
  double strokeThickness() const { return strokeThickness_; }
  void setStrokeThickness(double thickness);
  ui::ColorPtr strokeColor() const { return strokeColor_; }
  void setStrokeColor(ui::ColorPtr color);

  // The spinner's layer, built on first use.
  ui::ShapeLayer& indefiniteAnimatedLayer();
  const ui::ShapeLayer* currentLayer() const { return layer_.get(); }
  // Adds the layer to the view and centres it in the bounds.
  void layoutAnimatedLayer();
  // Times the layer was built (a radius change rebuilds it).
  int layerBuilds() const { return builds_; }

  void setFrame(const ui::Rect& frame) override;
  ui::Size sizeThatFits(ui::Size size) const override;

 protected:
  void willMoveToSuperview(View* newSuperview) override;

 private:
  std::unique_ptr<ui::ShapeLayer> layer_;
  double radius_ = 0;
  double strokeThickness_ = 0;
  ui::ColorPtr strokeColor_;
  int builds_ = 0;
};

// The HUD's progress ring: an arc of one turn from the top, clockwise, of
// which strokeEnd (0 to 1) is shown.
#pragma once

#include "Platform/UIKit/ShapeLayer.h"
#include "Platform/UIKit/View.h"

class QBProgressAnimatedView : public ui::View {
 public:
  QBProgressAnimatedView() = default;
  std::string typeName() const override { return "QBProgressAnimatedView"; }

  double radius() const { return radius_; }
  void setRadius(double radius);
  double strokeThickness() const { return strokeThickness_; }
  void setStrokeThickness(double thickness);
  ui::ColorPtr strokeColor() const { return strokeColor_; }
  void setStrokeColor(ui::ColorPtr color);
  double strokeEnd() const { return strokeEnd_; }
  void setStrokeEnd(double strokeEnd);

  // The ring's layer, built on first use; null while none is built.
  ui::ShapeLayer& ringAnimatedLayer();
  const ui::ShapeLayer* currentLayer() const { return layer_.get(); }
  // Adds the layer to the view and centres it in the bounds.
  void layoutAnimatedLayer();

  void setFrame(const ui::Rect& frame) override;
  // A square of side 2 x (radius + thickness / 2 + 5), whatever is asked.
  ui::Size sizeThatFits(ui::Size size) const override;

 protected:
  void willMoveToSuperview(View* newSuperview) override;

 private:
  std::unique_ptr<ui::ShapeLayer> layer_;
  double radius_ = 0;
  double strokeThickness_ = 0;
  ui::ColorPtr strokeColor_;
  double strokeEnd_ = 0;
};

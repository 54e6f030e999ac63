#include "Libraries/UIComponents/QBProgressAnimatedView.h"

#include <numbers>

void QBProgressAnimatedView::setStrokeEnd(double strokeEnd) {
  strokeEnd_ = strokeEnd;
  if (auto* layer = builtLayer()) layer->strokeEnd = strokeEnd;
}

void QBProgressAnimatedView::configureArc(ui::ShapeLayer& layer) {
  layer.startAngle = -std::numbers::pi / 2;
  layer.endAngle = 3 * std::numbers::pi / 2;
  layer.fillColor = nullptr;
  layer.strokeEnd = strokeEnd_;
}

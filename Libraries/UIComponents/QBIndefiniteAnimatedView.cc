#include "Libraries/UIComponents/QBIndefiniteAnimatedView.h"

#include <numbers>

#include "Libraries/UIComponents/QBProgressHUDResources.h"

void QBIndefiniteAnimatedView::configureArc(ui::ShapeLayer& layer) {
  layer.startAngle = 3 * std::numbers::pi / 2;
  layer.endAngle = 11 * std::numbers::pi / 2;
  if (auto mask = QBProgressHUDResources::image("angle-mask")) layer.maskImage = mask->bitmap();
  // Both repeat forever and stay after completion.
  layer.animationKeys.insert("rotate");
  layer.animationKeys.insert("progress");
}

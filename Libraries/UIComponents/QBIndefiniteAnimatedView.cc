#include "Libraries/UIComponents/QBIndefiniteAnimatedView.h"

#include <numbers>

#include "Libraries/UIComponents/QBProgressHUDResources.h"
#include "Platform/UIKit/Screen.h"

using ui::Rect;
using ui::Size;

void QBIndefiniteAnimatedView::setRadius(double radius) {
  if (radius == radius_) return;
  radius_ = radius;
  layer_.reset();
  if (superview()) layoutAnimatedLayer();
}

void QBIndefiniteAnimatedView::setStrokeThickness(double thickness) {
  strokeThickness_ = thickness;
  if (layer_) layer_->lineWidth = thickness;
}

void QBIndefiniteAnimatedView::setStrokeColor(ui::ColorPtr color) {
  strokeColor_ = color;
  if (layer_) layer_->strokeColor = std::move(color);
}

ui::ShapeLayer& QBIndefiniteAnimatedView::indefiniteAnimatedLayer() {
  if (!layer_) {
    ++builds_;
    const double side = 2 * (radius_ + strokeThickness_ / 2 + 5);
    layer_ = std::make_unique<ui::ShapeLayer>();
    layer_->contentsScale = ui::Screen::main().scale();
    layer_->frame = Rect(0, 0, side, side);
    layer_->arcCenter = {side / 2, side / 2};
    layer_->arcRadius = radius_;
    layer_->startAngle = 3 * std::numbers::pi / 2;
    layer_->endAngle = 11 * std::numbers::pi / 2;
    layer_->strokeColor = strokeColor_;
    layer_->lineWidth = strokeThickness_;
    if (auto mask = QBProgressHUDResources::image("angle-mask")) layer_->maskImage = mask->bitmap();
    // Both repeat forever and stay after completion.
    layer_->animationKeys.insert("rotate");
    layer_->animationKeys.insert("progress");
  }
  return *layer_;
}

void QBIndefiniteAnimatedView::layoutAnimatedLayer() {
  ui::ShapeLayer& layer = indefiniteAnimatedLayer();
  const Rect b = bounds();
  layer.frame.origin = {(b.width() - layer.frame.width()) / 2, (b.height() - layer.frame.height()) / 2};
}

void QBIndefiniteAnimatedView::setFrame(const Rect& frame) {
  if (frame == this->frame()) return;
  View::setFrame(frame);
  if (superview()) layoutAnimatedLayer();
}

Size QBIndefiniteAnimatedView::sizeThatFits(Size) const {
  const double side = 2 * (radius_ + strokeThickness_ / 2 + 5);
  return {side, side};
}

void QBIndefiniteAnimatedView::willMoveToSuperview(View* newSuperview) {
  if (newSuperview) {
    layoutAnimatedLayer();
  } else {
    layer_.reset();
  }
}

#include "Libraries/UIComponents/QBProgressAnimatedView.h"

#include <cmath>
#include <numbers>

#include "Platform/UIKit/Screen.h"

using ui::Rect;
using ui::Size;

void QBProgressAnimatedView::setRadius(double radius) {
  if (radius == radius_) return;
  radius_ = radius;
  layer_.reset();
  if (superview()) layoutAnimatedLayer();
}

void QBProgressAnimatedView::setStrokeThickness(double thickness) {
  strokeThickness_ = thickness;
  if (layer_) layer_->lineWidth = thickness;
}

void QBProgressAnimatedView::setStrokeColor(ui::ColorPtr color) {
  strokeColor_ = color;
  if (layer_) layer_->strokeColor = std::move(color);
}

void QBProgressAnimatedView::setStrokeEnd(double strokeEnd) {
  strokeEnd_ = strokeEnd;
  if (layer_) layer_->strokeEnd = strokeEnd;
}

ui::ShapeLayer& QBProgressAnimatedView::ringAnimatedLayer() {
  if (!layer_) {
    const double side = 2 * (radius_ + strokeThickness_ / 2 + 5);
    layer_ = std::make_unique<ui::ShapeLayer>();
    layer_->contentsScale = ui::Screen::main().scale();
    layer_->frame = Rect(0, 0, side, side);
    layer_->arcCenter = {side / 2, side / 2};
    layer_->arcRadius = radius_;
    layer_->startAngle = -std::numbers::pi / 2;
    layer_->endAngle = 3 * std::numbers::pi / 2;
    layer_->fillColor = nullptr;
    layer_->strokeColor = strokeColor_;
    layer_->lineWidth = strokeThickness_;
    layer_->strokeEnd = strokeEnd_;
  }
  return *layer_;
}

void QBProgressAnimatedView::layoutAnimatedLayer() {
  ui::ShapeLayer& layer = ringAnimatedLayer();
  const Rect b = bounds();
  layer.frame.origin = {(b.width() - layer.frame.width()) / 2, (b.height() - layer.frame.height()) / 2};
}

void QBProgressAnimatedView::setFrame(const Rect& frame) {
  if (frame == this->frame()) return;
  View::setFrame(frame);
  if (superview()) layoutAnimatedLayer();
}

Size QBProgressAnimatedView::sizeThatFits(Size) const {
  const double side = 2 * (radius_ + strokeThickness_ / 2 + 5);
  return {side, side};
}

void QBProgressAnimatedView::willMoveToSuperview(View* newSuperview) {
  if (newSuperview) {
    layoutAnimatedLayer();
  } else {
    layer_.reset();
  }
}

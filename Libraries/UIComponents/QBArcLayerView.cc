#include "Libraries/UIComponents/QBArcLayerView.h"

#include "Platform/UIKit/DrawingKit.h"
#include "Platform/UIKit/Screen.h"

using ui::Rect;
using ui::Size;

void QBArcLayerView::setRadius(double radius) {
  if (radius == radius_) return;
  radius_ = radius;
  layer_.reset();
  if (superview()) layoutAnimatedLayer();
}

void QBArcLayerView::setStrokeThickness(double thickness) {
  strokeThickness_ = thickness;
  if (layer_) layer_->lineWidth = thickness;
}

void QBArcLayerView::setStrokeColor(ui::ColorPtr color) {
  strokeColor_ = color;
  if (layer_) layer_->strokeColor = std::move(color);
}

ui::ShapeLayer& QBArcLayerView::arcLayer() {
  if (!layer_) {
    ++builds_;
    layer_ = std::make_unique<ui::ShapeLayer>();
    layer_->contentsScale = ui::Screen::main().scale();
    layer_->frame = Rect(0, 0, side(), side());
    layer_->arcCenter = {side() / 2, side() / 2};
    layer_->arcRadius = radius_;
    layer_->strokeColor = strokeColor_;
    layer_->lineWidth = strokeThickness_;
    configureArc(*layer_);
  }
  return *layer_;
}

void QBArcLayerView::layoutAnimatedLayer() {
  ui::ShapeLayer& layer = arcLayer();
  const Rect b = bounds();
  layer.frame.origin = {(b.width() - layer.frame.width()) / 2, (b.height() - layer.frame.height()) / 2};
}

void QBArcLayerView::setFrame(const Rect& frame) {
  if (frame == this->frame()) return;
  View::setFrame(frame);
  if (superview()) layoutAnimatedLayer();
}

Size QBArcLayerView::sizeThatFits(Size) const { return {side(), side()}; }

void QBArcLayerView::drawRect(const Rect&) {
  if (!layer_) return;
  if (auto picture = layer_->render()) ui::drawing::current().drawImage(*picture, layer_->frame);
}

void QBArcLayerView::willMoveToSuperview(View* newSuperview) {
  if (newSuperview) {
    layoutAnimatedLayer();
  } else {
    layer_.reset();
  }
}

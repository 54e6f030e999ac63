#include "Libraries/UIComponents/QBRingSpinnerView.h"

#include <algorithm>
#include <numbers>

#include "Platform/UIKit/DrawingKit.h"
#include "Platform/UIKit/Screen.h"

QBRingSpinnerView::QBRingSpinnerView() { initialize(); }

QBRingSpinnerView::QBRingSpinnerView(const ui::Rect& frame) : ui::View(frame) { initialize(); }

void QBRingSpinnerView::initialize() {
  timing_ = QBMediaTimingFunction::EaseInEaseOut;
  layer_.contentsScale = ui::Screen::main().scale();
  layer_.strokeColor = tintColor();
  layer_.fillColor = nullptr;
  layer_.lineWidth = 1.5;
  layoutSubviews();
}

void QBRingSpinnerView::setFrame(const ui::Rect& frame) {
  View::setFrame(frame);
  layoutSubviews();
}

void QBRingSpinnerView::layoutSubviews() {
  layer_.frame = ui::Rect(0, 0, bounds().width(), bounds().height());
  updatePath();
}

void QBRingSpinnerView::tintColorDidChange() { layer_.strokeColor = tintColor(); }

void QBRingSpinnerView::setLineWidth(double width) {
  layer_.lineWidth = width;
  updatePath();
}

void QBRingSpinnerView::updatePath() {
  const ui::Rect b = bounds();
  layer_.arcCenter = {b.width() / 2, b.height() / 2};
  layer_.arcRadius = std::min(b.width() / 2, b.height() / 2) - layer_.lineWidth / 2;
  layer_.startAngle = -std::numbers::pi / 4;
  layer_.endAngle = 3 * std::numbers::pi / 2;
}

void QBRingSpinnerView::setHidesWhenStopped(bool hides) {
  hidesWhenStopped_ = hides;
  setHidden(hides && !isAnimating());
}

void QBRingSpinnerView::startAnimating() {
  if (!isAnimating()) layer_.animationKeys.insert(kRotationAnimationKey);
  if (hidesWhenStopped_) setHidden(false);
}

void QBRingSpinnerView::stopAnimating() {
  if (isAnimating()) layer_.animationKeys.erase(kRotationAnimationKey);
  if (hidesWhenStopped_) setHidden(true);
}

void QBRingSpinnerView::drawRect(const ui::Rect&) {
  if (auto picture = layer_.render()) ui::drawing::current().drawImage(*picture, layer_.frame);
}

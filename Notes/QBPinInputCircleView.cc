#include "Notes/QBPinInputCircleView.h"

#include "Platform/UIKit/DeviceInfo.h"

QBPinInputCircleView::QBPinInputCircleView() : ui::View(ui::Rect(0, 0, diameter(), diameter())) {
  layer().setCornerRadius(diameter() / 2);
  layer().setBorderWidth(1);
  setBackgroundColor(ui::Color::clear());
  tintColorDidChange();
}

double QBPinInputCircleView::diameter() { return ui::DeviceInfo::current().isPad() ? 16 : 12.5; }

void QBPinInputCircleView::setFilled(bool filled) {
  filled_ = filled;
  setBackgroundColor(filled ? tintColor() : ui::Color::clear());
}

void QBPinInputCircleView::tintColorDidChange() {
  layer().setBorderColor(tintColor());
  if (filled_) setBackgroundColor(tintColor());
}

#include "Libraries/UIComponents/QBAlertViewTextField.h"

ui::Rect QBAlertViewTextField::textRectForBounds(const ui::Rect& bounds) const {
  double x = bounds.minX() + 10, width = bounds.width() - 20;
  if (auto left = leftView()) {
    x += left->frame().width();
    width -= left->frame().width();
  }
  if (auto right = rightView())
    width -= right->frame().width();
  else if (clearButtonMode() != ui::TextFieldViewMode::Never)
    width -= 20;
  return ui::Rect(x, bounds.minY(), width, bounds.height());
}

// A text field of an alert: its text keeps 10 points from either side and
// leaves room for the left and right views or the clear button.
#pragma once

#include <string>

#include "Platform/UIKit/TextField.h"

class QBAlertViewTextField : public ui::TextField {
 public:
  using ui::TextField::TextField;
  ui::Rect textRectForBounds(const ui::Rect& bounds) const override;
  ui::Rect editingRectForBounds(const ui::Rect& bounds) const override { return textRectForBounds(bounds); }
};

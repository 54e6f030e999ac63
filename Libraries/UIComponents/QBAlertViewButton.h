// A button of an alert's row: clear backgrounds, content insets 8/10, and
// background colours per state kept as 1 x 1 images.
#pragma once

#include <cstdint>

#include "Platform/UIKit/Button.h"

class QBAlertViewButton : public ui::Button {
 public:
  QBAlertViewButton();
  uint64_t iconPosition() const { return iconPosition_; }
  void setIconPosition(uint64_t p) { iconPosition_ = p; }
  using ui::Button::setBackgroundColor;
  void setBackgroundColor(ui::ColorPtr color, uint32_t state);

 private:
  uint64_t iconPosition_ = 0;
};

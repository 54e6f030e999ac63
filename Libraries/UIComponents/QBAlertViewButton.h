// A button of an alert's row: clear backgrounds, content insets 8/10,
// background colours per state kept as 1 x 1 images, and an icon placed
// left or right of the title by the title's alignment.
#pragma once

#include <cstdint>

#include "Platform/UIKit/Button.h"

class QBAlertViewButton : public ui::Button {
 public:
  QBAlertViewButton();
  // 0: the icon left of the title; 1: right of it.
  uint64_t iconPosition() const { return iconPosition_; }
  void setIconPosition(uint64_t p) { iconPosition_ = p; }
  using ui::Button::setBackgroundColor;
  void setBackgroundColor(ui::ColorPtr color, uint32_t state);
  // After the standard layout, moves icon and title apart (8 points) and
  // to the side the title's alignment asks for.
  void layoutSubviews() override;

 private:
  uint64_t iconPosition_ = 0;
};

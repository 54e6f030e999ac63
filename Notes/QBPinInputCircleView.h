// One small circle of the passcode entry: a ring in the tint colour, filled
// with it once its digit is typed.
#pragma once

#include <string>

#include "Platform/UIKit/View.h"

class QBPinInputCircleView : public ui::View {
 public:
  QBPinInputCircleView();
  std::string typeName() const override { return "QBPinInputCircleView"; }

  // 16 points on a pad, 12.5 otherwise.
  static double diameter();

  bool isFilled() const { return filled_; }
  void setFilled(bool filled);

  ui::Size intrinsicContentSize() const { return {diameter(), diameter()}; }
  ui::Size sizeThatFits(ui::Size) const override { return intrinsicContentSize(); }
  void tintColorDidChange() override;

 private:
  bool filled_ = false;
};

// An on/off switch; a tap flips it and sends value-changed.
#pragma once

#include "Platform/UIKit/Control.h"

namespace ui {

class Switch : public Control {
 public:
  Switch() : Control(Rect(0, 0, 51, 31)) {}
  std::string typeName() const override { return "Switch"; }
  bool isOn() const { return on_; }
  void setOn(bool on, bool animated = false) {
    (void)animated;
    on_ = on;
  }
  ColorPtr onTintColor() const { return onTint_; }
  void setOnTintColor(ColorPtr c) { onTint_ = std::move(c); }
  ColorPtr thumbTintColor() const { return thumbTint_; }
  void setThumbTintColor(ColorPtr c) { thumbTint_ = std::move(c); }
  bool tap() override;
  Size sizeThatFits(Size) const override { return {51, 31}; }
  // "Switch[on]" or "Switch[off]".
  std::string screenText() const override;
  void drawRect(const Rect& rect) override;

 private:
  bool on_ = false;
  ColorPtr onTint_, thumbTint_;
};

// A slider between a minimum and a maximum.
class Slider : public Control {
 public:
  Slider() : Control(Rect(0, 0, 118, 31)) {}
  std::string typeName() const override { return "Slider"; }
  float value() const { return value_; }
  // Clamped to the range.
  void setValue(float value, bool animated = false);
  float minimumValue() const { return min_; }
  void setMinimumValue(float v) { min_ = v; }
  float maximumValue() const { return max_; }
  void setMaximumValue(float v) { max_ = v; }
  bool isContinuous() const { return continuous_; }
  void setContinuous(bool c) { continuous_ = c; }
  // A person drags the thumb to `value`: value-changed is sent.
  void slide(float value);
  // The value whose thumb stands at `x` (the slider's coordinates, as
  // drawn), clamped to the range.
  float valueAt(double x) const;
  std::string screenText() const override;
  void drawRect(const Rect& rect) override;

 private:
  float value_ = 0, min_ = 0, max_ = 1;
  bool continuous_ = true;
};

}  // namespace ui

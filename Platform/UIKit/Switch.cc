#include "Platform/UIKit/Switch.h"

#include <algorithm>
#include <cstdio>

namespace ui {

bool Switch::tap() {
  if (!isEnabled() || !isUserInteractionEnabled()) return false;
  auto keep = shared_from_this();
  on_ = !on_;
  sendActionsForControlEvents(kControlEventValueChanged);
  return true;
}

std::string Switch::screenText() const {
  std::string out = on_ ? "Switch[on]" : "Switch[off]";
  if (!accessibilityIdentifier().empty()) out += " " + accessibilityIdentifier();
  if (!isEnabled()) out += "(disabled)";
  return out;
}

void Slider::setValue(float value, bool) { value_ = std::clamp(value, min_, max_); }

void Slider::slide(float value) {
  if (!isEnabled()) return;
  setValue(value);
  sendActionsForControlEvents(kControlEventValueChanged);
}

std::string Slider::screenText() const {
  char buf[64];
  std::snprintf(buf, sizeof buf, "Slider[%g in %g...%g]", value_, min_, max_);
  return buf;
}

}  // namespace ui

#include "Platform/UIKit/Control.h"

#include <algorithm>

namespace ui {

void Control::addTarget(const void* target, Action action, uint32_t events) {
  if (action) actions_.push_back({target, std::move(action), events});
}

void Control::removeTarget(const void* target, uint32_t events) {
  for (auto& r : actions_) {
    if (target == nullptr || r.target == target) r.events &= ~events;
  }
  actions_.erase(std::remove_if(actions_.begin(), actions_.end(), [](const auto& r) { return r.events == 0; }),
                 actions_.end());
}

bool Control::hasActions(uint32_t events) const {
  return std::any_of(actions_.begin(), actions_.end(), [&](const auto& r) { return r.events & events; });
}

void Control::sendActionsForControlEvents(uint32_t events) {
  auto keep = shared_from_this();
  auto list = actions_;
  for (auto& r : list) {
    if (r.events & events) r.action(*this);
  }
}

uint32_t Control::state() const {
  uint32_t s = kControlStateNormal;
  if (highlighted_) s |= kControlStateHighlighted;
  if (!enabled_) s |= kControlStateDisabled;
  if (selected_) s |= kControlStateSelected;
  return s;
}

bool Control::performTap(Point) { return tap(); }

bool Control::tap() {
  if (!enabled_ || !isUserInteractionEnabled()) return false;
  auto keep = shared_from_this();
  setHighlighted(true);
  sendActionsForControlEvents(kControlEventTouchDown);
  setHighlighted(false);
  sendActionsForControlEvents(kControlEventTouchUpInside | kControlEventPrimaryActionTriggered);
  return true;
}

std::string controlName(const std::string& label, const std::string& title, const std::string& imageName,
                        const std::string& identifier) {
  if (!label.empty()) return title.empty() || title == label ? label : label + " " + title;
  if (!title.empty()) return title;
  if (!imageName.empty()) return "(" + imageName + ")";
  return identifier;
}

}  // namespace ui

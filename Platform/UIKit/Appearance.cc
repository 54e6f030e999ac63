#include "Platform/UIKit/Appearance.h"

#include "Platform/UIKit/View.h"

namespace ui {

Appearance& Appearance::shared() {
  static Appearance appearance;
  return appearance;
}

void Appearance::addRule(std::function<void(View&)> apply, Test matches, Test container) {
  std::lock_guard<std::mutex> lock(mutex_);
  rules_.push_back({std::move(apply), std::move(matches), std::move(container)});
}

void Appearance::reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  rules_.clear();
}

void Appearance::apply(View& view) {
  std::vector<Rule> rules;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    rules = rules_;
  }
  for (const Rule& rule : rules) {
    if (!rule.matches(view)) continue;
    if (rule.container) {
      bool inside = false;
      for (View* v = view.superview(); v && !inside; v = v->superview()) inside = rule.container(*v);
      if (!inside) continue;
    }
    rule.apply(view);
  }
}

}  // namespace ui

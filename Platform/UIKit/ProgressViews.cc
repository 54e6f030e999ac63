#include "Platform/UIKit/ProgressViews.h"

#include <algorithm>
#include <cmath>

namespace ui {

void ProgressView::setProgress(float p, bool) { progress_ = std::clamp(p, 0.0f, 1.0f); }

std::string ProgressView::screenText() const {
  return "Progress[" + std::to_string(int(std::lround(progress_ * 100))) + "%]";
}

ActivityIndicatorView::ActivityIndicatorView(ActivityIndicatorViewStyle style) : style_(style) {
  double side = style == ActivityIndicatorViewStyle::WhiteLarge || style == ActivityIndicatorViewStyle::Large ? 37 : 20;
  setFrame(Rect(0, 0, side, side));
  setHidden(true);
}

void ActivityIndicatorView::setHidesWhenStopped(bool h) {
  hidesWhenStopped_ = h;
  if (!animating_) setHidden(h);
}

void ActivityIndicatorView::startAnimating() {
  animating_ = true;
  setHidden(false);
}

void ActivityIndicatorView::stopAnimating() {
  animating_ = false;
  if (hidesWhenStopped_) setHidden(true);
}

}  // namespace ui

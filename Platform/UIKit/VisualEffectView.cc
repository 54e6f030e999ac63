#include "Platform/UIKit/VisualEffectView.h"

namespace ui {

VisualEffectView::VisualEffectView(std::optional<BlurEffectStyle> effect) : effect_(effect) {
  setOpaque(false);
  content_ = View::make();
  content_->setAutoresizingMask(kAutoresizingFlexibleWidth | kAutoresizingFlexibleHeight);
  addSubview(content_);
}

}  // namespace ui

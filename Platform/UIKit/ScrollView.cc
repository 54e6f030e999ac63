#include "Platform/UIKit/ScrollView.h"

#include <algorithm>

#include "Platform/UIKit/Application.h"

namespace ui {

void ScrollView::setContentOffset(Point offset, bool animated) {
  (void)animated;
  Rect b = bounds();
  if (b.origin == offset) return;
  setBounds(Rect(offset, b.size));
  setNeedsLayout();
  didScroll();
  if (auto d = scrollDelegate()) d->scrollViewDidScroll(*this);
  if (animated) {
    if (auto d = scrollDelegate()) d->scrollViewDidEndScrollingAnimation(*this);
  }
}

Point ScrollView::maximumContentOffset() const {
  double maxY = contentSize_.height + contentInset_.bottom - bounds().height();
  double maxX = contentSize_.width + contentInset_.right - bounds().width();
  return {std::max(-contentInset_.left, maxX), std::max(-contentInset_.top, maxY)};
}

void ScrollView::scrollRectToVisible(const Rect& rect, bool animated) {
  // What the bottom inset covers (the keyboard) is out of sight.
  Rect b = bounds();
  Point o = b.origin;
  double shown = std::max(0.0, b.height() - contentInset_.bottom);
  if (rect.minY() < b.minY()) o.y = rect.minY();
  else if (rect.maxY() > b.minY() + shown) o.y = rect.maxY() - shown;
  Point max = maximumContentOffset();
  o.y = std::clamp(o.y, -contentInset_.top, std::max(-contentInset_.top, max.y));
  setContentOffset(o, animated);
}

void ScrollView::drag(double dy) {
  if (!scrollEnabled_) return;
  beginDragging();
  dragBy(dy);
  endDragging();
}

void ScrollView::beginDragging() {
  if (!scrollEnabled_ || dragging_) return;
  dragging_ = true;
  if (auto d = scrollDelegate()) d->scrollViewWillBeginDragging(*this);
  if (dismissMode_ != ScrollViewKeyboardDismissMode::None) endEditing(true);
}

void ScrollView::dragBy(double dy) {
  if (!dragging_) return;
  Point o = contentOffset();
  Point max = maximumContentOffset();
  o.y = std::clamp(o.y + dy, -contentInset_.top, max.y);
  setContentOffset(o);
}

void ScrollView::endDragging() {
  if (!dragging_) return;
  dragging_ = false;
  if (auto d = scrollDelegate()) d->scrollViewDidEndDragging(*this, false);
}

}  // namespace ui

#include "Platform/UIKit/NavigationItem.h"

namespace ui {

void NavigationItem::setLeftBarButtonItems(BarButtonItems items, bool) { left_ = std::move(items); }

void NavigationItem::setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item, bool) {
  left_.clear();
  if (item) left_.push_back(std::move(item));
}

void NavigationItem::setRightBarButtonItems(BarButtonItems items, bool) { right_ = std::move(items); }

void NavigationItem::setRightBarButtonItem(std::shared_ptr<BarButtonItem> item, bool) {
  right_.clear();
  if (item) right_.push_back(std::move(item));
}

}  // namespace ui

#include "Platform/UIKit/BarButtonItem.h"

#include "Platform/UIKit/Control.h"

namespace ui {

std::shared_ptr<BarButtonItem> BarButtonItem::withTitle(std::string title, BarButtonItemStyle style,
                                                        Action action) {
  auto item = std::make_shared<BarButtonItem>();
  item->title_ = std::move(title);
  item->style_ = style;
  item->action_ = std::move(action);
  return item;
}

std::shared_ptr<BarButtonItem> BarButtonItem::withImage(std::shared_ptr<const Image> image,
                                                        BarButtonItemStyle style, Action action) {
  auto item = std::make_shared<BarButtonItem>();
  item->image_ = std::move(image);
  item->style_ = style;
  item->action_ = std::move(action);
  return item;
}

std::shared_ptr<BarButtonItem> BarButtonItem::withSystemItem(BarButtonSystemItem system, Action action) {
  auto item = std::make_shared<BarButtonItem>();
  item->systemItem_ = system;
  item->action_ = std::move(action);
  if (system == BarButtonSystemItem::Done || system == BarButtonSystemItem::Save)
    item->style_ = BarButtonItemStyle::Done;
  return item;
}

std::shared_ptr<BarButtonItem> BarButtonItem::withCustomView(std::shared_ptr<View> view) {
  auto item = std::make_shared<BarButtonItem>();
  item->customView_ = std::move(view);
  return item;
}

std::string systemItemName(BarButtonSystemItem item) {
  static const char* const names[] = {
      "Done", "Cancel", "Edit", "Save", "Add", "", "", "Compose", "Reply", "Share", "Organize",
      "Bookmarks", "Search", "Refresh", "Stop", "Camera", "Trash", "Play", "Pause", "Rewind",
      "Fast Forward", "Undo", "Redo"};
  return names[static_cast<int>(item)];
}

std::string BarButtonItem::displayTitle() const {
  if (!title_.empty()) return title_;
  if (systemItem_) return systemItemName(*systemItem_);
  if (!accessibilityIdentifier_.empty()) return accessibilityIdentifier_;
  if (image_) return "image";
  return {};
}

std::string BarButtonItem::screenName() const {
  return controlName(accessibilityLabel_, displayTitle(), {}, accessibilityIdentifier_);
}

bool BarButtonItem::matchesText(const std::string& text) const {
  if (text.empty()) return false;
  return text == displayTitle() || text == accessibilityIdentifier_ || text == accessibilityLabel_ ||
         text == screenName();
}

bool BarButtonItem::press() {
  if (!enabled_ || !action_) return false;
  auto keep = shared_from_this();
  action_(*this);
  return true;
}

}  // namespace ui

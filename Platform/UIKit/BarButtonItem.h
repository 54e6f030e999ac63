// A button of a navigation bar or toolbar: a title, an image, a system
// item or a custom view, with an action. The input layer presses items by
// their title (a system item by its name: "Add", "Edit", "Done", ...).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Platform/UIKit/Color.h"

namespace ui {

class Image;
class View;

enum class BarButtonSystemItem {
  Done = 0, Cancel, Edit, Save, Add, FlexibleSpace, FixedSpace, Compose, Reply, Action,
  Organize, Bookmarks, Search, Refresh, Stop, Camera, Trash, Play, Pause, Rewind,
  FastForward, Undo, Redo,
};

enum class BarButtonItemStyle { Plain = 0, Bordered = 1, Done = 2 };

class BarButtonItem : public std::enable_shared_from_this<BarButtonItem> {
 public:
  using Action = std::function<void(BarButtonItem&)>;

  static std::shared_ptr<BarButtonItem> withTitle(std::string title, BarButtonItemStyle style,
                                                  Action action);
  static std::shared_ptr<BarButtonItem> withImage(std::shared_ptr<const Image> image,
                                                  BarButtonItemStyle style, Action action);
  static std::shared_ptr<BarButtonItem> withSystemItem(BarButtonSystemItem item, Action action);
  static std::shared_ptr<BarButtonItem> withCustomView(std::shared_ptr<View> view);

  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  std::shared_ptr<const Image> image() const { return image_; }
  void setImage(std::shared_ptr<const Image> image) { image_ = std::move(image); }
  std::optional<BarButtonSystemItem> systemItem() const { return systemItem_; }
  BarButtonItemStyle style() const { return style_; }
  void setStyle(BarButtonItemStyle s) { style_ = s; }
  std::shared_ptr<View> customView() const { return customView_; }
  void setCustomView(std::shared_ptr<View> v) { customView_ = std::move(v); }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool e) { enabled_ = e; }
  std::shared_ptr<const Color> tintColor() const { return tint_; }
  void setTintColor(std::shared_ptr<const Color> c) { tint_ = std::move(c); }
  int64_t tag() const { return tag_; }
  void setTag(int64_t t) { tag_ = t; }
  double width() const { return width_; }
  void setWidth(double w) { width_ = w; }
  const std::string& accessibilityIdentifier() const { return accessibilityIdentifier_; }
  void setAccessibilityIdentifier(std::string id) { accessibilityIdentifier_ = std::move(id); }
  // What the item does, when its title does not say it (a counter).
  const std::string& accessibilityLabel() const { return accessibilityLabel_; }
  void setAccessibilityLabel(std::string label) { accessibilityLabel_ = std::move(label); }
  void setAction(Action action) { action_ = std::move(action); }
  bool hasAction() const { return bool(action_); }

  // The text a person sees: the title, else the system item's name, else
  // "image" for an image-only item.
  std::string displayTitle() const;
  // What the screen prints for it and a tap accepts (ui::controlName): the
  // label with the title, else the title.
  std::string screenName() const;
  bool matchesText(const std::string& text) const;
  // Presses the item: runs the action when enabled; false otherwise.
  bool press();

 private:
  std::string title_;
  std::shared_ptr<const Image> image_;
  std::optional<BarButtonSystemItem> systemItem_;
  BarButtonItemStyle style_ = BarButtonItemStyle::Plain;
  std::shared_ptr<View> customView_;
  bool enabled_ = true;
  std::shared_ptr<const Color> tint_;
  int64_t tag_ = 0;
  double width_ = 0;
  std::string accessibilityIdentifier_;
  std::string accessibilityLabel_;
  Action action_;
};

// The name of a system item as the renderer and the input layer use it.
std::string systemItemName(BarButtonSystemItem item);

}  // namespace ui

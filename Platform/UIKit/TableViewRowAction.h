// Actions revealed by swiping a table row: the older row actions (title,
// style, handler with the index path) and contextual actions grouped in a
// swipe configuration (handler with a completion).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/IndexPath.h"

namespace ui {

class View;

enum class TableViewRowActionStyle { Default = 0, Destructive = 0, Normal = 1 };

class TableViewRowAction {
 public:
  using Handler = std::function<void(TableViewRowAction&, const IndexPath&)>;
  TableViewRowAction(TableViewRowActionStyle style, std::string title, Handler handler)
      : style_(style), title_(std::move(title)), handler_(std::move(handler)) {}
  static std::shared_ptr<TableViewRowAction> make(TableViewRowActionStyle style, std::string title,
                                                  Handler handler) {
    return std::make_shared<TableViewRowAction>(style, std::move(title), std::move(handler));
  }
  TableViewRowActionStyle style() const { return style_; }
  const std::string& title() const { return title_; }
  void setTitle(std::string t) { title_ = std::move(t); }
  std::shared_ptr<const Color> backgroundColor() const { return background_; }
  void setBackgroundColor(std::shared_ptr<const Color> c) { background_ = std::move(c); }
  void perform(const IndexPath& path) {
    if (handler_) handler_(*this, path);
  }

 private:
  TableViewRowActionStyle style_;
  std::string title_;
  Handler handler_;
  std::shared_ptr<const Color> background_;
};

enum class ContextualActionStyle { Normal = 0, Destructive = 1 };

class ContextualAction {
 public:
  using Completion = std::function<void(bool actionPerformed)>;
  using Handler = std::function<void(ContextualAction&, View& sourceView, Completion completion)>;
  ContextualAction(ContextualActionStyle style, std::string title, Handler handler)
      : style_(style), title_(std::move(title)), handler_(std::move(handler)) {}
  static std::shared_ptr<ContextualAction> make(ContextualActionStyle style, std::string title,
                                                Handler handler) {
    return std::make_shared<ContextualAction>(style, std::move(title), std::move(handler));
  }
  ContextualActionStyle style() const { return style_; }
  const std::string& title() const { return title_; }
  ImagePtr image() const { return image_; }
  void setImage(ImagePtr i) { image_ = std::move(i); }
  std::shared_ptr<const Color> backgroundColor() const { return background_; }
  void setBackgroundColor(std::shared_ptr<const Color> c) { background_ = std::move(c); }
  void perform(View& source, Completion completion) {
    if (handler_) handler_(*this, source, std::move(completion));
  }

 private:
  ContextualActionStyle style_;
  std::string title_;
  Handler handler_;
  ImagePtr image_;
  std::shared_ptr<const Color> background_;
};

struct SwipeActionsConfiguration {
  std::vector<std::shared_ptr<ContextualAction>> actions;
  bool performsFirstActionWithFullSwipe = true;
};

}  // namespace ui

// What a controller shows in a navigation bar while it is on top: title or
// title view, prompt, left and right bar button items, the back item its
// successors show, and whether the back button is hidden.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/UIKit/BarButtonItem.h"

namespace ui {

class SearchController;
class View;

using BarButtonItems = std::vector<std::shared_ptr<BarButtonItem>>;

class NavigationItem {
 public:
  const std::string& title() const { return title_; }
  void setTitle(std::string t) { title_ = std::move(t); }
  const std::string& prompt() const { return prompt_; }
  void setPrompt(std::string p) { prompt_ = std::move(p); }
  // The prompt as the bar shows it, on one line: its first line (a note's
  // title keeps its line break).
  std::string promptLine() const { return prompt_.substr(0, prompt_.find_first_of("\r\n")); }
  std::shared_ptr<View> titleView() const { return titleView_; }
  void setTitleView(std::shared_ptr<View> v) { titleView_ = std::move(v); }

  const BarButtonItems& leftBarButtonItems() const { return left_; }
  void setLeftBarButtonItems(BarButtonItems items, bool animated = false);
  std::shared_ptr<BarButtonItem> leftBarButtonItem() const { return left_.empty() ? nullptr : left_[0]; }
  void setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item, bool animated = false);
  const BarButtonItems& rightBarButtonItems() const { return right_; }
  void setRightBarButtonItems(BarButtonItems items, bool animated = false);
  // The first right item is the outermost one.
  std::shared_ptr<BarButtonItem> rightBarButtonItem() const {
    return right_.empty() ? nullptr : right_[0];
  }
  void setRightBarButtonItem(std::shared_ptr<BarButtonItem> item, bool animated = false);

  // The item shown to go back to this controller (null: its title).
  std::shared_ptr<BarButtonItem> backBarButtonItem() const { return back_; }
  void setBackBarButtonItem(std::shared_ptr<BarButtonItem> item) { back_ = std::move(item); }
  bool hidesBackButton() const { return hidesBack_; }
  void setHidesBackButton(bool h, bool animated = false) {
    (void)animated;
    hidesBack_ = h;
  }
  bool leftItemsSupplementBackButton() const { return supplementBack_; }
  void setLeftItemsSupplementBackButton(bool s) { supplementBack_ = s; }
  std::shared_ptr<SearchController> searchController() const { return search_; }
  void setSearchController(std::shared_ptr<SearchController> s) { search_ = std::move(s); }

 private:
  std::string title_;
  std::string prompt_;
  std::shared_ptr<View> titleView_;
  BarButtonItems left_, right_;
  std::shared_ptr<BarButtonItem> back_;
  bool hidesBack_ = false;
  bool supplementBack_ = false;
  std::shared_ptr<SearchController> search_;
};

}  // namespace ui

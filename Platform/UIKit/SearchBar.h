// A search field with an optional cancel button. It takes typing while
// first responder and tells its delegate of each change, the search key and
// the cancel button.
#pragma once

#include <memory>
#include <string>

#include "Platform/UIKit/TextInput.h"
#include "Platform/UIKit/TextInputTraits.h"
#include "Platform/UIKit/View.h"

namespace ui {

class SearchBar;

class SearchBarDelegate {
 public:
  virtual ~SearchBarDelegate() = default;
  virtual bool searchBarShouldBeginEditing(SearchBar&) { return true; }
  virtual void searchBarTextDidBeginEditing(SearchBar&) {}
  virtual void searchBarTextDidEndEditing(SearchBar&) {}
  virtual void textDidChange(SearchBar&, const std::string& text) { (void)text; }
  virtual void searchButtonClicked(SearchBar&) {}
  virtual void cancelButtonClicked(SearchBar&) {}
};

enum class SearchBarStyle { Default = 0, Prominent = 1, Minimal = 2 };

class SearchBar : public View, public TextInput, public TextInputTraits {
 public:
  SearchBar();
  std::string typeName() const override { return "SearchBar"; }

  const std::string& text() const { return text_; }
  // Sets the text and tells the delegate, as the platform does.
  void setText(std::string text);
  const std::string& placeholder() const { return placeholder_; }
  void setPlaceholder(std::string p) { placeholder_ = std::move(p); }
  SearchBarStyle searchBarStyle() const { return style_; }
  void setSearchBarStyle(SearchBarStyle s) { style_ = s; }
  bool showsCancelButton() const { return showsCancel_; }
  // The cancel button is a real button (the input layer taps "Cancel").
  void setShowsCancelButton(bool s, bool animated = false);
  ColorPtr barTintColor() const { return barTint_; }
  void setBarTintColor(ColorPtr c) { barTint_ = std::move(c); }
  void setDelegate(std::weak_ptr<SearchBarDelegate> d) { delegate_ = std::move(d); }
  std::shared_ptr<SearchBarDelegate> delegate() const { return delegate_.lock(); }

  void insertText(const std::string& text) override;
  void deleteBackward() override;
  bool hasText() const override { return !text_.empty(); }
  // The search key.
  void pressReturn() override;
  // The cancel button.
  void cancel();

  bool canBecomeFirstResponder() const override { return true; }
  bool becomeFirstResponder() override;
  bool resignFirstResponder() override;
  bool wantsKeyboard() const override { return true; }
  bool performTap(Point location) override;
  Size sizeThatFits(Size size) const override { return {size.width > 0 ? size.width : 320, 56}; }
  // SearchBar [Search] "text"
  std::string screenText() const override;
  bool rendersSubviews() const override { return false; }
  bool matchesText(const std::string& text) const override;
  void drawRect(const Rect& rect) override;
  void layoutSubviews() override;

 private:
  std::string text_;
  std::string placeholder_ = "Search";
  SearchBarStyle style_ = SearchBarStyle::Default;
  bool showsCancel_ = false;
  std::shared_ptr<View> cancelButton_;
  ColorPtr barTint_;
  std::weak_ptr<SearchBarDelegate> delegate_;
};

}  // namespace ui

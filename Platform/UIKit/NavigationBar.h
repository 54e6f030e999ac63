// The bar on top of a navigation controller: it shows the top controller's
// navigation item (title, prompt, left and right items) and a back button
// titled after the controller below. A bar placed on a screen by itself
// (no navigation controller) shows the items given to it, the last on top,
// with no back button. Bar colours and images are kept for looks; the
// renderer prints "NavigationBar: [< Back] "Title" [Edit] [Add]" (a title
// view in place of the title shows as what it shows).
#pragma once

#include <memory>
#include <vector>

#include "Platform/UIKit/View.h"

namespace ui {

class BarButtonItem;
class Image;
class NavigationController;
class NavigationItem;

class NavigationBar : public View {
 public:
  explicit NavigationBar(NavigationController* owner = nullptr);
  std::string typeName() const override { return "NavigationBar"; }

  // The item of the top controller (or the last item), or null.
  NavigationItem* topItem() const;
  // The items of a bar without a navigation controller.
  const std::vector<std::shared_ptr<NavigationItem>>& items() const { return items_; }
  void setItems(std::vector<std::shared_ptr<NavigationItem>> items) { items_ = std::move(items); }
  // What is shown on each side: the back item (when shown) first on the left.
  std::vector<std::shared_ptr<BarButtonItem>> leftItems() const;
  std::vector<std::shared_ptr<BarButtonItem>> rightItems() const;
  // The back button, or null when none shows.
  std::shared_ptr<BarButtonItem> backItem() const;
  std::string title() const;
  // The item a touch at `p` (the bar's coordinates) lands on, where the
  // bar draws it, or null.
  std::shared_ptr<BarButtonItem> itemAt(Point p) const;

  ColorPtr barTintColor() const { return barTint_; }
  void setBarTintColor(ColorPtr c) { barTint_ = std::move(c); }
  std::shared_ptr<const Image> backgroundImage() const { return background_; }
  void setBackgroundImage(std::shared_ptr<const Image> i) { background_ = std::move(i); }
  std::shared_ptr<const Image> shadowImage() const { return shadow_; }
  void setShadowImage(std::shared_ptr<const Image> i) { shadow_ = std::move(i); }
  bool isTranslucent() const { return translucent_; }
  void setTranslucent(bool t) { translucent_ = t; }
  bool prefersLargeTitles() const { return largeTitles_; }
  void setPrefersLargeTitles(bool l) { largeTitles_ = l; }

  std::string screenText() const override;
  void drawRect(const Rect& rect) override;
  bool rendersSubviews() const override { return false; }

 private:
  NavigationController* owner_;
  std::vector<std::shared_ptr<NavigationItem>> items_;
  ColorPtr barTint_;
  std::shared_ptr<const Image> background_;
  std::shared_ptr<const Image> shadow_;
  bool translucent_ = true;
  bool largeTitles_ = false;
  mutable std::shared_ptr<BarButtonItem> back_;
};

}  // namespace ui

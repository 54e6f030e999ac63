// Containers that hold several controllers and show one of them: a tab bar
// controller shows the selected one, a page view controller the current
// page. Only the shown child's view is inside the container's view, so only
// it gets the appearance callbacks; switching while on screen runs them for
// the leaving and the arriving child.
#pragma once

#include <memory>
#include <vector>

#include "Platform/UIKit/ViewController.h"

namespace ui {

class SingleChildContainer : public ViewController {
 public:
  void loadView() override;

 protected:
  // Makes `controllers` the children and shows `shown` (one of them, or
  // null for none).
  void setChildren(std::vector<std::shared_ptr<ViewController>> controllers, ViewController* shown);
  void show(ViewController* child);
  ViewController* shown() const { return shown_; }

 private:
  ViewController* shown_ = nullptr;
};

class TabBarController : public SingleChildContainer {
 public:
  std::string typeName() const override { return "TabBarController"; }
  const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return controllers_; }
  // Selects the first one.
  void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers);
  std::shared_ptr<ViewController> selectedViewController() const;
  // Out-of-range indexes are ignored.
  void setSelectedIndex(size_t index);

 private:
  std::vector<std::shared_ptr<ViewController>> controllers_;
};

class PageViewController : public SingleChildContainer {
 public:
  std::string typeName() const override { return "PageViewController"; }
  // The shown pages: the first is the current one.
  const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return pages_; }
  void setViewControllers(std::vector<std::shared_ptr<ViewController>> pages);

 private:
  std::vector<std::shared_ptr<ViewController>> pages_;
};

}  // namespace ui

// A stack of controllers with a navigation bar: push, pop, pop to one or
// to the root, replace the stack. Only the top controller's view is shown
// (under the bar) and only it gets the appearance callbacks; a push or pop
// while the navigation controller is on screen runs them (see
// ViewController.h for the order) and tells the delegate before and after.
#pragma once

#include <memory>
#include <vector>

#include "Platform/UIKit/ViewController.h"

namespace ui {

class NavigationBar;
class NavigationController;
class Toolbar;

class NavigationControllerDelegate {
 public:
  virtual ~NavigationControllerDelegate() = default;
  virtual void willShowViewController(NavigationController&, ViewController&, bool animated) {
    (void)animated;
  }
  virtual void didShowViewController(NavigationController&, ViewController&, bool animated) {
    (void)animated;
  }
};

using ViewControllers = std::vector<std::shared_ptr<ViewController>>;

class NavigationController : public ViewController {
 public:
  NavigationController();
  explicit NavigationController(std::shared_ptr<ViewController> root);
  std::string typeName() const override { return "NavigationController"; }

  const ViewControllers& viewControllers() const { return stack_; }
  void setViewControllers(ViewControllers controllers, bool animated = false);
  std::shared_ptr<ViewController> topViewController() const;
  // The top controller's presented controller, else the top controller.
  std::shared_ptr<ViewController> visibleViewController() const;

  // Throws ns::Exception when the controller is already in the stack.
  void pushViewController(std::shared_ptr<ViewController> controller, bool animated);
  // Null when only the root is left.
  std::shared_ptr<ViewController> popViewController(bool animated);
  // The popped controllers, bottom first; empty when `controller` is not
  // in the stack or already on top.
  ViewControllers popToViewController(const ViewController* controller, bool animated);
  ViewControllers popToRootViewController(bool animated);

  NavigationBar& navigationBar() { return *bar_; }
  std::shared_ptr<NavigationBar> navigationBarShared() const { return bar_; }
  bool isNavigationBarHidden() const;
  void setNavigationBarHidden(bool hidden, bool animated = false);
  bool isToolbarHidden() const { return toolbarHidden_; }
  void setToolbarHidden(bool hidden, bool animated = false) {
    (void)animated;
    toolbarHidden_ = hidden;
  }

  void setDelegate(std::weak_ptr<NavigationControllerDelegate> d) { delegate_ = std::move(d); }
  std::shared_ptr<NavigationControllerDelegate> delegate() const { return delegate_.lock(); }

  void loadView() override;
  std::vector<ViewController*> appearanceChildren() const override;
  void showViewController(std::shared_ptr<ViewController> controller, void* sender) override;

  // Whether a transition is running (pushes and pops wait for none).
  bool isTransitioning() const { return transitioning_ > 0; }

 private:
  // Replaces the shown controller by the new top, with callbacks when on
  // screen; `leaving` are removed from the children afterwards.
  void transition(std::shared_ptr<ViewController> from, ViewControllers leaving, bool animated,
                  bool pushing);
  void layoutChild(ViewController& child);

  ViewControllers stack_;
  std::shared_ptr<NavigationBar> bar_;
  bool toolbarHidden_ = true;
  std::weak_ptr<NavigationControllerDelegate> delegate_;
  int transitioning_ = 0;
};

}  // namespace ui

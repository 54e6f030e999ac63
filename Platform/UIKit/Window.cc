#include "Platform/UIKit/Window.h"

#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/ViewController.h"

namespace ui {

Window::Window() : Window(Screen::main().bounds()) {}

Window::Window(const Rect& frame) : View(frame) { View::setHidden(true); }

Window::~Window() = default;

void Window::setRootViewController(std::shared_ptr<ViewController> controller) {
  if (controller == root_) return;
  bool visible = !isHidden();
  if (root_) {
    if (visible) root_->beginAppearanceTransition(false, false);
    root_->view()->removeFromSuperview();
    if (visible) root_->endAppearanceTransition();
  }
  root_ = std::move(controller);
  if (root_) {
    auto view = root_->view();
    view->setFrame(bounds());
    view->setAutoresizingMask(kAutoresizingFlexibleWidth | kAutoresizingFlexibleHeight);
    if (visible) root_->beginAppearanceTransition(true, false);
    insertSubview(view, 0);
    if (visible) root_->endAppearanceTransition();
  }
}

void Window::rootAppears(bool appearing) {
  if (!root_) return;
  root_->beginAppearanceTransition(appearing, false);
  root_->endAppearanceTransition();
}

void Window::makeKeyWindow() {
  Application::shared().setKeyWindow(std::static_pointer_cast<Window>(shared_from_this()));
}

void Window::makeKeyAndVisible() {
  keyWhenShown_ = true;
  setHidden(false);
  keyWhenShown_ = false;
  makeKeyWindow();
}

bool Window::isKeyWindow() const { return Application::shared().keyWindow().get() == this; }

void Window::setHidden(bool hidden) {
  if (hidden == isHidden()) return;
  auto self = std::static_pointer_cast<Window>(shared_from_this());
  View::setHidden(hidden);
  if (!hidden) {
    Application::shared().addWindow(self);
    if (keyWhenShown_) makeKeyWindow();
    layoutIfNeeded();
    rootAppears(true);
    ns::NotificationCenter::defaultCenter().post(kWindowDidBecomeVisibleNotification, self);
  } else {
    rootAppears(false);
    Application::shared().removeWindow(this);
    ns::NotificationCenter::defaultCenter().post(kWindowDidBecomeHiddenNotification, self);
  }
}

std::shared_ptr<ViewController> Window::topViewController() const {
  auto top = root_;
  while (top && top->presentedViewController()) top = top->presentedViewController();
  return top;
}

}  // namespace ui

#include "Platform/UIKit/NavigationController.h"

#include <algorithm>

#include "Platform/Foundation/Error.h"
#include "Platform/UIKit/NavigationBar.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/detail/Transition.h"

namespace ui {

NavigationController::NavigationController() {
  bar_ = std::make_shared<NavigationBar>(this);
}

NavigationController::NavigationController(std::shared_ptr<ViewController> root) : NavigationController() {
  // Not yet owned: no transition, just the stack.
  if (!root) return;
  addChildViewController(root);
  stack_.push_back(std::move(root));
}

void NavigationController::loadView() {
  auto v = View::make(Screen::main().bounds());
  v->setBackgroundColor(Color::white());
  double top = Screen::main().statusBarHeight();
  bar_->setFrame(Rect(0, top, v->bounds().width(), 44));
  bar_->setAutoresizingMask(kAutoresizingFlexibleWidth | kAutoresizingFlexibleBottomMargin);
  setView(v);
  v->addSubview(bar_);
  if (auto topController = topViewController()) {
    // Loading the top's view may push further controllers (a list that
    // reopens what was open); those placed their own views already.
    auto child = topController->view();
    if (topController == topViewController()) {
      layoutChild(*topController);
      v->insertSubviewBelow(child, bar_.get());
    }
  }
}

void NavigationController::layoutChild(ViewController& child) {
  auto v = child.view();
  // The shown controller's view lies below a shown bar: content here does
  // not run on under the bar.
  Rect area = view()->bounds();
  if (!bar_->isHidden()) {
    double top = std::max(area.minY(), bar_->frame().maxY());
    area = Rect(area.minX(), top, area.width(), std::max(0.0, area.maxY() - top));
  }
  v->setFrame(area);
  v->setAutoresizingMask(kAutoresizingFlexibleWidth | kAutoresizingFlexibleHeight);
}

std::vector<ViewController*> NavigationController::appearanceChildren() const {
  auto top = topViewController();
  if (!top || !isViewLoaded()) return {};
  return {top.get()};
}

std::shared_ptr<ViewController> NavigationController::topViewController() const {
  return stack_.empty() ? nullptr : stack_.back();
}

std::shared_ptr<ViewController> NavigationController::visibleViewController() const {
  auto top = topViewController();
  if (auto presented = presentedViewController()) return presented;
  return top;
}

bool NavigationController::isNavigationBarHidden() const { return bar_->isHidden(); }

void NavigationController::setNavigationBarHidden(bool hidden, bool) {
  if (bar_->isHidden() == hidden) return;
  bar_->setHidden(hidden);
  auto top = topViewController();
  if (isViewLoaded() && top && top->isViewLoaded() && top->view()->superview() == view().get()) layoutChild(*top);
}

void NavigationController::transition(std::shared_ptr<ViewController> from, ViewControllers leaving,
                                      bool animated, bool pushing) {
  auto to = topViewController();
  if (from == to) {
    for (auto& c : leaving) c->removeFromParentViewController();
    return;
  }
  bool onScreen = isViewLoaded() && isVisible();
  auto delegate = delegate_.lock();
  if (delegate && to) delegate->willShowViewController(*this, *to, animated);
  if (from && !pushing) from->movingFromParent_ = true;
  if (to && pushing) to->movingToParent_ = true;
  if (onScreen && from) from->beginAppearanceTransition(false, animated);
  if (onScreen && to) to->beginAppearanceTransition(true, animated);
  if (isViewLoaded() && to) {
    layoutChild(*to);
    view()->insertSubviewBelow(to->view(), bar_.get());
  }
  ++transitioning_;
  auto self = std::static_pointer_cast<NavigationController>(shared());
  detail::afterTransition(animated, kTransitionDuration,
                          [self, from, to, leaving, animated, onScreen, delegate] {
                            --self->transitioning_;
                            if (from && from != self->topViewController() && from->isViewLoaded() &&
                                from->view()->superview() == self->view_.get()) {
                              from->view()->removeFromSuperview();
                            }
                            if (onScreen && from) from->endAppearanceTransition();
                            if (onScreen && to) to->endAppearanceTransition();
                            for (auto& c : leaving) c->removeFromParentViewController();
                            if (from) from->movingFromParent_ = from->movingToParent_ = false;
                            if (to) {
                              to->movingToParent_ = false;
                              to->didMoveToParentViewController(self.get());
                            }
                            if (delegate && to) delegate->didShowViewController(*self, *to, animated);
                          });
}

void NavigationController::setViewControllers(ViewControllers controllers, bool animated) {
  auto from = topViewController();
  ViewControllers leaving;
  for (auto& c : stack_) {
    if (std::find(controllers.begin(), controllers.end(), c) == controllers.end()) leaving.push_back(c);
  }
  for (auto& c : controllers) {
    if (c->parentViewController() != this) addChildViewController(c);
  }
  stack_ = std::move(controllers);
  // The old top still in the stack means the new top came over it.
  bool pushing = from == nullptr || std::find(stack_.begin(), stack_.end(), from) != stack_.end();
  transition(from, leaving, animated, pushing);
}

void NavigationController::pushViewController(std::shared_ptr<ViewController> controller, bool animated) {
  if (!controller) return;
  if (std::find(stack_.begin(), stack_.end(), controller) != stack_.end()) {
    throw ns::Exception("NSInvalidArgumentException",
                        "Pushing the same view controller instance more than once is not supported");
  }
  if (dynamic_cast<NavigationController*>(controller.get()) == nullptr && controller->parentViewController()) {
    controller->removeFromParentViewController();
  }
  auto from = topViewController();
  // A nested stack shows its items in this bar.
  if (auto* inner = dynamic_cast<NavigationController*>(controller.get())) inner->setNavigationBarHidden(true);
  addChildViewController(controller);
  stack_.push_back(controller);
  transition(from, {}, animated, true);
}

std::shared_ptr<ViewController> NavigationController::popViewController(bool animated) {
  if (stack_.size() < 2) return nullptr;
  auto from = stack_.back();
  stack_.pop_back();
  if (auto* inner = dynamic_cast<NavigationController*>(from.get())) inner->setNavigationBarHidden(false);
  transition(from, {from}, animated, false);
  return from;
}

ViewControllers NavigationController::popToViewController(const ViewController* controller, bool animated) {
  auto it = std::find_if(stack_.begin(), stack_.end(), [&](const auto& c) { return c.get() == controller; });
  if (it == stack_.end() || it + 1 == stack_.end()) return {};
  ViewControllers popped(it + 1, stack_.end());
  auto from = stack_.back();
  stack_.erase(it + 1, stack_.end());
  transition(from, popped, animated, false);
  return popped;
}

ViewControllers NavigationController::popToRootViewController(bool animated) {
  if (stack_.empty()) return {};
  return popToViewController(stack_.front().get(), animated);
}

void NavigationController::showViewController(std::shared_ptr<ViewController> controller, void*) {
  pushViewController(std::move(controller), true);
}

}  // namespace ui

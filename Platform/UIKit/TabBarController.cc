#include "Platform/UIKit/TabBarController.h"

#include <algorithm>

#include "Platform/UIKit/View.h"

namespace ui {

void SingleChildContainer::loadView() {
  ViewController::loadView();
  if (shown_) {
    auto v = shown_->view();
    v->setFrame(view()->bounds());
    view()->addSubview(v);
  }
}

void SingleChildContainer::setChildren(std::vector<std::shared_ptr<ViewController>> controllers,
                                       ViewController* shown) {
  // The leaving child and the arriving one change places in one
  // transition, as when a tab is selected: the container never shows
  // nothing in between.
  for (auto& c : controllers) {
    if (c->parentViewController() != this) addChildViewController(c);
  }
  show(shown);
  for (auto child : std::vector<std::shared_ptr<ViewController>>(childViewControllers())) {
    if (std::find(controllers.begin(), controllers.end(), child) == controllers.end())
      child->removeFromParentViewController();
  }
}

void SingleChildContainer::show(ViewController* child) {
  if (child == shown_) return;
  bool onScreen = isViewLoaded() && isVisible();
  ViewController* leaving = shown_;
  shown_ = child;
  if (!isViewLoaded()) return;
  if (leaving && onScreen) leaving->beginAppearanceTransition(false, false);
  if (child && onScreen) child->beginAppearanceTransition(true, false);
  if (leaving && leaving->isViewLoaded()) leaving->view()->removeFromSuperview();
  if (child) {
    auto v = child->view();
    v->setFrame(view()->bounds());
    view()->addSubview(v);
  }
  if (leaving && onScreen) leaving->endAppearanceTransition();
  if (child && onScreen) child->endAppearanceTransition();
}

void TabBarController::setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers) {
  controllers_ = std::move(controllers);
  setChildren(controllers_, controllers_.empty() ? nullptr : controllers_.front().get());
}

std::shared_ptr<ViewController> TabBarController::selectedViewController() const {
  for (auto& c : controllers_)
    if (c.get() == shown()) return c;
  return nullptr;
}

void TabBarController::setSelectedIndex(size_t index) {
  if (index < controllers_.size()) show(controllers_[index].get());
}

void PageViewController::setViewControllers(std::vector<std::shared_ptr<ViewController>> pages) {
  pages_ = std::move(pages);
  setChildren(pages_, pages_.empty() ? nullptr : pages_.front().get());
}

}  // namespace ui

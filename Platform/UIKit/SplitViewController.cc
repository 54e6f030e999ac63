#include "Platform/UIKit/SplitViewController.h"

#include <algorithm>

#include "Platform/Graphics/ImageContext.h"
#include "Platform/UIKit/BarButtonItem.h"
#include "Platform/UIKit/DeviceInfo.h"
#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/View.h"

namespace ui {

namespace {
// The button's glyph: a window with its side pane.
std::shared_ptr<const Image> sidebarImage() {
  const Size size{24, 20};
  cg::ImageContext context(size, false, Screen::main().scale());
  context.setStrokeColor(cg::Rgba::black());
  context.setLineWidth(1.5);
  context.strokePath(cg::Path::roundedRect(Rect(1, 2, 22, 16), 3));
  context.fillRect(Rect(8, 2, 1.5, 16));
  auto image = Image::withBitmap(context.makeImage());
  return image ? image->withRenderingMode(ImageRenderingMode::AlwaysTemplate) : nullptr;
}
}  // namespace

SplitViewController::SplitViewController() = default;

void SplitViewController::setViewControllers(ViewControllers controllers) {
  bool onScreen = isViewLoaded() && isVisible();
  for (auto& c : controllers_) {
    if (std::find(controllers.begin(), controllers.end(), c) == controllers.end()) {
      if (onScreen) c->beginAppearanceTransition(false, false);
      if (c->isViewLoaded()) c->view()->removeFromSuperview();
      if (onScreen) c->endAppearanceTransition();
      c->removeFromParentViewController();
    }
  }
  controllers_ = std::move(controllers);
  for (auto& c : controllers_) {
    if (c->parentViewController() != this) addChildViewController(c);
  }
  collapsed_ = DeviceInfo::current().isPhone();
  if (isViewLoaded()) {
    collapseIfNeeded();
    placeViews();
  }
}

void SplitViewController::collapseIfNeeded() {
  if (!collapsed_ || controllers_.size() < 2) return;
  auto primary = controllers_[0];
  auto secondary = controllers_[1];
  bool handled = false;
  if (auto d = delegate()) handled = d->collapseSecondaryViewController(*this, *secondary, *primary);
  controllers_.resize(1);
  secondary->removeFromParentViewController();
  if (secondary->isViewLoaded() && isViewLoaded() && secondary->view()->superview() == view().get())
    secondary->view()->removeFromSuperview();
  if (!handled) {
    if (auto* nav = dynamic_cast<NavigationController*>(primary.get())) {
      nav->pushViewController(secondary, false);
    }
  }
}

void SplitViewController::loadView() {
  auto v = View::make(Screen::main().bounds());
  v->setBackgroundColor(Color::white());
  setView(v);
  collapsed_ = DeviceInfo::current().isPhone();
  // Collapsing waits for the first appearance, as on the platform, where it
  // follows the window's size class: a delegate set after the view loaded
  // still decides. Until then nothing of a collapsing split is loaded.
  if (!collapsed_ || controllers_.size() < 2) placeViews();
}

void SplitViewController::viewWillAppear(bool animated) {
  ViewController::viewWillAppear(animated);
  if (collapsed_ && controllers_.size() > 1) {
    collapseIfNeeded();
    placeViews();
  } else if (!controllers_.empty() &&
             (!controllers_[0]->isViewLoaded() || controllers_[0]->view()->superview() != view().get())) {
    placeViews();
  }
}

void SplitViewController::placeViews() {
  auto v = view();
  Rect b = v->bounds();
  for (size_t i = 0; i < controllers_.size(); ++i) {
    auto child = controllers_[i]->view();
    Rect frame = b;
    if (!collapsed_ && controllers_.size() > 1) {
      double primaryWidth = std::min(320.0, b.width() * primaryFraction_);
      if (primaryWidth < 320) primaryWidth = 320;
      frame = i == 0 ? Rect(0, 0, primaryWidth, b.height())
                     : (primaryHidden_ ? b : Rect(primaryWidth, 0, b.width() - primaryWidth, b.height()));
    }
    child->setFrame(frame);
    child->setAutoresizingMask(kAutoresizingFlexibleHeight |
                               (i == 0 && !collapsed_ ? kAutoresizingFlexibleRightMargin : kAutoresizingFlexibleWidth));
    child->setHidden(i == 0 && primaryHidden_ && !collapsed_);
    if (child->superview() != v.get()) v->insertSubview(child, i);
  }
  // The display mode button shows only while the panes stand side by side.
  if (displayModeButton_) displayModeButton_->setImage(collapsed_ ? nullptr : sidebarImage());
  // A hairline divides the two panes when both show.
  if (!divider_) {
    divider_ = View::make();
    divider_->setBackgroundColor(Color::withWhite(0, 0.25));
    divider_->setUserInteractionEnabled(false);
    divider_->setAutoresizingMask(kAutoresizingFlexibleHeight | kAutoresizingFlexibleRightMargin);
  }
  bool bothShow = !collapsed_ && controllers_.size() > 1 && !primaryHidden_;
  if (bothShow) {
    double edge = controllers_[0]->view()->frame().maxX();
    divider_->setFrame(Rect(edge - 0.5, 0, 0.5, b.height()));
    v->insertSubview(divider_, controllers_.size());
  } else {
    divider_->removeFromSuperview();
  }
}

std::vector<ViewController*> SplitViewController::appearanceChildren() const {
  std::vector<ViewController*> out;
  for (size_t i = 0; i < controllers_.size(); ++i) {
    if (i == 0 && primaryHidden_ && !collapsed_) continue;
    out.push_back(controllers_[i].get());
  }
  return out;
}

SplitDisplayMode SplitViewController::displayMode() const {
  if (collapsed_) return SplitDisplayMode::AllVisible;
  return primaryHidden_ ? SplitDisplayMode::PrimaryHidden : SplitDisplayMode::AllVisible;
}

void SplitViewController::setPreferredDisplayMode(SplitDisplayMode mode) {
  preferredMode_ = mode;
  bool hide = mode == SplitDisplayMode::PrimaryHidden;
  if (hide == primaryHidden_ || collapsed_) return;
  if (auto d = delegate()) d->willChangeToDisplayMode(*this, hide ? SplitDisplayMode::PrimaryHidden
                                                                  : SplitDisplayMode::AllVisible);
  bool onScreen = isViewLoaded() && isVisible();
  auto primary = controllers_.empty() ? nullptr : controllers_[0];
  if (onScreen && primary) primary->beginAppearanceTransition(!hide, false);
  primaryHidden_ = hide;
  if (isViewLoaded()) placeViews();
  if (onScreen && primary) primary->endAppearanceTransition();
}

std::shared_ptr<BarButtonItem> SplitViewController::displayModeButtonItem() {
  if (!displayModeButton_) {
    std::weak_ptr<Responder> weak = weak_from_this();
    displayModeButton_ = BarButtonItem::withTitle("", BarButtonItemStyle::Plain, [weak](BarButtonItem&) {
      auto self = std::static_pointer_cast<SplitViewController>(weak.lock());
      if (!self) return;
      self->setPreferredDisplayMode(self->primaryHidden_ ? SplitDisplayMode::AllVisible
                                                         : SplitDisplayMode::PrimaryHidden);
    });
    displayModeButton_->setAccessibilityIdentifier("DisplayMode");
    displayModeButton_->setImage(collapsed_ ? nullptr : sidebarImage());
  }
  return displayModeButton_;
}

void SplitViewController::showViewController(std::shared_ptr<ViewController> controller, void* sender) {
  if (controllers_.empty()) return presentViewController(std::move(controller), true);
  controllers_[0]->showViewController(std::move(controller), sender);
}

void SplitViewController::showDetailViewController(std::shared_ptr<ViewController> controller, void* sender) {
  if (!controller) return;
  if (auto d = delegate()) {
    if (d->showDetailViewController(*this, controller, sender)) return;
  }
  if (collapsed_) {
    if (!controllers_.empty()) {
      if (auto* nav = dynamic_cast<NavigationController*>(controllers_[0].get())) {
        nav->pushViewController(std::move(controller), true);
        return;
      }
    }
    presentViewController(std::move(controller), true);
    return;
  }
  ViewControllers next = controllers_;
  if (next.size() < 2) next.push_back(controller);
  else next[1] = controller;
  bool onScreen = isViewLoaded() && isVisible();
  auto old = controllers_.size() > 1 ? controllers_[1] : nullptr;
  if (old && old != controller) {
    if (onScreen) old->beginAppearanceTransition(false, false);
    if (old->isViewLoaded()) old->view()->removeFromSuperview();
    if (onScreen) old->endAppearanceTransition();
    old->removeFromParentViewController();
  }
  controllers_ = next;
  if (controller->parentViewController() != this) addChildViewController(controller);
  if (onScreen) controller->beginAppearanceTransition(true, false);
  if (isViewLoaded()) placeViews();
  if (onScreen) controller->endAppearanceTransition();
}

}  // namespace ui

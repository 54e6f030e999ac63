#include "Platform/UIKit/ViewController.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <typeinfo>

#include "Platform/Foundation/Error.h"
#include "Platform/Runtime/Runtime.h"
#include "Platform/UIKit/DeviceInfo.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/PopoverPresentationController.h"
#include "Platform/UIKit/Previewing.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/SplitViewController.h"
#include "Platform/UIKit/Storyboard.h"
#include "Platform/UIKit/View.h"
#include "Platform/UIKit/Window.h"
#include "Platform/UIKit/detail/Transition.h"

namespace ui {

namespace {

std::shared_ptr<rt::Class> makeViewControllerClass() {
  auto cls = std::make_shared<rt::Class>(kViewControllerClassName);
  cls->setMethod("viewDidAppear:",
                 rt::implementationWithBlock<ViewControllerAppearanceMethod>(
                     [](ViewController& controller, bool animated) { controller.viewDidAppear(animated); }),
                 rt::MethodKind::Instance);
  cls->setMethod("viewDidDisappear:",
                 rt::implementationWithBlock<ViewControllerAppearanceMethod>(
                     [](ViewController& controller, bool animated) { controller.viewDidDisappear(animated); }),
                 rt::MethodKind::Instance);
  rt::registerClass(cls);
  return cls;
}

// Registered before anyone looks for it; the controllers keep it.
const std::shared_ptr<rt::Class>& viewControllerClass() {
  static const std::shared_ptr<rt::Class> cls = makeViewControllerClass();
  return cls;
}
[[maybe_unused]] const bool registered = viewControllerClass() != nullptr;

// Calls the class's current method, so a replaced one runs instead.
void callAppearanceMethod(ViewController& controller, const char* selector, bool animated) {
  auto method = rt::functionOf<ViewControllerAppearanceMethod>(
      rt::methodImplementation(*viewControllerClass(), selector, rt::MethodKind::Instance));
  if (method) method(controller, animated);
}

}  // namespace

ViewController::ViewController() = default;

ViewController::~ViewController() {
  if (view_ && view_->viewController() == this) view_->setViewController(nullptr);
  for (auto& c : children_) c->parent_ = nullptr;
}

std::shared_ptr<View> ViewController::view() {
  if (!view_ && !loadingView_) {
    loadingView_ = true;
    loadView();
    if (!view_) setView(View::make(Screen::main().bounds()));
    loadingView_ = false;
    viewDidLoad();
  }
  return view_;
}

void ViewController::setView(std::shared_ptr<View> view) {
  if (view_ && view_->viewController() == this) view_->setViewController(nullptr);
  view_ = std::move(view);
  if (view_) view_->setViewController(this);
}

void ViewController::loadView() {
  auto v = View::make(Screen::main().bounds());
  v->setBackgroundColor(Color::white());
  setView(v);
}

// Appearance.

std::string ViewController::className() const { return rt::classNameOf(*this); }

bool ViewController::isFromMainBundle() const {
  int status = 0;
  char* demangled = abi::__cxa_demangle(typeid(*this).name(), nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : typeid(*this).name();
  std::free(demangled);
  return !name.starts_with("ui::");
}

std::vector<ViewController*> ViewController::appearanceChildren() const {
  std::vector<ViewController*> out;
  if (!view_) return out;
  for (const auto& c : children_) {
    if (c->isViewLoaded() && c->view_->isDescendantOf(view_.get()) && !c->view_->isHidden())
      out.push_back(c.get());
  }
  return out;
}

void ViewController::beginAppearanceTransition(bool appearing, bool animated) {
  if (appearing) {
    if (appearance_ == AppearanceState::Appeared || appearance_ == AppearanceState::Appearing) return;
    appearance_ = AppearanceState::Appearing;
    view();
    if (presentedInContext_ && presented_ && presented_->isViewLoaded()) presented_->view_->setHidden(false);
    viewWillAppear(animated);
  } else {
    if (appearance_ == AppearanceState::Disappeared || appearance_ == AppearanceState::Disappearing)
      return;
    appearance_ = AppearanceState::Disappearing;
    if (presentedInContext_ && presented_ && presented_->isViewLoaded()) presented_->view_->setHidden(true);
    viewWillDisappear(animated);
  }
  forwardedChildren_.clear();
  for (ViewController* c : appearanceChildren()) {
    forwardedChildren_.push_back(c->shared());
    c->beginAppearanceTransition(appearing, animated);
  }
  transitionAnimated_ = animated;
}

void ViewController::endAppearanceTransition() {
  bool animated = transitionAnimated_;
  if (appearance_ == AppearanceState::Appearing) {
    appearance_ = AppearanceState::Appeared;
    callAppearanceMethod(*this, "viewDidAppear:", animated);
  } else if (appearance_ == AppearanceState::Disappearing) {
    appearance_ = AppearanceState::Disappeared;
    callAppearanceMethod(*this, "viewDidDisappear:", animated);
  } else {
    return;
  }
  auto children = std::move(forwardedChildren_);
  forwardedChildren_.clear();
  for (auto& weak : children) {
    if (auto c = weak.lock()) c->endAppearanceTransition();
  }
}

// Containment.

void ViewController::addChildViewController(std::shared_ptr<ViewController> child) {
  if (!child || child->parent_ == this) return;
  if (child->parent_) child->removeFromParentViewController();
  child->willMoveToParentViewController(this);
  child->parent_ = this;
  children_.push_back(std::move(child));
}

void ViewController::removeFromParentViewController() {
  ViewController* parent = parent_;
  if (!parent) return;
  auto keep = shared();
  parent_ = nullptr;
  auto& list = parent->children_;
  list.erase(std::remove(list.begin(), list.end(), keep), list.end());
  didMoveToParentViewController(nullptr);
}

NavigationController* ViewController::navigationController() const {
  for (ViewController* p = parent_; p; p = p->parent_) {
    if (auto* nav = dynamic_cast<NavigationController*>(p)) return nav;
  }
  return nullptr;
}

SplitViewController* ViewController::splitViewController() const {
  for (const ViewController* p = this; p; p = p->parent_) {
    if (auto* split = dynamic_cast<const SplitViewController*>(p))
      return const_cast<SplitViewController*>(split);
  }
  return nullptr;
}

ViewController* ViewController::rootAncestor() {
  ViewController* v = this;
  while (v->parent_) v = v->parent_;
  return v;
}

const ViewController* ViewController::rootAncestor() const {
  const ViewController* v = this;
  while (v->parent_) v = v->parent_;
  return v;
}

// Presentation.

std::shared_ptr<ViewController> ViewController::presentedViewController() const {
  for (const ViewController* v = this; v; v = v->parent_) {
    if (v->presented_) return v->presented_;
  }
  return nullptr;
}

ViewController* ViewController::presentingViewController() const {
  return rootAncestor()->presenting_;
}

PopoverPresentationController* ViewController::popoverPresentationController() {
  if (!popover_) popover_ = std::make_unique<PopoverPresentationController>();
  return popover_.get();
}

void ViewController::presentViewController(std::shared_ptr<ViewController> controller, bool animated,
                                           std::function<void()> completion) {
  if (!controller) return;
  ModalPresentationStyle style = controller->presentationStyle_;
  // A context presentation belongs to the nearest controller that defines
  // the context: it is hidden while that controller is off screen.
  ViewController* presenter = rootAncestor();
  bool inContext = false;
  if (style == ModalPresentationStyle::OverCurrentContext || style == ModalPresentationStyle::CurrentContext) {
    for (ViewController* v = this; v; v = v->parent_) {
      if (v->definesContext_) {
        presenter = v;
        inContext = true;
        break;
      }
    }
  }
  if (presenter->presented_) {
    std::fprintf(stderr, "Warning: Attempt to present %s on %s which is already presenting %s\n",
                 controller->typeName().c_str(), presenter->typeName().c_str(),
                 presenter->presented_->typeName().c_str());
    return;
  }
  if (controller->presenting_ || controller->parent_) {
    throw ns::Exception("NSInvalidArgumentException",
                        "Application tried to present a controller that is already presented or contained.");
  }
  if (style == ModalPresentationStyle::Popover && DeviceInfo::current().isPad() &&
      !controller->popoverPresentationController()->hasSource()) {
    throw ns::Exception("NSGenericException",
                        "A popover must have location information: a sourceView and sourceRect or a barButtonItem.");
  }
  bool hidesPresenter = style == ModalPresentationStyle::FullScreen ||
                        style == ModalPresentationStyle::CurrentContext;
  presenter->presented_ = controller;
  controller->presenting_ = presenter;
  controller->beingPresented_ = true;
  presenter->presentedHidesPresenter_ = hidesPresenter;
  presenter->presentedInContext_ = inContext;

  bool onScreen = presenter->isVisible();
  if (hidesPresenter && onScreen) presenter->beginAppearanceTransition(false, animated);
  Window* window = presenter->isViewLoaded() ? presenter->view_->window() : nullptr;
  if (window) {
    auto view = controller->view();
    Rect bounds = window->bounds();
    bool pad = DeviceInfo::current().isPad();
    if (pad && (style == ModalPresentationStyle::FormSheet || style == ModalPresentationStyle::PageSheet ||
                style == ModalPresentationStyle::Popover)) {
      Size size = controller->preferredContentSize_;
      if (size.width <= 0 || size.height <= 0) size = {540, 620};
      view->setFrame(Rect(bounds.midX() - size.width / 2, bounds.midY() - size.height / 2, size.width,
                          size.height));
    } else if (inContext && presenter->view_) {
      // Over the context's own view, not over the whole window.
      view->setFrame(presenter->view_->convertRectTo(presenter->view_->bounds(), nullptr));
      view->setAutoresizingMask(kAutoresizingFlexibleWidth | kAutoresizingFlexibleHeight);
    } else {
      view->setFrame(bounds);
      view->setAutoresizingMask(kAutoresizingFlexibleWidth | kAutoresizingFlexibleHeight);
    }
    controller->beginAppearanceTransition(true, animated);
    window->addSubview(view);
  }
  auto self = shared();
  detail::afterTransition(animated, kTransitionDuration,
                          [presenter = presenter->shared(), controller, hidesPresenter, onScreen, completion] {
                            controller->endAppearanceTransition();
                            if (hidesPresenter && onScreen) presenter->endAppearanceTransition();
                            controller->beingPresented_ = false;
                            if (completion) completion();
                          });
}

void ViewController::dismissViewController(bool animated, std::function<void()> completion) {
  ViewController* presenter = nullptr;
  for (ViewController* v = this; v; v = v->parent_) {
    if (v->presented_) {
      presenter = v;
      break;
    }
  }
  if (!presenter) presenter = presentingViewController();
  if (!presenter || !presenter->presented_) {
    if (completion) completion();
    return;
  }
  presenter->dismissPresented(animated, std::move(completion));
}

void ViewController::dismissPresented(bool animated, std::function<void()> completion) {
  auto presented = presented_;
  if (presented->beingDismissed_) return;
  // Anything the presented controller presented goes first, without animation.
  if (presented->presented_) presented->dismissPresented(false, nullptr);
  presented->beingDismissed_ = true;
  bool hidesPresenter = presentedHidesPresenter_;
  bool onScreen = presented->isVisible();
  presented->beginAppearanceTransition(false, animated);
  if (hidesPresenter && onScreen) beginAppearanceTransition(true, animated);
  auto self = shared();
  detail::afterTransition(animated, kTransitionDuration, [self, presented, hidesPresenter, onScreen, completion] {
    if (presented->isViewLoaded()) presented->view_->removeFromSuperview();
    if (hidesPresenter && onScreen) self->endAppearanceTransition();
    presented->endAppearanceTransition();
    presented->beingDismissed_ = false;
    presented->presenting_ = nullptr;
    if (self->presented_ == presented) {
      self->presented_.reset();
      self->presentedInContext_ = false;
    }
    if (completion) completion();
  });
}

void ViewController::showViewController(std::shared_ptr<ViewController> controller, void* sender) {
  (void)sender;
  if (NavigationController* nav = navigationController()) {
    nav->pushViewController(std::move(controller), true);
  } else if (auto* self = dynamic_cast<NavigationController*>(this)) {
    self->pushViewController(std::move(controller), true);
  } else {
    presentViewController(std::move(controller), true);
  }
}

void ViewController::showDetailViewController(std::shared_ptr<ViewController> controller, void* sender) {
  if (SplitViewController* split = splitViewController(); split && split != this) {
    split->showDetailViewController(std::move(controller), sender);
  } else {
    showViewController(std::move(controller), sender);
  }
}

void ViewController::setTitle(std::string title) {
  title_ = title;
  navigationItem_.setTitle(std::move(title));
}

void ViewController::setEditing(bool editing, bool animated) {
  (void)animated;
  editing_ = editing;
  if (editButton_) {
    editButton_->setTitle(editing ? "Done" : "Edit");
    editButton_->setStyle(editing ? BarButtonItemStyle::Done : BarButtonItemStyle::Plain);
  }
}

std::shared_ptr<BarButtonItem> ViewController::editButtonItem() {
  if (!editButton_) {
    std::weak_ptr<Responder> weak = weak_from_this();
    editButton_ = BarButtonItem::withTitle(editing_ ? "Done" : "Edit", BarButtonItemStyle::Plain,
                                           [weak](BarButtonItem&) {
                                             auto self = std::static_pointer_cast<ViewController>(weak.lock());
                                             if (self) self->setEditing(!self->isEditing(), true);
                                           });
  }
  return editButton_;
}

void ViewController::viewWillTransitionToSize(Size size) {
  for (const auto& c : children_) c->viewWillTransitionToSize(size);
  if (presented_) presented_->viewWillTransitionToSize(size);
}

// Storyboards.

void ViewController::setStoryboard(std::shared_ptr<Storyboard> storyboard, std::string sceneIdentifier) {
  storyboard_ = storyboard;
  sceneIdentifier_ = std::move(sceneIdentifier);
}

void ViewController::performSegue(const std::string& identifier, void* sender) {
  auto board = storyboard();
  if (!board) {
    throw ns::Exception("NSInvalidArgumentException",
                        "Receiver (" + typeName() + ") has no segue with identifier '" + identifier + "'");
  }
  board->performSegue(*this, identifier, sender);
}

bool ViewController::triggerSegue(const std::string& identifier, void* sender) {
  if (!shouldPerformSegue(identifier, sender)) return false;
  performSegue(identifier, sender);
  return true;
}

void ViewController::registerUnwindAction(std::string name, UnwindAction action) {
  unwindActions_.emplace_back(std::move(name), std::move(action));
}

const ViewController::UnwindAction* ViewController::unwindAction(const std::string& name) const {
  for (const auto& [n, a] : unwindActions_) {
    if (n == name) return &a;
  }
  return nullptr;
}

std::shared_ptr<PreviewingContext> ViewController::registerForPreviewing(std::weak_ptr<PreviewingDelegate> delegate,
                                                                        std::shared_ptr<View> sourceView) {
  auto context = std::make_shared<PreviewingContext>(sourceView);
  previews_.push_back({std::move(delegate), context});
  return context;
}

Responder* ViewController::nextResponder() const {
  if (view_ && view_->superview()) return view_->superview();
  if (parent_) return parent_;
  return presenting_;
}

}  // namespace ui

#include "Platform/UIKit/View.h"

#include <algorithm>
#include <cmath>

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Dispatch/Timer.h"
#include "Platform/UIKit/Appearance.h"
#include "Platform/UIKit/GestureRecognizer.h"
#include "Platform/UIKit/ViewController.h"
#include "Platform/UIKit/Window.h"

namespace ui {

namespace {
bool& animationsEnabledFlag() {
  static bool enabled = true;
  return enabled;
}
int& animationDepth() {
  static int depth = 0;
  return depth;
}

// Spreads `delta` over the flexible parts of one axis in proportion to
// their current lengths (evenly when they are all zero).
void resizeAxis(double& position, double& length, double oldSuper, double delta, bool flexibleBefore,
                bool flexibleLength, bool flexibleAfter) {
  int count = int(flexibleBefore) + int(flexibleLength) + int(flexibleAfter);
  if (count == 0 || delta == 0) return;
  double before = position, after = oldSuper - position - length;
  double total = (flexibleBefore ? before : 0) + (flexibleLength ? length : 0) +
                 (flexibleAfter ? after : 0);
  auto share = [&](bool flexible, double part) {
    if (!flexible) return 0.0;
    return total > 0 ? delta * part / total : delta / count;
  };
  double dBefore = share(flexibleBefore, before);
  double dLength = share(flexibleLength, length);
  position += dBefore;
  length = std::max(0.0, length + dLength);
}
}  // namespace

View::View() = default;

View::View(const Rect& frame) { setFrame(frame); }

View::~View() {
  for (auto& v : subviews_) v->superview_ = nullptr;
}

Rect View::frame() const {
  double w = bounds_.size.width, h = bounds_.size.height;
  if (transform_.isIdentity()) return Rect(center_.x - w / 2, center_.y - h / 2, w, h);
  return transform_.apply(Rect(-w / 2, -h / 2, w, h)).offsetBy(center_.x, center_.y);
}

void View::setFrame(const Rect& f) {
  Rect r = f.standardized();
  Size old = bounds_.size;
  if (transform_.isIdentity()) {
    bounds_.size = r.size;
  }
  center_ = r.center();
  if (old != bounds_.size) resizeSubviews(old);
}

void View::setBounds(const Rect& b) {
  Size old = bounds_.size;
  bounds_ = b.standardized();
  if (old != bounds_.size) resizeSubviews(old);
}

void View::setCenter(Point c) { center_ = c; }

void View::setTransform(const AffineTransform& t) { transform_ = t; }

void View::resizeSubviews(Size oldSize) {
  setNeedsLayout();
  if (autoresizesSubviews_) {
    for (const auto& v : subviews_) v->autoresize(oldSize, bounds_.size);
  }
}

void View::autoresize(Size oldSuper, Size newSuper) {
  uint32_t m = autoresizingMask_;
  if (m == kAutoresizingNone) return;
  Rect f = frame();
  double x = f.origin.x, y = f.origin.y, w = f.size.width, h = f.size.height;
  resizeAxis(x, w, oldSuper.width, newSuper.width - oldSuper.width, m & kAutoresizingFlexibleLeftMargin,
             m & kAutoresizingFlexibleWidth, m & kAutoresizingFlexibleRightMargin);
  resizeAxis(y, h, oldSuper.height, newSuper.height - oldSuper.height, m & kAutoresizingFlexibleTopMargin,
             m & kAutoresizingFlexibleHeight, m & kAutoresizingFlexibleBottomMargin);
  setFrame(Rect(x, y, w, h));
}

std::shared_ptr<View> View::superviewShared() const {
  return superview_ ? std::static_pointer_cast<View>(superview_->shared_from_this()) : nullptr;
}

void View::attach(std::shared_ptr<View> view, size_t index) {
  if (!view || view.get() == this) return;
  Window* oldWindow = view->window();
  if (view->superview_ == this) {
    // Moving within the same superview: reorder only.
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    size_t from = size_t(it - subviews_.begin());
    subviews_.erase(it);
    if (index > from) --index;
    subviews_.insert(subviews_.begin() + std::ptrdiff_t(std::min(index, subviews_.size())), view);
    return;
  }
  view->willMoveToSuperview(this);
  Window* newWindow = window();
  if (oldWindow != newWindow) view->willMoveToWindow(newWindow);
  if (View* old = view->superview_) {
    old->willRemoveSubview(view.get());
    auto& list = old->subviews_;
    list.erase(std::find(list.begin(), list.end(), view));
  }
  view->superview_ = this;
  subviews_.insert(subviews_.begin() + std::ptrdiff_t(std::min(index, subviews_.size())), view);
  view->didMoveToSuperview();
  didAddSubview(view.get());
  view->notifyWindowChange(oldWindow, newWindow);
}

void View::notifyWindowChange(Window* oldWindow, Window* newWindow) {
  if (oldWindow == newWindow) return;
  if (newWindow && !appearanceApplied_) {
    appearanceApplied_ = true;
    Appearance::shared().apply(*this);
  }
  didMoveToWindow();
  for (const auto& v : std::vector<std::shared_ptr<View>>(subviews_)) {
    v->willMoveToWindow(newWindow);
    v->notifyWindowChange(oldWindow, newWindow);
  }
}

void View::addSubview(std::shared_ptr<View> view) { attach(std::move(view), subviews_.size()); }

void View::insertSubview(std::shared_ptr<View> view, size_t index) { attach(std::move(view), index); }

void View::insertSubviewAbove(std::shared_ptr<View> view, const View* sibling) {
  for (size_t i = 0; i < subviews_.size(); ++i) {
    if (subviews_[i].get() == sibling) return attach(std::move(view), i + 1);
  }
  addSubview(std::move(view));
}

void View::insertSubviewBelow(std::shared_ptr<View> view, const View* sibling) {
  for (size_t i = 0; i < subviews_.size(); ++i) {
    if (subviews_[i].get() == sibling) return attach(std::move(view), i);
  }
  insertSubview(std::move(view), 0);
}

void View::bringSubviewToFront(const View* view) {
  for (const auto& v : subviews_) {
    if (v.get() == view) return attach(v, subviews_.size());
  }
}

void View::sendSubviewToBack(const View* view) {
  for (const auto& v : subviews_) {
    if (v.get() == view) return attach(v, 0);
  }
}

void View::removeFromSuperview() {
  View* parent = superview_;
  if (!parent) return;
  auto keep = std::static_pointer_cast<View>(shared_from_this());
  Window* oldWindow = window();
  willMoveToSuperview(nullptr);
  if (oldWindow) willMoveToWindow(nullptr);
  parent->willRemoveSubview(this);
  auto& list = parent->subviews_;
  list.erase(std::find(list.begin(), list.end(), keep));
  superview_ = nullptr;
  if (isFirstResponder() || (currentFirstResponder() && dynamic_cast<View*>(currentFirstResponder()) &&
                             static_cast<View*>(currentFirstResponder())->isDescendantOf(this))) {
    currentFirstResponder()->resignFirstResponder();
  }
  didMoveToSuperview();
  notifyWindowChange(oldWindow, nullptr);
}

bool View::isDescendantOf(const View* view) const {
  for (const View* v = this; v; v = v->superview_) {
    if (v == view) return true;
  }
  return false;
}

Window* View::window() const {
  const View* v = this;
  while (v->superview_) v = v->superview_;
  return v == this ? nullptr : v->window();
}

View* View::viewWithTag(int64_t tag) {
  if (tag_ == tag) return this;
  for (const auto& v : subviews_) {
    if (View* found = v->viewWithTag(tag)) return found;
  }
  return nullptr;
}

Point View::toWindow(Point p) const {
  const View* v = this;
  while (v && !dynamic_cast<const Window*>(v)) {
    Point q{p.x - v->bounds_.origin.x - v->bounds_.size.width / 2,
            p.y - v->bounds_.origin.y - v->bounds_.size.height / 2};
    q = v->transform_.apply(q);
    p = {q.x + v->center_.x, q.y + v->center_.y};
    v = v->superview_;
  }
  if (v) p = {p.x - v->bounds_.origin.x, p.y - v->bounds_.origin.y};
  return p;
}

Point View::fromWindow(Point p) const {
  std::vector<const View*> chain;
  const View* v = this;
  while (v && !dynamic_cast<const Window*>(v)) {
    chain.push_back(v);
    v = v->superview_;
  }
  if (v) p = {p.x + v->bounds_.origin.x, p.y + v->bounds_.origin.y};
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const View* c = *it;
    Point q = c->transform_.inverted().apply(Point{p.x - c->center_.x, p.y - c->center_.y});
    p = {q.x + c->bounds_.origin.x + c->bounds_.size.width / 2,
         q.y + c->bounds_.origin.y + c->bounds_.size.height / 2};
  }
  return p;
}

Point View::convertPointTo(Point p, const View* view) const {
  Point w = toWindow(p);
  return view ? view->fromWindow(w) : w;
}

Point View::convertPointFrom(Point p, const View* view) const {
  Point w = view ? view->toWindow(p) : p;
  return fromWindow(w);
}

Rect View::convertRectTo(const Rect& r, const View* view) const {
  Point a = convertPointTo({r.minX(), r.minY()}, view);
  Point b = convertPointTo({r.maxX(), r.maxY()}, view);
  return Rect(std::min(a.x, b.x), std::min(a.y, b.y), std::fabs(b.x - a.x), std::fabs(b.y - a.y));
}

Rect View::convertRectFrom(const Rect& r, const View* view) const {
  Point a = convertPointFrom({r.minX(), r.minY()}, view);
  Point b = convertPointFrom({r.maxX(), r.maxY()}, view);
  return Rect(std::min(a.x, b.x), std::min(a.y, b.y), std::fabs(b.x - a.x), std::fabs(b.y - a.y));
}

ColorPtr View::tintColor() const {
  for (const View* v = this; v; v = v->superview_) {
    if (v->tintColor_) return v->tintColor_;
  }
  static const ColorPtr systemTint = Color::withRGBA(0, 122 / 255.0, 1);
  return systemTint;
}

void View::setTintColor(ColorPtr color) {
  tintColor_ = std::move(color);
  propagateTintChange();
}

void View::propagateTintChange() {
  tintColorDidChange();
  for (const auto& v : subviews_) {
    if (!v->tintColor_) v->propagateTintChange();
  }
}

bool View::isVisibleOnScreen() const {
  const View* v = this;
  for (; v; v = v->superview_) {
    if (v->hidden_ || v->alpha_ <= 0.01) return false;
    if (!v->superview_) return dynamic_cast<const Window*>(v) != nullptr;
  }
  return false;
}

void View::layoutIfNeeded() {
  if (needsLayout_) {
    needsLayout_ = false;
    layoutSubviews();
  }
  for (const auto& v : std::vector<std::shared_ptr<View>>(subviews_)) v->layoutIfNeeded();
}

Size View::sizeThatFits(Size) const { return bounds_.size; }

void View::sizeToFit() {
  Size s = sizeThatFits(bounds_.size);
  Rect f = frame();
  setFrame(Rect(f.origin, s));
}

void View::addGestureRecognizer(std::shared_ptr<GestureRecognizer> recognizer) {
  if (!recognizer) return;
  recognizer->setView(this);
  gestureRecognizers_.push_back(std::move(recognizer));
}

void View::removeGestureRecognizer(const GestureRecognizer* recognizer) {
  auto it = std::find_if(gestureRecognizers_.begin(), gestureRecognizers_.end(),
                         [&](const auto& g) { return g.get() == recognizer; });
  if (it == gestureRecognizers_.end()) return;
  (*it)->setView(nullptr);
  gestureRecognizers_.erase(it);
}

bool View::pointInside(Point p) const { return bounds_.contains(p); }

View* View::hitTest(Point p) {
  if (hidden_ || !userInteractionEnabled_ || alpha_ <= 0.01 || !pointInside(p)) return nullptr;
  for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
    Point q = (*it)->convertPointFrom(p, this);
    if (View* hit = (*it)->hitTest(q)) return hit;
  }
  return this;
}

bool View::becomeFirstResponder() {
  if (!isFirstResponder() && !window()) return false;
  return Responder::becomeFirstResponder();
}

bool View::endEditing(bool force) {
  Responder* first = currentFirstResponder();
  auto* view = dynamic_cast<View*>(first);
  if (!view || !view->isDescendantOf(this)) return true;
  if (force) {
    bool ok = first->resignFirstResponder();
    return ok;
  }
  return first->resignFirstResponder();
}

Responder* View::nextResponder() const {
  if (viewController_) return viewController_;
  return superview_;
}

bool View::performTap(Point location) {
  bool handled = false;
  for (const auto& g : std::vector<std::shared_ptr<GestureRecognizer>>(gestureRecognizers_)) {
    auto* tap = dynamic_cast<TapGestureRecognizer*>(g.get());
    if (tap && tap->numberOfTapsRequired() == 1 && tap->simulateTap(location)) handled = true;
  }
  return handled;
}

Point View::touchPoint(const std::string&) const { return {bounds_.midX(), bounds_.midY()}; }

bool View::matchesText(const std::string& text) const {
  return !text.empty() && (accessibilityIdentifier_ == text || accessibilityLabel_ == text);
}

// Animations.

void View::animate(double duration, std::function<void()> animations,
                   std::function<void(bool)> completion) {
  animate(duration, 0, kAnimationOptionNone, std::move(animations), std::move(completion));
}

void View::animate(double duration, double delay, uint32_t, std::function<void()> animations,
                   std::function<void(bool)> completion) {
  ++animationDepth();
  if (animations) animations();
  --animationDepth();
  if (!completion) return;
  double wait = animationsEnabledFlag() ? std::max(0.0, duration) + std::max(0.0, delay) : 0;
  if (wait <= 0) {
    dispatch::RunLoop::main().perform([completion = std::move(completion)] { completion(true); });
    return;
  }
  dispatch::Timer::scheduled(wait, false, [completion = std::move(completion)](dispatch::Timer&) {
    completion(true);
  });
}

void View::transition(View*, double duration, uint32_t options, std::function<void()> animations,
                      std::function<void(bool)> completion) {
  animate(duration, 0, options, std::move(animations), std::move(completion));
}

void View::performWithoutAnimation(const std::function<void()>& changes) {
  bool was = animationsEnabledFlag();
  animationsEnabledFlag() = false;
  if (changes) changes();
  animationsEnabledFlag() = was;
}

void View::setAnimationsEnabled(bool enabled) { animationsEnabledFlag() = enabled; }
bool View::areAnimationsEnabled() { return animationsEnabledFlag(); }
bool View::isAnimating() { return animationDepth() > 0; }

}  // namespace ui

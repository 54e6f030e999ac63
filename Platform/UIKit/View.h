// A rectangle of the interface with its subviews: geometry (frame, bounds,
// centre, transform), looks (hidden, alpha, colours with an inherited tint,
// layer), autoresizing of subviews when it resizes, layout passes, gesture
// recognizers, and animations.
//
// Views are held by shared_ptr: a superview owns its subviews, a subview
// knows its superview weakly. Everything runs on the main thread.
//
// Animations apply their final state at once; the completion runs after
// the duration (plus delay) on the main run loop's timers, so tests move the
// virtual clock (ns::Clock) to complete them.
//
// For the text renderer each kind of view says what it shows (screenText)
// and whether its subviews are shown as well.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Geometry.h"
#include "Platform/UIKit/Layer.h"
#include "Platform/UIKit/Responder.h"

namespace ui {

class GestureRecognizer;
class ViewController;
class Window;

using ColorPtr = std::shared_ptr<const Color>;

// Autoresizing mask bits, as the platform numbers them.
enum AutoresizingMask : uint32_t {
  kAutoresizingNone = 0,
  kAutoresizingFlexibleLeftMargin = 1 << 0,
  kAutoresizingFlexibleWidth = 1 << 1,
  kAutoresizingFlexibleRightMargin = 1 << 2,
  kAutoresizingFlexibleTopMargin = 1 << 3,
  kAutoresizingFlexibleHeight = 1 << 4,
  kAutoresizingFlexibleBottomMargin = 1 << 5,
};

enum class ContentMode {
  ScaleToFill = 0,
  ScaleAspectFit = 1,
  ScaleAspectFill = 2,
  Redraw = 3,
  Center = 4,
};

// Animation options used by the system; curves only change timing, which
// is not modelled.
enum AnimationOptions : uint32_t {
  kAnimationOptionNone = 0,
  kAnimationOptionBeginFromCurrentState = 1 << 2,
  kAnimationOptionAllowUserInteraction = 1 << 1,
  kAnimationOptionCurveEaseInOut = 0,
  kAnimationOptionCurveEaseIn = 1 << 16,
  kAnimationOptionCurveEaseOut = 2 << 16,
  kAnimationOptionCurveLinear = 3 << 16,
  kAnimationOptionTransitionCrossDissolve = 5 << 20,
};

class View : public Responder {
 public:
  View();
  explicit View(const Rect& frame);
  ~View() override;

  template <class T = View, class... Args>
  static std::shared_ptr<T> make(Args&&... args) {
    return std::make_shared<T>(std::forward<Args>(args)...);
  }

  // The kind's name for the renderer and logs ("View", "Label", ...).
  virtual std::string typeName() const { return "View"; }

  // Geometry. The frame is the bounds' size around the centre, in the
  // superview's coordinates (as transformed).
  Rect frame() const;
  virtual void setFrame(const Rect& frame);
  Rect bounds() const { return bounds_; }
  virtual void setBounds(const Rect& bounds);
  Point center() const { return center_; }
  void setCenter(Point center);
  AffineTransform transform() const { return transform_; }
  void setTransform(const AffineTransform& t);

  // Hierarchy.
  View* superview() const { return superview_; }
  std::shared_ptr<View> superviewShared() const;
  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  void addSubview(std::shared_ptr<View> view);
  void insertSubview(std::shared_ptr<View> view, size_t index);
  void insertSubviewAbove(std::shared_ptr<View> view, const View* sibling);
  void insertSubviewBelow(std::shared_ptr<View> view, const View* sibling);
  void bringSubviewToFront(const View* view);
  void sendSubviewToBack(const View* view);
  void removeFromSuperview();
  bool isDescendantOf(const View* view) const;
  // The window this view is in, or null.
  virtual Window* window() const;
  // This view or the first descendant (depth first) with the tag.
  View* viewWithTag(int64_t tag);
  // The first descendant (or this) of type T, depth first.
  template <class T>
  T* firstOfType();

  // Conversions between this view's and another view's coordinates (null:
  // the window's).
  Point convertPointTo(Point p, const View* view) const;
  Point convertPointFrom(Point p, const View* view) const;
  Rect convertRectTo(const Rect& r, const View* view) const;
  Rect convertRectFrom(const Rect& r, const View* view) const;

  // Looks.
  bool isHidden() const { return hidden_; }
  virtual void setHidden(bool hidden) { hidden_ = hidden; }
  double alpha() const { return alpha_; }
  void setAlpha(double alpha) { alpha_ = alpha; }
  bool isOpaque() const { return opaque_; }
  void setOpaque(bool opaque) { opaque_ = opaque; }
  ColorPtr backgroundColor() const { return backgroundColor_; }
  virtual void setBackgroundColor(ColorPtr color) { backgroundColor_ = std::move(color); }
  // The own tint, else the superview's, else the system tint (0, 0.478, 1).
  ColorPtr tintColor() const;
  void setTintColor(ColorPtr color);
  // Called on this view and the subviews that inherit, after a change.
  virtual void tintColorDidChange() {}
  bool clipsToBounds() const { return clipsToBounds_; }
  void setClipsToBounds(bool c) { clipsToBounds_ = c; }
  ContentMode contentMode() const { return contentMode_; }
  void setContentMode(ContentMode m) { contentMode_ = m; }
  Layer& layer() { return layer_; }
  const Layer& layer() const { return layer_; }
  int64_t tag() const { return tag_; }
  void setTag(int64_t tag) { tag_ = tag; }
  // Whether the view and its ancestors are shown (not hidden, alpha > 0)
  // and in a window.
  bool isVisibleOnScreen() const;

  // Identification for the input layer and tests.
  const std::string& accessibilityIdentifier() const { return accessibilityIdentifier_; }
  void setAccessibilityIdentifier(std::string id) { accessibilityIdentifier_ = std::move(id); }
  const std::string& accessibilityLabel() const { return accessibilityLabel_; }
  void setAccessibilityLabel(std::string label) { accessibilityLabel_ = std::move(label); }

  // Autoresizing and layout.
  uint32_t autoresizingMask() const { return autoresizingMask_; }
  void setAutoresizingMask(uint32_t mask) { autoresizingMask_ = mask; }
  bool autoresizesSubviews() const { return autoresizesSubviews_; }
  void setAutoresizesSubviews(bool a) { autoresizesSubviews_ = a; }
  void setNeedsLayout() { needsLayout_ = true; }
  bool needsLayout() const { return needsLayout_; }
  // Runs layoutSubviews where needed, this view first, then its subviews.
  void layoutIfNeeded();
  virtual void layoutSubviews() {}
  // The size the view would like within `size`; the current size by default.
  virtual Size sizeThatFits(Size size) const;
  void sizeToFit();
  void setNeedsDisplay() { ++displayRequests_; }
  int displayRequests() const { return displayRequests_; }

  // Touches.
  bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
  void setUserInteractionEnabled(bool e) { userInteractionEnabled_ = e; }
  bool isExclusiveTouch() const { return exclusiveTouch_; }
  void setExclusiveTouch(bool e) { exclusiveTouch_ = e; }
  void addGestureRecognizer(std::shared_ptr<GestureRecognizer> recognizer);
  void removeGestureRecognizer(const GestureRecognizer* recognizer);
  const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const {
    return gestureRecognizers_;
  }
  // The deepest visible, interactive descendant containing `p` (in this
  // view's coordinates), or null.
  virtual View* hitTest(Point p);
  virtual bool pointInside(Point p) const;
  // A view outside any window cannot become first responder.
  bool becomeFirstResponder() override;
  // Resigns the first responder when it is this view or inside it.
  bool endEditing(bool force);

  // The controller whose view this is (set by ViewController).
  ViewController* viewController() const { return viewController_; }
  void setViewController(ViewController* controller) { viewController_ = controller; }
  Responder* nextResponder() const override;

  // A touch goes down on this view, the one a tap lands on (the input
  // layer), after the recognizers of its superviews have seen it and before
  // any view acts on the tap: whether this view took it, which ends the
  // tap. Views leave touches to performTap by default.
  virtual bool touchesBegan(Point location) {
    (void)location;
    return false;
  }
  // A person taps the view (the input layer): a control acts, a cell gets
  // selected, else the view's enabled tap recognizers that accept the
  // touch fire. Whether anything handled it; the input layer then stops,
  // else it tries the superview.
  virtual bool performTap(Point location);
  // Whether the input layer may find this view by `text`: its
  // accessibility identifier or label, or what it shows (titles, texts).
  virtual bool matchesText(const std::string& text) const;
  // Where a finger lands (bounds coordinates) to touch what shows `text`:
  // the centre, unless a kind shows several things (a text view's lines).
  virtual Point touchPoint(const std::string& text) const;

  // What the renderer prints for this view (empty: nothing, only subviews);
  // several lines are printed with the view's indentation.
  virtual std::string screenText() const { return {}; }
  // Whether the renderer descends into the subviews.
  virtual bool rendersSubviews() const { return true; }

  // Draws what this kind of view shows itself, over its background and
  // under its subviews, into GraphicsContext::current() in the view's own
  // coordinates; `rect` is the part asked for (ViewDrawing.h draws the
  // rest). A kind that shows something (a screen text) and does not draw
  // it is drawn as an outline labelled with its kind, never left out.
  virtual void drawRect(const Rect& rect);

  // Animations.
  static void animate(double duration, std::function<void()> animations,
                      std::function<void(bool finished)> completion = nullptr);
  static void animate(double duration, double delay, uint32_t options,
                      std::function<void()> animations,
                      std::function<void(bool finished)> completion = nullptr);
  static void transition(View* view, double duration, uint32_t options,
                         std::function<void()> animations,
                         std::function<void(bool finished)> completion = nullptr);
  static void performWithoutAnimation(const std::function<void()>& changes);
  static void setAnimationsEnabled(bool enabled);
  static bool areAnimationsEnabled();
  // Whether code runs inside an animation block now.
  static bool isAnimating();

 protected:
  // Hierarchy hooks.
  virtual void willMoveToSuperview(View* newSuperview) { (void)newSuperview; }
  virtual void didMoveToSuperview() {}
  virtual void willMoveToWindow(Window* newWindow) { (void)newWindow; }
  virtual void didMoveToWindow() {}
  virtual void didAddSubview(View* subview) { (void)subview; }
  virtual void willRemoveSubview(View* subview) { (void)subview; }

 private:
  void attach(std::shared_ptr<View> view, size_t index);
  void notifyWindowChange(Window* oldWindow, Window* newWindow);
  void resizeSubviews(Size oldSize);
  void autoresize(Size oldSuperSize, Size newSuperSize);
  void propagateTintChange();
  Point toWindow(Point p) const;
  Point fromWindow(Point p) const;

  Point center_;
  Rect bounds_;
  AffineTransform transform_;
  View* superview_ = nullptr;
  std::vector<std::shared_ptr<View>> subviews_;
  bool hidden_ = false;
  double alpha_ = 1;
  bool opaque_ = true;
  ColorPtr backgroundColor_;
  ColorPtr tintColor_;
  bool clipsToBounds_ = false;
  ContentMode contentMode_ = ContentMode::ScaleToFill;
  Layer layer_;
  int64_t tag_ = 0;
  std::string accessibilityIdentifier_;
  std::string accessibilityLabel_;
  uint32_t autoresizingMask_ = kAutoresizingNone;
  bool autoresizesSubviews_ = true;
  bool needsLayout_ = true;
  int displayRequests_ = 0;
  bool userInteractionEnabled_ = true;
  bool exclusiveTouch_ = false;
  std::vector<std::shared_ptr<GestureRecognizer>> gestureRecognizers_;
  ViewController* viewController_ = nullptr;
  bool appearanceApplied_ = false;
  friend class Window;
};

template <class T>
T* View::firstOfType() {
  if (auto* self = dynamic_cast<T*>(this)) return self;
  for (const auto& v : subviews_) {
    if (T* found = v->template firstOfType<T>()) return found;
  }
  return nullptr;
}

}  // namespace ui

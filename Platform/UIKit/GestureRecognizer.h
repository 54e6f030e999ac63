// Gesture recognizers attached to views: targets called when the gesture
// is recognized, a delegate that may refuse touches or the start, and a
// state. No touches exist here: the input layer (Input.h) drives them with
// simulated taps and presses.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "Platform/UIKit/Geometry.h"

namespace ui {

class GestureRecognizer;
class View;

class GestureRecognizerDelegate {
 public:
  virtual ~GestureRecognizerDelegate() = default;
  virtual bool gestureRecognizerShouldBegin(GestureRecognizer&) { return true; }
  virtual bool gestureRecognizerShouldReceiveTouch(GestureRecognizer&, Point locationInView) {
    (void)locationInView;
    return true;
  }
  virtual bool gestureRecognizerShouldRecognizeSimultaneously(GestureRecognizer&, GestureRecognizer&) {
    return false;
  }
};

enum class GestureRecognizerState { Possible, Began, Changed, Ended, Cancelled, Failed };

class GestureRecognizer {
 public:
  using Action = std::function<void(GestureRecognizer&)>;

  GestureRecognizer() = default;
  explicit GestureRecognizer(Action action) { addTarget(nullptr, std::move(action)); }
  virtual ~GestureRecognizer() = default;

  // `target` identifies the registration for removeTarget (may be null).
  void addTarget(const void* target, Action action);
  void removeTarget(const void* target);

  View* view() const { return view_; }
  void setView(View* view) { view_ = view; }
  GestureRecognizerState state() const { return state_; }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool e) { enabled_ = e; }
  bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
  void setCancelsTouchesInView(bool c) { cancelsTouchesInView_ = c; }
  void setDelegate(std::weak_ptr<GestureRecognizerDelegate> d) { delegate_ = std::move(d); }
  std::shared_ptr<GestureRecognizerDelegate> delegate() const { return delegate_.lock(); }
  // Where the touch is, in `view`'s coordinates (null: the window's).
  Point locationInView(const View* view) const;

  // A touch lands at `location` (the recognizer's view's coordinates):
  // whether the recognizer takes it (enabled, the delegate agrees).
  bool receiveTouch(Point location);

 protected:
  // Moves to `state`; Began, Changed and Ended call the targets. Ended
  // and the failures return to Possible afterwards.
  void transition(GestureRecognizerState state);
  bool shouldBegin();
  Point location_;

 private:
  View* view_ = nullptr;
  GestureRecognizerState state_ = GestureRecognizerState::Possible;
  bool enabled_ = true;
  bool cancelsTouchesInView_ = true;
  std::weak_ptr<GestureRecognizerDelegate> delegate_;
  std::vector<std::pair<const void*, Action>> targets_;
};

// Recognized when a touch ends (after the required number of taps).
class TapGestureRecognizer : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  int numberOfTapsRequired() const { return taps_; }
  void setNumberOfTapsRequired(int n) { taps_ = n; }
  int numberOfTouchesRequired() const { return touches_; }
  void setNumberOfTouchesRequired(int n) { touches_ = n; }
  // A tap of `taps` taps at `location`; whether it was recognized.
  bool simulateTap(Point location, int taps = 1);

 private:
  int taps_ = 1;
  int touches_ = 1;
};

// Begins once a touch has been held for the minimum duration (ns::Clock
// time, through a run-loop timer), ends when it lifts.
class LongPressGestureRecognizer : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  ~LongPressGestureRecognizer() override;
  double minimumPressDuration() const { return minimumPressDuration_; }
  void setMinimumPressDuration(double d) { minimumPressDuration_ = d; }
  double allowableMovement() const { return allowableMovement_; }
  void setAllowableMovement(double d) { allowableMovement_ = d; }

  // A touch goes down at `location`; false when the recognizer refuses it.
  bool pressBegan(Point location);
  // The touch lifts; whether the gesture had begun (and so now ended).
  bool pressEnded();

 private:
  double minimumPressDuration_ = 0.5;
  double allowableMovement_ = 10;
  std::shared_ptr<void> timer_;
  bool pressing_ = false;
};

}  // namespace ui

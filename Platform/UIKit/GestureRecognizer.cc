#include "Platform/UIKit/GestureRecognizer.h"

#include <algorithm>

#include "Platform/Dispatch/Timer.h"
#include "Platform/UIKit/View.h"

namespace ui {

void GestureRecognizer::addTarget(const void* target, Action action) {
  if (action) targets_.emplace_back(target, std::move(action));
}

void GestureRecognizer::removeTarget(const void* target) {
  targets_.erase(std::remove_if(targets_.begin(), targets_.end(),
                                [&](const auto& t) { return target == nullptr || t.first == target; }),
                 targets_.end());
}

Point GestureRecognizer::locationInView(const View* view) const {
  if (!view_) return location_;
  return view_->convertPointTo(location_, view);
}

bool GestureRecognizer::receiveTouch(Point location) {
  if (!enabled_ || !view_) return false;
  location_ = location;
  if (auto d = delegate()) {
    if (!d->gestureRecognizerShouldReceiveTouch(*this, location)) return false;
  }
  return true;
}

bool GestureRecognizer::shouldBegin() {
  if (auto d = delegate()) return d->gestureRecognizerShouldBegin(*this);
  return true;
}

void GestureRecognizer::transition(GestureRecognizerState state) {
  state_ = state;
  if (state == GestureRecognizerState::Began || state == GestureRecognizerState::Changed ||
      state == GestureRecognizerState::Ended) {
    auto targets = targets_;
    for (auto& t : targets) t.second(*this);
  }
  if (state == GestureRecognizerState::Ended || state == GestureRecognizerState::Cancelled ||
      state == GestureRecognizerState::Failed) {
    state_ = GestureRecognizerState::Possible;
  }
}

bool TapGestureRecognizer::simulateTap(Point location, int taps) {
  if (!receiveTouch(location)) return false;
  if (taps < taps_ || !shouldBegin()) {
    transition(GestureRecognizerState::Failed);
    return false;
  }
  transition(GestureRecognizerState::Ended);
  return true;
}

LongPressGestureRecognizer::~LongPressGestureRecognizer() {
  if (timer_) std::static_pointer_cast<dispatch::Timer>(timer_)->invalidate();
}

bool LongPressGestureRecognizer::pressBegan(Point location) {
  if (!receiveTouch(location)) return false;
  pressing_ = true;
  auto timer = dispatch::Timer::scheduled(minimumPressDuration_, false, [this](dispatch::Timer&) {
    timer_.reset();
    if (!pressing_) return;
    if (!shouldBegin()) {
      transition(GestureRecognizerState::Failed);
      pressing_ = false;
      return;
    }
    transition(GestureRecognizerState::Began);
  });
  timer_ = timer;
  return true;
}

bool LongPressGestureRecognizer::pressEnded() {
  if (timer_) {
    std::static_pointer_cast<dispatch::Timer>(timer_)->invalidate();
    timer_.reset();
  }
  bool began = pressing_ && state() == GestureRecognizerState::Began;
  pressing_ = false;
  if (began) transition(GestureRecognizerState::Ended);
  else transition(GestureRecognizerState::Failed);
  return began;
}

}  // namespace ui

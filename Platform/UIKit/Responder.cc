#include "Platform/UIKit/Responder.h"

#include "Platform/UIKit/Keyboard.h"

namespace ui {

namespace {
// Held weakly so that a responder that goes away stops being first.
std::weak_ptr<Responder>& firstResponderSlot() {
  static std::weak_ptr<Responder> slot;
  return slot;
}
}  // namespace

Responder* currentFirstResponder() { return firstResponderSlot().lock().get(); }

bool Responder::isFirstResponder() const { return currentFirstResponder() == this; }

bool Responder::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  if (!canBecomeFirstResponder()) return false;
  std::shared_ptr<Responder> previous = firstResponderSlot().lock();
  if (previous) {
    if (!previous->canResignFirstResponder()) return false;
    firstResponderSlot().reset();
    previous->didResignFirstResponder();
  }
  firstResponderSlot() = weak_from_this();
  didBecomeFirstResponder();
  Keyboard::shared().responderChanged(previous.get(), this);
  return true;
}

bool Responder::resignFirstResponder() {
  if (!isFirstResponder()) return true;
  if (!canResignFirstResponder()) return false;
  firstResponderSlot().reset();
  didResignFirstResponder();
  Keyboard::shared().responderChanged(this, nullptr);
  return true;
}

}  // namespace ui

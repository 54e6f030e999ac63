// The on-screen keyboard: shown while a text input (text field, text view)
// is first responder. Showing, hiding and moving between inputs post the
// platform's keyboard notifications, with the keyboard's frames in screen
// coordinates (GeometryValue.h), the animation duration and curve.
// The keyboard is 291 points high on a phone (398 on a pad), plus the input
// accessory view of the responder when it has one.
#pragma once

#include "Platform/Foundation/Notification.h"
#include "Platform/UIKit/Geometry.h"

namespace ui {

class Responder;

inline constexpr const char* kKeyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline constexpr const char* kKeyboardDidShowNotification = "UIKeyboardDidShowNotification";
inline constexpr const char* kKeyboardWillHideNotification = "UIKeyboardWillHideNotification";
inline constexpr const char* kKeyboardDidHideNotification = "UIKeyboardDidHideNotification";
inline constexpr const char* kKeyboardWillChangeFrameNotification =
    "UIKeyboardWillChangeFrameNotification";
inline constexpr const char* kKeyboardDidChangeFrameNotification =
    "UIKeyboardDidChangeFrameNotification";
inline constexpr const char* kKeyboardFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey";
inline constexpr const char* kKeyboardFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey";
inline constexpr const char* kKeyboardAnimationDurationUserInfoKey =
    "UIKeyboardAnimationDurationUserInfoKey";
inline constexpr const char* kKeyboardAnimationCurveUserInfoKey = "UIKeyboardAnimationCurveUserInfoKey";

class Keyboard {
 public:
  static Keyboard& shared();

  bool isVisible() const { return visible_; }
  // The keyboard's frame in screen coordinates; off screen when hidden.
  Rect frame() const;
  static constexpr double kAnimationDuration = 0.25;

  // How much of the screen's bottom a will-show notification says the
  // keyboard covers (the height of its end frame); 0 for any other.
  static double coveredHeight(const ns::Notification& notification);

  // Called by Responder when the first responder changes.
  void responderChanged(Responder* previous, Responder* next);

 private:
  Rect shownFrame(Responder* responder) const;
  void post(const char* name, const Rect& begin, const Rect& end);
  bool visible_ = false;
  Rect frame_;
};

}  // namespace ui

#include "Platform/UIKit/Keyboard.h"

#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/DeviceInfo.h"
#include "Platform/UIKit/GeometryValue.h"
#include "Platform/UIKit/Responder.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/View.h"

namespace ui {

Keyboard& Keyboard::shared() {
  static Keyboard keyboard;
  return keyboard;
}

double Keyboard::coveredHeight(const ns::Notification& notification) {
  if (notification.name() != kKeyboardWillShowNotification) return 0;
  return rectValue(notification.userInfo().find(kKeyboardFrameEndUserInfoKey)).height();
}

Rect Keyboard::frame() const {
  if (visible_) return frame_;
  Rect screen = Screen::main().bounds();
  return Rect(0, screen.maxY(), screen.width(), 0);
}

Rect Keyboard::shownFrame(Responder* responder) const {
  Rect screen = Screen::main().bounds();
  double height = DeviceInfo::current().isPad() ? 398 : 291;
  if (auto accessory = responder->inputAccessoryView()) height += accessory->bounds().height();
  return Rect(0, screen.maxY() - height, screen.width(), height);
}

void Keyboard::post(const char* name, const Rect& begin, const Rect& end) {
  ns::Dictionary info{{kKeyboardFrameBeginUserInfoKey, valueWithRect(begin)},
                      {kKeyboardFrameEndUserInfoKey, valueWithRect(end)},
                      {kKeyboardAnimationDurationUserInfoKey, kAnimationDuration},
                      {kKeyboardAnimationCurveUserInfoKey, 7}};
  ns::NotificationCenter::defaultCenter().post(name, nullptr, std::move(info));
}

void Keyboard::responderChanged(Responder* previous, Responder* next) {
  (void)previous;
  bool wants = next && next->wantsKeyboard();
  Rect begin = frame();
  if (wants) {
    Rect end = shownFrame(next);
    bool wasVisible = visible_;
    visible_ = true;
    frame_ = end;
    post(kKeyboardWillChangeFrameNotification, begin, end);
    if (!wasVisible) post(kKeyboardWillShowNotification, begin, end);
    post(kKeyboardDidChangeFrameNotification, begin, end);
    if (!wasVisible) post(kKeyboardDidShowNotification, begin, end);
  } else if (visible_) {
    visible_ = false;
    Rect end = frame();
    post(kKeyboardWillChangeFrameNotification, begin, end);
    post(kKeyboardWillHideNotification, begin, end);
    post(kKeyboardDidChangeFrameNotification, begin, end);
    post(kKeyboardDidHideNotification, begin, end);
  }
}

}  // namespace ui

// The chain of objects that may take input: views, controllers, the
// application. One responder at a time is first (the one typing goes to);
// the application keeps it.
#pragma once

#include <memory>

namespace ui {

class Responder : public std::enable_shared_from_this<Responder> {
 public:
  virtual ~Responder() = default;

  // The next link of the chain (a view's controller or superview, a
  // controller's view's superview...); null at the end.
  virtual Responder* nextResponder() const { return nullptr; }

  virtual bool canBecomeFirstResponder() const { return false; }
  virtual bool canResignFirstResponder() const { return true; }
  // Makes this the first responder after asking the current one to resign;
  // false when either refuses.
  virtual bool becomeFirstResponder();
  virtual bool resignFirstResponder();
  bool isFirstResponder() const;

  // Whether the keyboard shows while this responder is first (text inputs).
  virtual bool wantsKeyboard() const { return false; }
  // A view shown above the keyboard while this responder is first.
  virtual std::shared_ptr<class View> inputAccessoryView() const { return nullptr; }

 protected:
  // Called after the first-responder state changed.
  virtual void didBecomeFirstResponder() {}
  virtual void didResignFirstResponder() {}
};

// The current first responder, or null.
Responder* currentFirstResponder();

}  // namespace ui

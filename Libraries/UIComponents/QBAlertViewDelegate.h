// What an alert view tells its delegate; every method is optional (the
// defaults do nothing). Older method names are still recognised only to
// warn the developer that they are no longer called.
#pragma once

#include <cstdint>
#include <string>

class QBAlertView;

class QBAlertViewDelegate {
 public:
  virtual ~QBAlertViewDelegate() = default;
  virtual void alertViewWillShow(QBAlertView&) {}
  virtual void alertViewDidShow(QBAlertView&) {}
  virtual void alertViewWillDismiss(QBAlertView&) {}
  virtual void alertViewDidDismiss(QBAlertView&) {}
  virtual void clickedButtonAtIndex(QBAlertView&, uint64_t index, const std::string& title) {
    (void)index, (void)title;
  }
  virtual void alertViewCancelled(QBAlertView&) {}
  virtual void alertViewDestructed(QBAlertView&) {}
  virtual void didDismissAfterClickedButtonAtIndex(QBAlertView&, uint64_t index, const std::string& title) {
    (void)index, (void)title;
  }
  virtual void alertViewDidDismissAfterCancelled(QBAlertView&) {}
  virtual void alertViewDidDismissAfterDestructed(QBAlertView&) {}
  virtual void showAnimationsForAlertView(QBAlertView&, double duration) { (void)duration; }
  virtual void dismissAnimationsForAlertView(QBAlertView&, double duration) { (void)duration; }

  // Old names: a delegate that still answers true gets a warning when it is
  // set; the methods themselves are never called.
  virtual bool implementsButtonPressedWithTitle() const { return false; }
  virtual bool implementsDestructiveButtonPressed() const { return false; }
};

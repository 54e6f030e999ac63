// The passcode screen: a modal screen on which the user types a numeric
// passcode. It knows no passcode and keeps none: its delegate (the lock of
// the split view, the settings screen) says how many digits to collect,
// whether a complete entry is valid and whether a wrong one may be retried,
// and hears how the entry ended.
//
// The screen dismisses itself (animated) only after a valid entry, after a
// wrong entry that may not be retried, and on Cancel; the custom and "?"
// buttons leave it to the delegate. A delegate that is gone answers a pin
// length of 1 and NO to everything, so the first digit ends the screen.
#pragma once

#include <memory>
#include <string>

#include "Notes/QBPinView.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/ViewController.h"

class QBPinViewController;

class QBPinViewControllerDelegate {
 public:
  virtual ~QBPinViewControllerDelegate() = default;
  // Digits to collect; 0 is taken as 1. Asked when the entry view is built
  // and on every digit.
  virtual size_t pinLengthForPinViewController(QBPinViewController& controller) = 0;
  // Once per complete entry, with exactly that many decimal digits.
  virtual bool pinViewControllerIsPinValid(QBPinViewController& controller, const std::string& pin) = 0;
  // After a wrong entry has been shaken off and cleared.
  virtual bool userCanRetryInPinViewController(QBPinViewController& controller) = 0;

  // Optional: each is called where its name says.
  virtual void incorrectPinEnteredInPinViewController(QBPinViewController&) {}
  virtual void pinViewControllerWillDismissAfterPinEntryWasSuccessful(QBPinViewController&) {}
  virtual void pinViewControllerDidDismissAfterPinEntryWasSuccessful(QBPinViewController&) {}
  virtual void pinViewControllerWillDismissAfterPinEntryWasUnsuccessful(QBPinViewController&) {}
  virtual void pinViewControllerDidDismissAfterPinEntryWasUnsuccessful(QBPinViewController&) {}
  virtual void pinViewControllerWillDismissAfterPinEntryWasCancelled(QBPinViewController&) {}
  virtual void pinViewControllerDidDismissAfterPinEntryWasCancelled(QBPinViewController&) {}
  virtual void securityQuestionButtonTappedInPinViewController(QBPinViewController&) {}
  virtual void customButtonTappedInPinViewController(QBPinViewController&) {}
};

class QBPinViewController : public ui::ViewController, public QBPinViewDelegate {
 public:
  // The window's view with this tag would be blurred behind a translucent
  // screen; nothing in the app carries it.
  static constexpr int64_t kBlurSourceViewTag = 14742;

  // White background, not translucent.
  explicit QBPinViewController(std::weak_ptr<QBPinViewControllerDelegate> delegate);
  std::string typeName() const override { return "QBPinViewController"; }

  std::shared_ptr<QBPinViewControllerDelegate> delegate() const { return delegate_.lock(); }

  void viewDidLoad() override;
  // Builds the entry view, centred (a little lower on a phone, higher on a
  // pad), at its own size.
  void createMainView();
  // Builds the entry view again, so that a changed pin length takes effect.
  void reloadMainView();

  // Each setter does nothing when the value is unchanged.
  ui::ColorPtr backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(ui::ColorPtr color);
  bool translucentBackground() const { return translucentBackground_; }
  void setTranslucentBackground(bool translucent);
  const std::string& promptTitle() const { return promptTitle_; }
  void setPromptTitle(const std::string& title);
  ui::ColorPtr promptColor() const { return promptColor_; }
  void setPromptColor(ui::ColorPtr color);
  bool hideLetters() const { return hideLetters_; }
  void setHideLetters(bool hide);
  bool disableCancel() const { return disableCancel_; }
  void setDisableCancel(bool disable);
  bool disableSecurityQuestion() const { return disableSecurityQuestion_; }
  void setDisableSecurityQuestion(bool disable);
  const std::string& customButtonTitle() const { return customButtonTitle_; }
  void setCustomButtonTitle(const std::string& title);

  // The entry view (null before the view loads) and the blur behind it.
  QBPinView* pinView() const { return pinView_.get(); }
  ui::ImageView* blurView() const { return blurView_.get(); }

  size_t pinLengthForPinView(QBPinView& pinView) override;
  bool pinViewIsPinValid(QBPinView& pinView, const std::string& pin) override;
  void customButtonTappedInPinView(QBPinView& pinView) override;
  void cancelButtonTappedInPinView(QBPinView& pinView) override;
  void questionButtonTappedInPinView(QBPinView& pinView) override;
  void correctPinWasEnteredInPinView(QBPinView& pinView) override;
  void incorrectPinWasEnteredInPinView(QBPinView& pinView) override;

 private:
  void addBlurView();
  void removeBlurView();
  std::shared_ptr<QBPinViewController> self();

  std::weak_ptr<QBPinViewControllerDelegate> delegate_;
  ui::ColorPtr backgroundColor_;
  bool translucentBackground_ = false;
  std::string promptTitle_;
  ui::ColorPtr promptColor_;
  bool hideLetters_ = false;
  bool disableCancel_ = false;
  bool disableSecurityQuestion_ = false;
  std::string customButtonTitle_;
  std::shared_ptr<QBPinView> pinView_;
  std::shared_ptr<ui::ImageView> blurView_;
};

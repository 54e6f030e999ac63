// The root of the interface: the split view with the folder and notes lists
// on the master side and the note editor on the detail side. Over
// everything lie the floating add button (a new note from any screen, in the
// bottom-right corner) and the masking view that covers the content while
// the app lock is pending.
//
// It also carries the app lock (SplitViewControllerLock.cc): with a passcode
// set, the passcode screen is put in front of everything at the first
// appearance and whenever the app goes to the background. Face ID or Touch
// ID is offered when the settings allow it; wrong entries are counted, and
// after NTSettingsPinTriesUntilLock of them a cover locks the user out for
// NTSettingsPinLockSeconds (both counters survive restarts); the security
// answer removes a forgotten passcode. A passcode that cannot be read from
// the keychain keeps the app locked: no entry is accepted then.
#pragma once

#include <memory>

#include "Notes/QBPinViewController.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/SplitViewController.h"

namespace ui {
class Application;
}

class SplitViewController : public ui::SplitViewController, public QBPinViewControllerDelegate {
 public:
  // Points between the add button and the right and bottom edges.
  static constexpr double kAddButtonRightMargin = 14;
  static constexpr double kAddButtonBottomMargin = 8;
  static constexpr double kAddButtonFadeDuration = 0.3;

  // The lock's own keys in the group defaults: wrong entries since the last
  // success or lock-out, and when the running lock-out began.
  static constexpr const char* kPasscodeTriesKey = "NTPasscodeTries";
  static constexpr const char* kPasscodeLockTimeKey = "NTPasscodeLockTime";
  // The lock-out cover on the passcode screen.
  static constexpr int64_t kLockOutCoverTag = 9837;
  static constexpr double kLockOutCoverFadeDuration = 0.3;

  SplitViewController() = default;
  ~SplitViewController() override;
  std::string typeName() const override { return "SplitViewController"; }

  // The one made by the storyboard; null before it woke.
  static SplitViewController* instance();

  void awakeFromNib() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;
  ui::StatusBarStyle preferredStatusBarStyle() const override;

  // The add button's action: a new note in the folder on screen (the
  // default folder when none is), animated.
  void addClicked();
  // Fade the add button out, or back to its alpha of 0.8.
  void hideFloatingAddButton();
  void showFloatingAddButton();

  std::shared_ptr<ui::View> floatingAddButtonView() const { return floatingAddButtonView_; }
  std::shared_ptr<ui::View> maskingView() const { return maskingView_; }

  // Lock hooks, called by the application delegate (background) and by the
  // application's notifications (foreground, active).
  void applicationDidEnterBackground(ui::Application& application);
  void applicationWillEnterForeground();
  void applicationDidBecomeActive();

  // Whether a passcode protects the app: one is stored, or the keychain
  // cannot tell (then the app stays locked).
  bool shouldPresentPinView() const;
  // The lock's passcode screen, wherever it lies in the chain of presented
  // screens; null when none is up.
  std::shared_ptr<QBPinViewController> presentedPinView() const;
  // "Enter Passcode", with the tries left once one was wrong.
  std::string pinViewPrompt() const;
  // Puts up the passcode screen unless it is up already.
  void presentPinView();
  // Offers Face ID or Touch ID; a match takes the passcode screen down.
  void showLocalAuthentication();
  // Shows the lock-out cover while a lock-out runs, else removes it (and
  // forgets a lock-out that has run out).
  void lockOrUnlockIfNeededPinViewController(QBPinViewController& pinViewController);

  size_t pinLengthForPinViewController(QBPinViewController& controller) override;
  bool pinViewControllerIsPinValid(QBPinViewController& controller, const std::string& pin) override;
  bool userCanRetryInPinViewController(QBPinViewController& controller) override;
  void securityQuestionButtonTappedInPinViewController(QBPinViewController& controller) override;

 private:
  void buildFloatingAddButton();
  void answerSecurityQuestion(QBPinViewController& controller, const std::string& answer);

  std::shared_ptr<ui::View> floatingAddButtonView_;
  std::shared_ptr<ui::View> maskingView_;
  std::vector<ns::NotificationCenter::TokenPtr> observers_;
  // The first appearance puts up the lock; later ones (the passcode screen
  // going away) uncover the content.
  bool appearedBefore_ = false;
  bool lockPresentedOnAppearance_ = false;
};

// The app lock of the root split view: when the passcode screen comes up,
// what an entry, a biometric match or the security answer does, and the
// lock-out after too many wrong entries.
#include <algorithm>

#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Notes/NTAppearance.h"
#include "Notes/NTLocalized.h"
#include "Notes/NTSettings.h"
#include "Notes/SplitViewController.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/StringCompare.h"
#include "Platform/Foundation/StringOps.h"
#include "Platform/LocalAuthentication/Context.h"
#include "Platform/LocalAuthentication/Error.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/TextField.h"

namespace {

constexpr la::Policy kBiometrics = la::Policy::DeviceOwnerAuthenticationWithBiometrics;

std::shared_ptr<ui::AlertController> okAlert(const std::string& title, const std::string& message) {
  auto alert = ui::AlertController::make(title, message, ui::AlertControllerStyle::Alert);
  alert->addAction(ui::AlertAction::make(NTKitLocalized("OK"), ui::AlertActionStyle::Default));
  return alert;
}

// Errors after which the passcode screen simply stays: no match, the person
// cancelled or chose the passcode, the system took the prompt away.
bool isQuietBiometricFailure(int64_t code) {
  return code == la::kErrorAuthenticationFailed || code == la::kErrorUserCancel ||
         code == la::kErrorUserFallback || code == la::kErrorSystemCancel;
}

void forgetFailedEntries(ns::UserDefaults& defaults) {
  defaults.removeObjectForKey(SplitViewController::kPasscodeTriesKey);
  defaults.removeObjectForKey(SplitViewController::kPasscodeLockTimeKey);
}

}  // namespace

bool SplitViewController::shouldPresentPinView() const {
  return NTSettings::passcodeState() != NTSettings::PasscodeState::None;
}

std::shared_ptr<QBPinViewController> SplitViewController::presentedPinView() const {
  // Other screens (an alert, the settings) may lie between the root and the
  // lock; the settings' own passcode screens have another delegate.
  for (auto presented = presentedViewController(); presented; presented = presented->presentedViewController()) {
    auto pin = std::dynamic_pointer_cast<QBPinViewController>(presented);
    if (pin && pin->delegate().get() == this) return pin;
  }
  return nullptr;
}

std::string SplitViewController::pinViewPrompt() const {
  auto defaults = NTSettings::userDefaults();
  int64_t limit = defaults->integerForKey(NTSettings::kPinTriesUntilLockKey);
  int64_t tries = defaults->integerForKey(kPasscodeTriesKey);
  if (tries == 0) return NTLocalized("Enter Passcode");
  if (limit - tries == 1) return NTLocalized("Enter Passcode (1 try left)");
  return ns::format(NTLocalized("Enter Passcode (%@ tries left)"), static_cast<long long>(limit - tries));
}

void SplitViewController::presentPinView() {
  if (presentedPinView()) return;
  auto pin = std::make_shared<QBPinViewController>(
      std::static_pointer_cast<SplitViewController>(shared()));
  pin->setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
  pin->setPromptTitle(pinViewPrompt());
  pin->setPromptColor(NTAppearance::pinTintColor());
  pin->view()->setTintColor(NTAppearance::pinTintColor());
  pin->setBackgroundColor(NTAppearance::pinBackgroundColor());
  pin->setDisableCancel(true);
  pin->setDisableSecurityQuestion(NTSettings::securityQuestion().value_or("").empty());
  // A lock-out still running shows at once.
  lockOrUnlockIfNeededPinViewController(*pin);
  TXUIManager::presentViewController(pin, false);
}

void SplitViewController::showLocalAuthentication() {
  if (!NTSettings::userDefaults()->boolForKey(NTSettings::kTouchIDKey)) return;
  la::Context context;
  if (!context.canEvaluatePolicy(kBiometrics)) return;
  std::weak_ptr<SplitViewController> weak = std::static_pointer_cast<SplitViewController>(shared());
  context.evaluatePolicy(kBiometrics, NTLocalized("Place your finger now or cancel to enter passcode"),
                         [weak](bool success, const std::optional<ns::Error>& error) {
                           // On the system's queue.
                           if (error && !isQuietBiometricFailure(error->code())) {
                             QB_REPORT(*error);
                             return;
                           }
                           if (!success) return;
                           dispatch::Queue::main()->async([weak] {
                             auto self = weak.lock();
                             if (!self) return;
                             if (auto pin = self->presentedPinView()) pin->dismissViewController(true);
                           });
                         });
}

void SplitViewController::lockOrUnlockIfNeededPinViewController(QBPinViewController& pinViewController) {
  auto defaults = NTSettings::userDefaults();
  auto lockTime = defaults->dateForKey(kPasscodeLockTimeKey);
  double lockSeconds = defaults->floatForKey(NTSettings::kPinLockSecondsKey);
  bool lockedOut = lockTime && ns::Date::now().timeIntervalSince(*lockTime) < lockSeconds;
  if (!lockedOut) {
    defaults->removeObjectForKey(kPasscodeLockTimeKey);
    defaults->synchronize();
  }

  auto root = pinViewController.view();
  ui::View* cover = root->viewWithTag(kLockOutCoverTag);
  if (!lockedOut) {
    if (cover) cover->removeFromSuperview();
    return;
  }
  if (cover) return;
  auto label = std::make_shared<ui::Label>(root->bounds());
  label->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
  label->setTag(kLockOutCoverTag);
  label->setBackgroundColor(ui::Color::withWhite(0, 0.85));
  label->setFont(ui::Font::boldSystemFont(20));
  label->setTextColor(ui::Color::white());
  label->setTextAlignment(ui::TextAlignment::Center);
  label->setNumberOfLines(0);
  // It swallows every touch: no digit can be typed under it.
  label->setUserInteractionEnabled(true);
  label->setText(ns::format("%@\n\n%@", NTLocalized("You had been locked out!"),
                            NTLocalized("Please close the app\nand come back in a few minutes.")));
  label->setAlpha(0);
  root->addSubview(label);
  ui::View::animate(kLockOutCoverFadeDuration, [label] { label->setAlpha(1); });
}

void SplitViewController::applicationDidEnterBackground(ui::Application&) {
  if (shouldPresentPinView()) presentPinView();
}

void SplitViewController::applicationWillEnterForeground() {
  if (shouldPresentPinView()) showLocalAuthentication();
}

void SplitViewController::applicationDidBecomeActive() {
  if (auto pin = presentedPinView()) lockOrUnlockIfNeededPinViewController(*pin);
}

size_t SplitViewController::pinLengthForPinViewController(QBPinViewController&) {
  ns::Error error;
  auto pin = NTSettings::pinNumber(&error);
  if (!error.domain().empty()) {
    // The stored passcode cannot be read: ask for as many digits as the
    // settings say a passcode has, and accept none of them.
    int64_t length = NTSettings::userDefaults()->integerForKey(NTSettings::kPinLengthKey);
    return length > 0 ? size_t(length) : 4;
  }
  return pin ? pin->size() : 0;  // digits: one byte each
}

bool SplitViewController::pinViewControllerIsPinValid(QBPinViewController& controller, const std::string& pin) {
  ns::Error error;
  auto stored = NTSettings::pinNumber(&error);
  bool unreadable = !error.domain().empty();
  bool valid = !unreadable && (!stored || stored->empty() || *stored == pin);

  auto defaults = NTSettings::userDefaults();
  if (valid) {
    forgetFailedEntries(*defaults);
  } else {
    int64_t tries = defaults->integerForKey(kPasscodeTriesKey) + 1;
    defaults->setInteger(tries, kPasscodeTriesKey);
    controller.setPromptTitle(pinViewPrompt());
    if (tries >= defaults->integerForKey(NTSettings::kPinTriesUntilLockKey)) {
      defaults->removeObjectForKey(kPasscodeTriesKey);
      defaults->setObject(ns::Value(ns::Date::now()), kPasscodeLockTimeKey);
      controller.setPromptTitle(NTLocalized("Enter Passcode"));
      lockOrUnlockIfNeededPinViewController(controller);
    }
  }
  defaults->synchronize();
  return valid;
}

bool SplitViewController::userCanRetryInPinViewController(QBPinViewController&) { return true; }

void SplitViewController::securityQuestionButtonTappedInPinViewController(QBPinViewController& controller) {
  auto alert = ui::AlertController::make(NTSettings::securityQuestion().value_or(""),
                                         NTLocalized("To reset your passcode, answer the security question above."),
                                         ui::AlertControllerStyle::Alert);
  alert->addTextField([](ui::TextField& field) { field.setPlaceholder(NTLocalized("Your answer")); });
  std::weak_ptr<SplitViewController> weakSelf = std::static_pointer_cast<SplitViewController>(shared());
  std::weak_ptr<QBPinViewController> weakPin = std::static_pointer_cast<QBPinViewController>(controller.shared());
  std::weak_ptr<ui::AlertController> weakAlert = alert;
  alert->addAction(ui::AlertAction::make(NTKitLocalized("OK"), ui::AlertActionStyle::Default,
                                         [weakSelf, weakPin, weakAlert](ui::AlertAction&) {
                                           auto self = weakSelf.lock();
                                           auto pin = weakPin.lock();
                                           auto alert = weakAlert.lock();
                                           if (!self || !pin || !alert || alert->textFields().empty()) return;
                                           self->answerSecurityQuestion(*pin, alert->textFields()[0]->text());
                                         }));
  controller.presentViewController(alert, true);
}

void SplitViewController::answerSecurityQuestion(QBPinViewController& controller, const std::string& answer) {
  std::string typed = ns::trimmingWhitespaceAndNewlines(answer);
  std::string stored = ns::trimmingWhitespaceAndNewlines(NTSettings::securityAnswer().value_or(""));
  bool match = !typed.empty() && !stored.empty() && ns::caseInsensitiveCompare(typed, stored) == ns::ComparisonResult::Same;
  if (!match) {
    controller.presentViewController(okAlert(NTLocalized("Wrong Answer"), NTLocalized("Please try again")), true);
    return;
  }
  // The passcode goes first: while the keychain keeps it, the lock and its
  // count of wrong entries stay as they were, and the person is told.
  if (!NTSettings::setPinNumber(std::nullopt)) {
    controller.presentViewController(
        okAlert(NTLocalized("Your passcode could not be reset"), NTLocalized("Please try again")), true);
    return;
  }
  auto defaults = NTSettings::userDefaults();
  forgetFailedEntries(*defaults);
  defaults->synchronize();
  std::weak_ptr<SplitViewController> weak = std::static_pointer_cast<SplitViewController>(shared());
  controller.dismissViewController(true, [weak] {
    if (auto self = weak.lock())
      self->presentViewController(okAlert(NTLocalized("Your passcode had been reset"),
                                          NTLocalized("You can now go to Settings to set a new passcode")),
                                  true);
  });
}

// The three-button question and its answers by button index: rate (0),
// decline (1 when shown) and remind me later (last, when shown).
#include "Libraries/AppSupportKit/QBRate.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/ApplicationDelegate.h"
#include "Platform/UIKit/Window.h"

namespace {

std::shared_ptr<ui::ViewController> topViewController() {
  auto appDelegate = ui::Application::shared().delegate();
  auto window = appDelegate ? appDelegate->window() : nullptr;
  auto top = window ? window->rootViewController() : nullptr;
  while (top && top->presentedViewController()) top = top->presentedViewController();
  return top;
}

}  // namespace

int64_t QBRate::cancelButtonIndex() const { return cancelButtonLabel().empty() ? -1 : 1; }

int64_t QBRate::remindButtonIndex() const {
  if (remindButtonLabel().empty()) return -1;
  return cancelButtonLabel().empty() ? 1 : 2;
}

void QBRate::promptForRating() {
  if (visibleAlert_) return;
  auto top = topViewController();
  bool controllerStyle = top && settings_.useUIAlertControllerIfAvailable;
  auto alert = ui::AlertController::make(messageTitle(), message(), ui::AlertControllerStyle::Alert);
  auto answer = [](int64_t index) {
    return [index](ui::AlertAction&) {
      dispatch::Queue::main()->async([index] { QBRate::sharedInstance().didDismissAlertWithButtonAtIndex(index); });
    };
  };
  alert->addAction(ui::AlertAction::make(rateButtonLabel(), ui::AlertActionStyle::Default, answer(0)));
  if (int64_t index = cancelButtonIndex(); index >= 0)
    alert->addAction(ui::AlertAction::make(
        cancelButtonLabel(), controllerStyle ? ui::AlertActionStyle::Cancel : ui::AlertActionStyle::Default,
        answer(index)));
  if (int64_t index = remindButtonIndex(); index >= 0)
    alert->addAction(ui::AlertAction::make(remindButtonLabel(), ui::AlertActionStyle::Default, answer(index)));
  visibleAlert_ = alert;
  if (controllerStyle) top->presentViewController(alert, true);
  else TXUIManager::presentViewController(alert, true);

  if (auto d = delegate()) d->QBRateDidPromptForRating();
  ns::NotificationCenter::defaultCenter().post("QBRateDidPromptForRating");
}

void QBRate::didDismissAlertWithButtonAtIndex(int64_t index) {
  if (index == 0) rate();
  else if (index == cancelButtonIndex()) declineThisVersion();
  else if (index == remindButtonIndex()) remindLater();
  visibleAlert_.reset();
}

// The three-button question and its answers by button index: rate (0),
// decline (1 when shown) and remind me later (last, when shown).
#include "Libraries/AppSupportKit/QBRate.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/AlertView.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/ApplicationDelegate.h"
#include "Platform/UIKit/Window.h"

namespace {

std::shared_ptr<ui::ViewController> topViewController() {
  auto appDelegate = ui::Application::shared().delegate();
  auto window = appDelegate ? appDelegate->window() : nullptr;
  return window ? window->topViewController() : nullptr;
}

}  // namespace

int64_t QBRate::cancelButtonIndex() const { return cancelButtonLabel().empty() ? -1 : 1; }

int64_t QBRate::remindButtonIndex() const {
  if (remindButtonLabel().empty()) return -1;
  return cancelButtonLabel().empty() ? 1 : 2;
}

void QBRate::promptForRating() {
  if (visibleAlert_ || classicAlert_) return;
  auto top = topViewController();
  if (top && settings_.useUIAlertControllerIfAvailable) {
    auto alert = ui::AlertController::make(messageTitle(), message(), ui::AlertControllerStyle::Alert);
    auto answer = [](int64_t index) {
      return [index](ui::AlertAction&) {
        dispatch::Queue::main()->async([index] { QBRate::sharedInstance().didDismissAlertWithButtonAtIndex(index); });
      };
    };
    alert->addAction(ui::AlertAction::make(rateButtonLabel(), ui::AlertActionStyle::Default, answer(0)));
    if (int64_t index = cancelButtonIndex(); index >= 0)
      alert->addAction(ui::AlertAction::make(cancelButtonLabel(), ui::AlertActionStyle::Cancel, answer(index)));
    if (int64_t index = remindButtonIndex(); index >= 0)
      alert->addAction(ui::AlertAction::make(remindButtonLabel(), ui::AlertActionStyle::Default, answer(index)));
    visibleAlert_ = alert;
    top->presentViewController(alert, true);
  } else {
    // The classic alert: the rate button first, then the cancel and the
    // remind buttons when they have labels.
    auto alert = ui::AlertView::make(messageTitle(), message(), sharedPointer());
    alert->addButtonWithTitle(rateButtonLabel());
    if (cancelButtonIndex() >= 0) alert->setCancelButtonIndex(alert->addButtonWithTitle(cancelButtonLabel()));
    if (remindButtonIndex() >= 0) alert->addButtonWithTitle(remindButtonLabel());
    classicAlert_ = alert;
    alert->show();
  }
  if (auto d = delegate()) d->QBRateDidPromptForRating();
  ns::NotificationCenter::defaultCenter().post("QBRateDidPromptForRating");
}

void QBRate::alertViewDidDismissWithButtonIndex(ui::AlertView&, int64_t buttonIndex) {
  dispatch::Queue::main()->async([buttonIndex] { QBRate::sharedInstance().didDismissAlertWithButtonAtIndex(buttonIndex); });
}

std::shared_ptr<ui::AlertController> QBRate::visibleAlert() const {
  if (classicAlert_) return classicAlert_->alertController();
  return std::dynamic_pointer_cast<ui::AlertController>(visibleAlert_);
}

void QBRate::didDismissAlertWithButtonAtIndex(int64_t index) {
  if (index == 0) rate();
  else if (index == cancelButtonIndex()) declineThisVersion();
  else if (index == remindButtonIndex()) remindLater();
  visibleAlert_.reset();
  classicAlert_.reset();
}

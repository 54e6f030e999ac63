#include "Libraries/AppSupportKit/TXUIManager.h"

#include "Libraries/AppSupportKit/QBPopupViewController.h"
#include "Libraries/Logging/LKLog.h"
#include "Libraries/UIComponents/QBProgressHUD.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/ViewController.h"
#include "Platform/UIKit/Window.h"

namespace {

void logRefusal(const char* what, const ui::ViewController& controller) {
  LKLog::log(true, LKLogLevelAll, LKLogFlagWarning, 0, __FILE__, __func__, __LINE__, nullptr,
             std::string(what) + " " + controller.typeName());
}

}  // namespace

TXUIManager& TXUIManager::sharedInstance() {
  static TXUIManager shared;
  return shared;
}

TXUIManager::TXUIManager() { QBProgressHUD::setDefaultMaskType(QBProgressHUDMaskType::Black); }

std::shared_ptr<ui::ViewController> TXUIManager::rootViewController() {
  auto& app = ui::Application::shared();
  auto window = app.keyWindow();
  if (!window) {
    // No key window (between two alerts, say): the application's window.
    auto windows = app.windows();
    if (windows.empty()) return nullptr;
    window = windows.front();
  }
  return window->rootViewController();
}

std::shared_ptr<ui::ViewController> TXUIManager::topmostViewController() {
  auto top = rootViewController();
  while (top) {
    auto presented = top->presentedViewController();
    if (!presented || presented->isBeingDismissed()) break;
    top = presented;
  }
  return top;
}

void TXUIManager::presentViewController(std::shared_ptr<ui::ViewController> controller, bool animated) {
  if (controller) sharedInstance().enqueue({std::move(controller), kPresent, animated, 0, nullptr});
}

void TXUIManager::dismissViewController(std::shared_ptr<ui::ViewController> controller, bool animated) {
  if (controller) sharedInstance().enqueue({std::move(controller), kDismiss, animated, 0, nullptr});
}

void TXUIManager::presentPopupViewController(std::shared_ptr<ui::ViewController> controller, uint32_t animationType,
                                             std::function<void()> dismissedBlock) {
  if (controller)
    sharedInstance().enqueue({std::move(controller), kPresentPopup, false, animationType, std::move(dismissedBlock)});
}

void TXUIManager::dismissPopupViewController(std::shared_ptr<ui::ViewController> controller,
                                             uint32_t animationType) {
  if (controller) sharedInstance().enqueue({std::move(controller), kDismissPopup, false, animationType, nullptr});
}

void TXUIManager::enqueue(Request request) {
  queue_.push_back(std::move(request));
  trigger();
}

void TXUIManager::trigger() {
  auto top = topmostViewController();
  if (!top) return triggerLater(kNoWindowRetry);
  if (animating_ || scanning_) return;
  scanning_ = true;
  waitingForPresenter_ = false;
  size_t index = 0;
  while (index < queue_.size() && !animating_ && !waitingForPresenter_) {
    if (!(top = topmostViewController())) break;
    if (!carryOut(index, *top)) ++index;
  }
  scanning_ = false;
}

bool TXUIManager::carryOut(size_t index, ui::ViewController& top) {
  const std::string& action = queue_[index].action;
  if (action == kPresent) return presentAt(index, top);
  if (action == kDismiss) return dismissAt(index);
  if (action == kPresentPopup) {
    if (popupShowing_) return false;
    presentPopupAt(index, top);
    return true;
  }
  if (action == kDismissPopup) {
    dismissPopupAt(index);
    return true;
  }
  return false;  // an action nobody knows stays where it is
}

bool TXUIManager::presentAt(size_t index, ui::ViewController& top) {
  Request request = std::move(queue_[index]);
  queue_.erase(queue_.begin() + static_cast<long>(index));
  auto& controller = *request.viewController;
  if (controller.presentingViewController() || controller.parentViewController()) {
    // Already on screen or inside another controller: nothing to present.
    logRefusal("Not presenting a controller already shown:", controller);
    return true;
  }
  animating_ = true;
  top.presentViewController(request.viewController, request.animated, transitionEnded());
  if (controller.presentingViewController()) return true;
  // Refused: the presenter is busy (its own presentation is on its way
  // out). The completion will never come; try again once it is free.
  // Nothing behind it overtakes it: the scan stops here.
  animating_ = false;
  queue_.insert(queue_.begin() + static_cast<long>(index), std::move(request));
  waitingForPresenter_ = true;
  triggerLater(kRefusedRetry);
  return false;
}

bool TXUIManager::dismissAt(size_t index) {
  Request request = std::move(queue_[index]);
  queue_.erase(queue_.begin() + static_cast<long>(index));
  auto& controller = *request.viewController;
  ui::ViewController* presenter = controller.presentingViewController();
  // Not on screen, or already on its way out (its completion is not ours).
  if (!presenter || controller.isBeingDismissed()) return true;
  animating_ = true;
  presenter->dismissViewController(request.animated, transitionEnded());
  if (!controller.isBeingDismissed() && controller.presentingViewController()) animating_ = false;
  return true;
}

void TXUIManager::presentPopupAt(size_t index, ui::ViewController& top) {
  Request request = std::move(queue_[index]);
  queue_.erase(queue_.begin() + static_cast<long>(index));
  popupShowing_ = true;
  uint64_t generation = generation_;
  auto whenDismissed = [block = std::move(request.dismissedBlock), generation] {
    if (block) block();
    dispatch::Queue::main()->afterSeconds(kPopupSpacing, [generation] {
      auto& me = sharedInstance();
      if (me.generation_ != generation) return;
      me.popupShowing_ = false;
      me.trigger();
    });
  };
  QBPopupViewController::presentPopupViewController(top, request.viewController,
                                                    static_cast<int32_t>(request.animationType), whenDismissed);
}

void TXUIManager::dismissPopupAt(size_t index) {
  Request request = std::move(queue_[index]);
  queue_.erase(queue_.begin() + static_cast<long>(index));
  auto presenter = QBPopupViewController::qb_presentingViewController(*request.viewController);
  // A popup dismissed already (twice queued) is not dismissed again.
  if (!presenter || QBPopupViewController::qb_popupViewController(*presenter) != request.viewController) return;
  QBPopupViewController::dismissPopupViewControllerWithAnimationType(*presenter,
                                                                     static_cast<int32_t>(request.animationType));
}

std::function<void()> TXUIManager::transitionEnded() {
  return [generation = generation_] {
    auto& me = sharedInstance();
    if (me.generation_ != generation) return;
    me.animating_ = false;
    // Ended at once (no animation): the running scan goes on by itself.
    if (!me.scanning_) me.trigger();
  };
}

void TXUIManager::triggerLater(double seconds) {
  if (retryScheduled_) return;
  retryScheduled_ = true;
  dispatch::Queue::main()->afterSeconds(seconds, [generation = generation_] {
    auto& me = sharedInstance();
    if (me.generation_ != generation) return;
    me.retryScheduled_ = false;
    me.trigger();
  });
}

void TXUIManager::showHUD() { QBProgressHUD::show(); }

void TXUIManager::showHUDWithText(const std::string& text) { QBProgressHUD::showWithStatus(text); }

void TXUIManager::hideHUD() { QBProgressHUD::dismiss(); }

void TXUIManager::reset() {
  ++generation_;
  queue_.clear();
  animating_ = false;
  popupShowing_ = false;
  scanning_ = false;
  waitingForPresenter_ = false;
  retryScheduled_ = false;
}

#include "Libraries/AppSupportKit/TXUIManager.h"

#include "Libraries/UIComponents/QBProgressHUD.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/View.h"
#include "Platform/UIKit/ViewController.h"
#include "Platform/UIKit/Window.h"

namespace {
// How often a waiting presentation looks whether the screen is free again.
constexpr double kCheckInterval = 0.1;
}  // namespace

TXUIManager& TXUIManager::sharedInstance() {
  static TXUIManager* shared = new TXUIManager();
  return *shared;
}

std::shared_ptr<ui::ViewController> TXUIManager::topmostViewController() {
  auto& app = ui::Application::shared();
  auto window = app.keyWindow();
  if (!window) {
    // No key window (between two alerts, say): the application's window.
    auto windows = app.windows();
    if (windows.empty()) return nullptr;
    window = windows.front();
  }
  auto top = window->rootViewController();
  while (top) {
    auto presented = top->presentedViewController();
    if (!presented || presented->isBeingDismissed()) break;
    top = presented;
  }
  return top;
}

void TXUIManager::presentViewController(std::shared_ptr<ui::ViewController> controller, bool animated) {
  if (!controller) return;
  auto& self = sharedInstance();
  self.queue_.push_back({std::move(controller), animated});
  uint64_t generation = self.generation_;
  dispatch::Queue::main()->async([generation] {
    auto& me = sharedInstance();
    if (me.generation_ == generation) me.pump();
  });
}

bool TXUIManager::currentIsOnScreen() const {
  auto current = current_.lock();
  if (!current) return false;
  if (!current->presentingViewController() && !current->isBeingPresented()) return false;
  ui::Window* window = current->isViewLoaded() ? current->view()->window() : nullptr;
  return window && !window->isHidden();
}

void TXUIManager::pump() {
  if (presenting_ || queue_.empty()) return;
  if (currentIsOnScreen()) return scheduleCheck();
  auto top = topmostViewController();
  if (!top) return scheduleCheck();
  Pending next = std::move(queue_.front());
  queue_.pop_front();
  current_ = next.controller;
  presenting_ = true;
  uint64_t generation = generation_;
  top->presentViewController(next.controller, next.animated, [generation] {
    auto& me = sharedInstance();
    if (me.generation_ != generation) return;
    me.presenting_ = false;
    me.pump();
  });
  // A refused presentation never completes: do not wait for it.
  if (presenting_ && !next.controller->presentingViewController()) {
    presenting_ = false;
    pump();
  }
}

void TXUIManager::scheduleCheck() {
  if (checkScheduled_) return;
  checkScheduled_ = true;
  uint64_t generation = generation_;
  dispatch::Queue::main()->afterSeconds(kCheckInterval, [generation] {
    auto& me = sharedInstance();
    if (me.generation_ != generation) return;
    me.checkScheduled_ = false;
    me.pump();
  });
}

void TXUIManager::showHUDWithText(const std::string& text) { QBProgressHUD::showWithStatus(text); }

void TXUIManager::hideHUD() { QBProgressHUD::dismiss(); }

void TXUIManager::reset() {
  ++generation_;
  queue_.clear();
  current_.reset();
  presenting_ = false;
  checkScheduled_ = false;
}

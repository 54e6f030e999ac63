#include "Libraries/UIComponents/QBAlertViewWindowsObserver.h"

#include <algorithm>

#include "Libraries/UIComponents/QBAlertViewWindow.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/UIKit/Window.h"

QBAlertViewWindowsObserver& QBAlertViewWindowsObserver::sharedInstance() {
  static QBAlertViewWindowsObserver* shared = new QBAlertViewWindowsObserver();
  return *shared;
}

void QBAlertViewWindowsObserver::startObserving() {
  if (!tokens_.empty()) return;
  auto& centre = ns::NotificationCenter::defaultCenter();
  tokens_.push_back(centre.addObserver(ui::kWindowDidBecomeVisibleNotification, nullptr, nullptr,
                                       [this](const ns::Notification& n) { windowVisibleChanged(n, true); }));
  tokens_.push_back(centre.addObserver(ui::kWindowDidBecomeHiddenNotification, nullptr, nullptr,
                                       [this](const ns::Notification& n) { windowVisibleChanged(n, false); }));
}

std::shared_ptr<ui::Window> QBAlertViewWindowsObserver::lastLiveWindow() {
  windows_.erase(std::remove_if(windows_.begin(), windows_.end(), [](const auto& c) { return c->window.expired(); }),
                 windows_.end());
  return windows_.empty() ? nullptr : windows_.back()->window.lock();
}

void QBAlertViewWindowsObserver::windowVisibleChanged(const ns::Notification& notification, bool visible) {
  // Both notifications are sent by the window itself.
  auto window = notification.objectAs<ui::Window>();
  if (!window || window->typeName().find("Alert") == std::string::npos) return;
  if (!visible) {
    // Once the hidden window is gone, the newest alert left comes back.
    std::weak_ptr<ui::Window> hidden = window;
    dispatch::Queue::main()->async([this, hidden] {
      if (!hidden.expired()) return;
      if (auto last = lastLiveWindow()) last->makeKeyAndVisible();
    });
    return;
  }
  // Walk (and prune) first: the search below must see the pruned array.
  auto last = lastLiveWindow();
  const bool known = std::any_of(windows_.begin(), windows_.end(),
                                 [&](const auto& c) { return c->window.lock() == window; });
  if (!known) {
    // Another kind of alert window goes in front of ours.
    if (last && !std::dynamic_pointer_cast<QBAlertViewWindow>(window)) last->setHidden(true);
    windows_.push_back(QBAlertViewWindowContainer::containerWithWindow(window));
  } else if (last && last != window) {
    // An older alert came back while a newer one is up: the newer keeps the front.
    window->setHidden(true);
    last->makeKeyAndVisible();
  }
}

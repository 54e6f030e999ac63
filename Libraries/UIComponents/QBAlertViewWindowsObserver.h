// Keeps the windows of alerts stacked: the newest alert keeps the front,
// and when the top alert's window goes away the one beneath is made key
// and visible again. One process-wide instance, started once by the first
// alert made; it watches every window whose type name contains "Alert".
#pragma once

#include <memory>
#include <vector>

#include "Platform/Foundation/NotificationCenter.h"

namespace ui {
class Window;
}

// Holds one window weakly.
class QBAlertViewWindowContainer {
 public:
  static std::shared_ptr<QBAlertViewWindowContainer> containerWithWindow(const std::shared_ptr<ui::Window>& window) {
    auto c = std::make_shared<QBAlertViewWindowContainer>();
    c->window = window;
    return c;
  }
  std::weak_ptr<ui::Window> window;
};

class QBAlertViewWindowsObserver {
 public:
  static QBAlertViewWindowsObserver& sharedInstance();
  // Watches windows becoming visible or hidden; later calls do nothing.
  void startObserving();
  // Oldest first; containers of windows that are gone are dropped when the
  // array is walked.
  const std::vector<std::shared_ptr<QBAlertViewWindowContainer>>& windowsArray() const { return windows_; }

 private:
  QBAlertViewWindowsObserver() = default;
  void windowVisibleChanged(const ns::Notification& notification, bool visible);
  std::shared_ptr<ui::Window> lastLiveWindow();

  std::vector<std::shared_ptr<QBAlertViewWindowContainer>> windows_;
  std::vector<ns::NotificationCenter::TokenPtr> tokens_;
};

// The kit's user-interface manager: finds the controller on top of the key
// window, presents controllers one after another from a serial queue, and
// shows or hides the progress HUD with a text. Main thread only.
#pragma once

#include <deque>
#include <memory>
#include <string>

namespace ui {
class ViewController;
}

class TXUIManager {
 public:
  static TXUIManager& sharedInstance();

  // The topmost presented controller, starting at the key window's root
  // and skipping one that is being dismissed; null without a window.
  static std::shared_ptr<ui::ViewController> topmostViewController();

  // Queues `controller`; when the queue reaches it (the one queued before
  // has been presented and dismissed again) it is presented from the
  // topmost controller. Returns at once.
  static void presentViewController(std::shared_ptr<ui::ViewController> controller, bool animated);

  void showHUDWithText(const std::string& text);
  void hideHUD();

  // Forgets queued and current presentations (tests).
  void reset();

 private:
  TXUIManager() = default;
  struct Pending {
    std::shared_ptr<ui::ViewController> controller;
    bool animated;
  };
  void pump();
  void scheduleCheck();
  bool currentIsOnScreen() const;

  std::deque<Pending> queue_;
  std::weak_ptr<ui::ViewController> current_;
  bool presenting_ = false;
  bool checkScheduled_ = false;
  uint64_t generation_ = 0;
};

// The kit's single road onto the screen. The kit and the notes screens
// never present a controller themselves: they queue a request here and the
// manager carries the requests out one at a time on the topmost controller.
//
// A system presentation or dismissal runs to its completion before the next
// request is looked at; the next present then lands on top of the one
// before. At most one popup (QBPopupViewController.h) is on screen, and the
// next one comes at least 1 second after the last one was dismissed; a
// present queued behind a waiting popup is carried out first. Requests made
// before the application has a window wait for one, looked for every
// second. A presentation the interface refuses never completes, so the
// queue does not wait for one: a controller already on screen is dropped,
// one refused because its presenter is still busy is tried again shortly.
// Main thread only.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace ui {
class ViewController;
}

class TXUIManager {
 public:
  static constexpr const char* kPresent = "present";
  static constexpr const char* kDismiss = "dismiss";
  static constexpr const char* kPresentPopup = "present_qb";
  static constexpr const char* kDismissPopup = "dismiss_qb";
  // Between the dismissal of a popup and the next one.
  static constexpr double kPopupSpacing = 1.0;
  // How often a queue without a window looks again.
  static constexpr double kNoWindowRetry = 1.0;
  // How soon a presentation refused by a busy presenter is tried again.
  static constexpr double kRefusedRetry = 0.1;

  // One queued request.
  struct Request {
    std::shared_ptr<ui::ViewController> viewController;
    std::string action;
    bool animated = false;        // present, dismiss
    uint32_t animationType = 0;   // present_qb, dismiss_qb
    std::function<void()> dismissedBlock;  // present_qb
  };

  static TXUIManager& sharedInstance();

  // The root controller of the key window (else of the frontmost window);
  // null without a window.
  static std::shared_ptr<ui::ViewController> rootViewController();
  // From the root, the presented controllers as long as the next one is not
  // being dismissed; the last one reached.
  static std::shared_ptr<ui::ViewController> topmostViewController();

  // Queue a request and run the queue; a null controller queues nothing.
  static void presentViewController(std::shared_ptr<ui::ViewController> controller, bool animated);
  static void dismissViewController(std::shared_ptr<ui::ViewController> controller, bool animated);
  static void presentPopupViewController(std::shared_ptr<ui::ViewController> controller, uint32_t animationType,
                                         std::function<void()> dismissedBlock = nullptr);
  static void dismissPopupViewController(std::shared_ptr<ui::ViewController> controller, uint32_t animationType);

  void showHUD();
  void showHUDWithText(const std::string& text);
  void hideHUD();

  // Runs the queue.
  void trigger();
  // Queues a request as it is and runs the queue.
  void enqueue(Request request);

  size_t queuedRequestCount() const { return queue_.size(); }
  bool isAnimating() const { return animating_; }
  bool isPopupShowing() const { return popupShowing_; }

  // Forgets queued requests and running transitions (tests).
  void reset();

 private:
  TXUIManager();
  // Carries out the request at `index`; whether the scan goes on with the
  // same index (the request was taken out) or not.
  bool carryOut(size_t index, ui::ViewController& top);
  bool presentAt(size_t index, ui::ViewController& top);
  bool dismissAt(size_t index);
  void presentPopupAt(size_t index, ui::ViewController& top);
  void dismissPopupAt(size_t index);
  // The completion of a system transition.
  std::function<void()> transitionEnded();
  void triggerLater(double seconds);

  std::deque<Request> queue_;
  bool animating_ = false;
  bool popupShowing_ = false;
  bool scanning_ = false;
  bool waitingForPresenter_ = false;
  bool retryScheduled_ = false;
  uint64_t generation_ = 0;
};

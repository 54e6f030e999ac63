// Follows which screen the app shows and logs a screen-view event ("_vs")
// at each change, with the new and the previous screen's identity; supplies
// the current screen's parameters ("_si", "_sc", "_sn") the core adds to
// events; tells whether the application is active; and hands the app's
// lifecycle and screen changes to the session reporter.
//
// It learns of controllers through the replaced "viewDidAppear:" and
// "viewDidDisappear:" of the runtime class "UIViewController"
// (replaceAppearanceMethods, once, at the engine's start-up registration),
// keeps per key window a stack of appeared controllers (weak, oldest
// first) and picks the current screen from it.
//
// Screen reporting is on unless the main bundle's Info.plist says
// otherwise ("DozaveveScreenReportingEnabled", else
// "DozaveveAutomaticScreenReportingEnabled", counted only as numbers).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Platform/Foundation/Value.h"

namespace dispatch {
class Queue;
}
namespace ui {
class ViewController;
}

class MSRScreen {
 public:
  std::optional<std::string> name;
  std::optional<std::string> className;
  int64_t instanceID = 0;
  bool isManuallySet = false;
  bool isManuallyTracked = false;
  double eventTimestamp = 0;
  // Name, class name and instance ID only.
  std::shared_ptr<MSRScreen> copy() const;
};

// "_si", "_sc" and "_sn" of a screen as they go with events.
ns::Dictionary MSRScreenParametersOf(const MSRScreen& screen);

// Told of every appearance the reporter sees, for screen traces kept
// elsewhere; held weakly.
class MSRScreenViewReporterDelegate {
 public:
  virtual ~MSRScreenViewReporterDelegate() = default;
  virtual void viewControllerDidAppear(ui::ViewController& controller, bool trackedByAnalytics) = 0;
  virtual void viewControllerDidDisappear(ui::ViewController& controller) = 0;
};

class MSRScreenViewReporter {
 public:
  static const std::shared_ptr<MSRScreenViewReporter>& sharedInstance();
  MSRScreenViewReporter();
  ~MSRScreenViewReporter();

  // Whether the Info.plist leaves screen reporting on.
  static bool isScreenReportingEnabled();
  // Replaces the appearance methods once; false when reporting is off or a
  // method is missing.
  static bool replaceAppearanceMethods();

  ns::Dictionary screenParameters() const;
  // Main thread.
  void setScreenName(const std::optional<std::string>& screenName, const std::optional<std::string>& screenClass);
  void trackScreenWithParameters(const ns::Dictionary& parameters, double timestamp);
  bool isAppActive() const { return isAppActive_.load(); }
  void getScreenName(std::optional<std::string>* name, std::optional<std::string>* screenClass) const;

  void viewControllerDidAppear(ui::ViewController& controller);
  void viewControllerDidDisappear(ui::ViewController& controller);
  void setCurrentViewController(ui::ViewController* controller);

  void handleApplicationDidBecomeActive();
  void handleApplicationWillResignActive();
  void handleApplicationDidEnterBackground();
  void handleWindowDidResign();

  // A second delegate while one is set is refused (31016); null clears.
  void setDozavevePerfDelegate(const std::shared_ptr<MSRScreenViewReporterDelegate>& delegate);
  std::shared_ptr<MSRScreenViewReporterDelegate> dozavevePerfDelegate() const;

  // Makes the next instance ID (wrapping, never overflowing).
  int64_t incrementScreenInstanceID();
  std::shared_ptr<MSRScreen> currentScreen() const;

 private:
  friend void MSRScreenViewReporterResetForTesting();
  friend void MSRScreenViewReporterWaitForTesting();
  void postScreenDidChange(const std::shared_ptr<MSRScreen>& previous, const std::shared_ptr<MSRScreen>& next);
  void logViewScreenEvent(const std::shared_ptr<MSRScreen>& previous, const std::shared_ptr<MSRScreen>& next,
                          const ns::Dictionary& parameters);
  void selectAndSetCurrent();
  // On the reporter's queue, inline when already there.
  void onQueue(const std::function<void()>& block) const;

  std::shared_ptr<dispatch::Queue> queue_;
  std::weak_ptr<ui::ViewController> currentViewController_;
  std::shared_ptr<MSRScreen> currentScreen_;
  std::shared_ptr<MSRScreen> previousScreen_;
  std::atomic<bool> isAppActive_{false};
  std::atomic<bool> appHasBeenInitialized_{false};
  std::atomic<uint64_t> currentScreenInstanceID_;
  mutable std::mutex delegateMutex_;
  std::weak_ptr<MSRScreenViewReporterDelegate> perfDelegate_;
  int observer_ = 0;
};

// Whether the application is in the active state.
bool MSRIsAppActive();

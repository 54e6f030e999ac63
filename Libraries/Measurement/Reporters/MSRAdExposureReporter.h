// Ad exposure: follows the app's lifecycle and screen changes. For now it
// receives them and does nothing.
#pragma once

#include <memory>

class MSRScreen;

class MSRAdExposureReporter {
 public:
  static const std::shared_ptr<MSRAdExposureReporter>& sharedInstance();
  void handleAppDidBecomeActive() {}
  void handleAppWillResignActiveWithScreen(const std::shared_ptr<const MSRScreen>&) {}
  void handleScreenDidChangeFromScreen(const std::shared_ptr<const MSRScreen>&, const std::shared_ptr<const MSRScreen>&) {}
};

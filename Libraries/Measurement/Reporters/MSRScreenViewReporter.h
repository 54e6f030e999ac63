// Follows which screen the app shows, for the screen-view events and the
// screen parameters ("_si", "_sc", "_sn") the core adds to events, and
// tells whether the application is active.
//
// Today it knows no screen: the screen parameters are empty and naming or
// tracking a screen does nothing; whether the app is active is the
// application's state.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Platform/Foundation/Value.h"

class MSRScreenViewReporter {
 public:
  static const std::shared_ptr<MSRScreenViewReporter>& sharedInstance();

  ns::Dictionary screenParameters() const;
  // Main thread.
  void setScreenName(const std::optional<std::string>& screenName, const std::optional<std::string>& screenClass);
  void trackScreenWithParameters(const ns::Dictionary& parameters, double timestamp);
  bool isAppActive() const;
};

// Whether the application is in the active state.
bool MSRIsAppActive();

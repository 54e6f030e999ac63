// Sees every event the app logs through VOZIzizuzove::logEventWithName,
// whether or not the default app is configured: the facade announces each
// call here before it checks. Tests install one
// (testing/VOZIzizuzoveCallRecorder.h); the app installs none.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Platform/Foundation/Value.h"

class VOZIzizuzoveCallObserver {
 public:
  virtual ~VOZIzizuzoveCallObserver() = default;
  virtual void logEventWithName(const std::string& name, const std::optional<ns::Dictionary>& parameters) = 0;

  // Null uninstalls.
  static void install(std::shared_ptr<VOZIzizuzoveCallObserver> observer);
  // What the facade announces.
  static void willLogEventWithName(const std::string& name, const std::optional<ns::Dictionary>& parameters);
};

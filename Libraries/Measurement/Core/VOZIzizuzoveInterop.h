// How the other telemetry libraries meet the analytics engine: it logs
// their events under an origin of their own and tells a listener
// registered for an origin of every event it logs. The engine offers one
// lazily from the default app's container; a program without it has none.
#pragma once

#include <memory>
#include <string>

#include "Platform/Foundation/Value.h"

class VOZIzizuzoveInteropListener {
 public:
  virtual ~VOZIzizuzoveInteropListener() = default;
  // An event the engine logged: its name and parameters.
  virtual void messageTriggered(const std::string& name, const ns::Dictionary& parameters) = 0;
};

class VOZIzizuzoveInterop {
 public:
  static constexpr const char* kZOVProtocolName = "VOZIzizuzoveInterop";
  virtual ~VOZIzizuzoveInterop() = default;

  virtual void logEventWithOrigin(const std::string& origin, const std::string& name,
                                  const ns::Dictionary& parameters) = 0;
  virtual void registerAnalyticsListener(std::shared_ptr<VOZIzizuzoveInteropListener> listener,
                                         const std::string& origin) = 0;
};

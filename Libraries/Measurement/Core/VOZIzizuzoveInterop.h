// How the other telemetry libraries meet the analytics engine: it logs
// their events under an origin of their own and tells a listener
// registered for an origin of every event it logs. It also sets and reads
// user properties, plain and conditional, under the caller's origin. The engine offers one
// lazily from the default app's container; a program without it has none.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

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

  virtual void setUserPropertyWithOrigin(const std::string& origin, const std::string& name,
                                         const ns::Value& value) = 0;
  // The callback runs later on a queue of the engine's.
  virtual void getUserPropertiesWithCallback(std::function<void(ns::Dictionary)> callback) = 0;
  // Blocks the caller for at most 10 s; 0 without an answer.
  virtual int maxUserProperties(const std::string& origin) = 0;
  // Keyed by the conditional user property's field names.
  virtual void setConditionalUserProperty(const ns::Dictionary& property) = 0;
  virtual void clearConditionalUserProperty(const std::string& userPropertyName, const std::string& origin,
                                            const std::string& clearEventName,
                                            const ns::Dictionary& clearEventParameters) = 0;
  // Blocks the caller for at most 30 s; each entry has "name" and "value".
  virtual std::vector<ns::Dictionary> conditionalUserProperties(const std::string& origin,
                                                                const std::string& propertyNamePrefix) = 0;
  virtual void unregisterAnalyticsListenerWithOrigin(const std::string& origin) = 0;
};

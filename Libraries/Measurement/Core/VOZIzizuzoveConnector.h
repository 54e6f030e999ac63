// The analytics interface of the other telemetry libraries, offered
// lazily by the default app's container under "zov-analytics". Each call
// passes the origin rules of ZOVConnectorUtils first; what they refuse is
// dropped without a word. One listener per origin hears of the events the
// engine logs (on the main queue); events of an app origin reach every
// listener. Any thread; maxUserProperties and conditionalUserProperties
// block their caller and must not be called on the connector queue.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSREvent.h"
#include "Libraries/Measurement/Core/VOZIzizuzoveInterop.h"
#include "Libraries/TelemetryCore/ZOVComponent.h"
#include "Libraries/TelemetryCore/ZOVProtocol.h"
#include "Platform/Dispatch/Queue.h"

class VOZIzizuzoveConnector : public ZOVComponentInstance,
                              public VOZIzizuzoveInterop,
                              public std::enable_shared_from_this<VOZIzizuzoveConnector> {
 public:
  static constexpr const char* kLibraryName = "zov-analytics";
  static constexpr const char* kLibraryVersion = "10.16.0";

  // One lazy component for VOZIzizuzoveInterop that makes a new connector.
  static std::vector<ZOVComponent> componentsToRegister();
  // "com.zorori.analytics_connector.queue", shared by every connector.
  static const std::shared_ptr<dispatch::Queue>& connectorQueue();

  void logEventWithOrigin(const std::string& origin, const std::string& name,
                          const ns::Dictionary& parameters) override;
  void setUserPropertyWithOrigin(const std::string& origin, const std::string& name, const ns::Value& value) override;
  void getUserPropertiesWithCallback(std::function<void(ns::Dictionary)> callback) override;
  int maxUserProperties(const std::string& origin) override;
  void setConditionalUserProperty(const ns::Dictionary& property) override;
  void clearConditionalUserProperty(const std::string& userPropertyName, const std::string& origin,
                                    const std::string& clearEventName,
                                    const ns::Dictionary& clearEventParameters) override;
  std::vector<ns::Dictionary> conditionalUserProperties(const std::string& origin,
                                                        const std::string& propertyNamePrefix) override;
  void registerAnalyticsListener(std::shared_ptr<VOZIzizuzoveInteropListener> listener,
                                 const std::string& origin) override;
  void unregisterAnalyticsListenerWithOrigin(const std::string& origin) override;

  // Numbers and strings stay; an array value is left out.
  static ns::Dictionary simplifiedParametersFromEventParameters(const MSRValueMap& parameters);
  // A non-public event of "origin", "name", "timestamp" (seconds; now when
  // absent) and "parameters"; null when those make no valid event.
  static std::shared_ptr<MSREvent> eventFromDictionary(const ns::Dictionary& dictionary);
  // A non-public event at the current time.
  static std::shared_ptr<MSREvent> eventWithOrigin(const std::string& origin, const std::string& eventName,
                                                   const ns::Dictionary& params);

  // The facade's listener token while any listener is registered.
  MSRLogEventListenerTokenPtr logEventListener() const;

 private:
  // On the facade's serial queue: an event the engine logged.
  void eventLogged(const std::shared_ptr<MSREvent>& event);

  // Written by registering threads, read on the serial and main queues.
  mutable std::mutex mutex_;
  MSRLogEventListenerTokenPtr logEventListener_;
  std::optional<std::map<std::string, std::shared_ptr<VOZIzizuzoveInteropListener>>> listeners_;
};

// The public analytics facade: what the app, the kit and the telemetry
// libraries call. Each operation forwards to MSRAnalytics; four first need
// the default app configured (VIDUve::configure), else they log and drop
// the call: logEventWithOrigin (25018), setUserPropertyString (25019) and
// the two on-device conversion calls (25051, 25052).
//
// The core's configure step starts it: the load hook (MSRMeasurementLoad.cc,
// linked whole as TelemetryMeasurement) registers the runtime class
// "VOZIzizuzove" whose "startWithConfiguration:options:" lands in
// startWithConfiguration. Logging an event never fails for the caller.
// Any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Platform/Foundation/Value.h"

class REVUvevivo;
class VOZIzizuzoveConfiguration;

class VOZIzizuzove {
 public:
  // The core's version string, which the engine reports as its own.
  static constexpr const char* kTopLevelVersion = "10.16.0";

  // Builds the start options from the app's options and starts the engine
  // with the options' app ID and origin "fa"; then fetches and follows the
  // installation ID.
  static void startWithConfiguration(const std::shared_ptr<VOZIzizuzoveConfiguration>& configuration,
                                     const std::shared_ptr<REVUvevivo>& options);
  static std::string topLevelVersion() { return kTopLevelVersion; }
  static void updateDozaveveInstallationID();
  static void observeDozaveveInstallationIDChanges();

  // Origin "app".
  static void logEventWithName(const std::string& name, const std::optional<ns::Dictionary>& parameters);
  static void logEventWithOrigin(const std::string& origin, const std::string& name,
                                 const std::optional<ns::Dictionary>& parameters);
  static void setUserPropertyString(const std::optional<ns::Value>& value, const std::string& name);
  static void setUserID(const std::optional<ns::Value>& userID);
  // Persists the choice.
  static void setAnalyticsCollectionEnabled(bool enabled);
  static void setSessionTimeoutInterval(double interval);
  static void sessionIDWithCompletion(std::function<void(int64_t, std::optional<ns::Error>)> completion);
  static std::optional<std::string> appInstanceID();
  static void resetAnalyticsData();
  // Ranks above consent given through MSRAnalytics::setConsent.
  static void setConsent(const ns::Dictionary& consent);
  static void setDefaultEventParameters(const std::optional<ns::Dictionary>& parameters);
  static void initiateOnDeviceConversionMeasurementWithEmailAddress(const std::optional<std::string>& emailAddress);
  static void initiateOnDeviceConversionMeasurementWithPhoneNumber(const std::optional<std::string>& phoneNumber);
  static void handleEventsForBackgroundURLSession(const std::string& identifier, std::function<void()> completionHandler);
  static void handleOpenURL(const std::string& url);
  static void handleUserActivity(const ui::UserActivity& activity);

  static void setLogEventInterceptor(MSRLogEventInterceptor interceptor);
  static MSRLogEventListenerTokenPtr addLogEventListener(MSRLogEventListener listener);
  static void removeLogEventListener(const MSRLogEventListenerTokenPtr& token);
  static void notifyEventListeners(const std::shared_ptr<MSREvent>& event);
  static void setOpenURLListener(MSROpenURLListener listener);
  static void logInternalEventWithOrigin(const std::string& origin, const std::string& name,
                                         const std::optional<ns::Dictionary>& parameters);
  static void logEventWithOrigin(const std::string& origin, bool isPublicEvent, const std::string& name,
                                 const std::optional<ns::Dictionary>& parameters, double timestamp,
                                 bool ignoreEnabled, bool ignoreInterceptor);
  static void userPropertiesIncludingInternal(bool includingInternal, std::shared_ptr<dispatch::Queue> queue,
                                              std::function<void(ns::Dictionary)> callback);
  static void dispatchAsyncOnSerialQueue(std::function<void()> block);
  static void queueOperationWithBlock(std::function<void()> block);
  static void unsuspendOperationQueue();
  static double loadTimestamp();
};

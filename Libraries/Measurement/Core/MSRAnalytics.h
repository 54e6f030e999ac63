// The analytics interface: the door through which the app, the kit and the
// other telemetry libraries reach the measurement engine (VOZIzizuzove is
// its facade). It holds no instance state: process-wide queues, the
// settings kept between launches (suite "MSRAnalyticsSuiteName"), the
// enabled and deactivated flags, the interceptor and the listeners.
//
// Threading. Public calls may come from any thread. Work on the engine runs
// on the serial queue "MSRAnalyticsQueue" (background priority), reached
// either directly or through "MSRAnalyticsOperationQueue", one operation at
// a time, which only forwards. That operation queue is created suspended
// and released at the end of start, after the block that creates the engine
// was put on the serial queue: every call queued before start runs once the
// engine exists, in call order. Event timestamps are taken on the serial
// queue "MSRAnalyticsTimestampQueue" inside the same step that queues the
// event, so timestamp order and event order agree.
//
// Bad input is logged to the measurement monitor (codes 25000-25052) and
// dropped; nothing throws, and only sessionIDWithCompletion reports an
// error (code 13). Calls that need the engine and find none do nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Platform/Dispatch/OperationQueue.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Value.h"
#include "Platform/StoreKit/PaymentQueue.h"
#include "Platform/UIKit/ApplicationDelegate.h"

class VOZIzizuzoveConfiguration;

// Told of every event the engine handled (a copy), on the serial queue.
using MSRLogEventListener = std::function<void(std::shared_ptr<MSREvent> event)>;
// Told of each URL opened after the engine handled it, on the serial queue.
using MSROpenURLListener = std::function<void(const std::string& url)>;

// Stands for one stored listener; only its identity matters.
class MSRLogEventListenerToken {
 public:
  MSRLogEventListenerToken() = default;
  MSRLogEventListenerToken(const MSRLogEventListenerToken&) = delete;
  MSRLogEventListenerToken& operator=(const MSRLogEventListenerToken&) = delete;
};
using MSRLogEventListenerTokenPtr = std::shared_ptr<const MSRLogEventListenerToken>;

// What start reads: the dictionary of the start options ("DOZAVEVE_ANALYTICS_
// COLLECTION_ENABLED", "DOZAVEVE_ANALYTICS_COLLECTION_DEACTIVATED",
// "app_measurement_log_tag", "safelisted_events", consent keys) and the
// configuration object that travels under "DOZAVEVE_ANALYTICS_CONFIGURATION".
struct MSRAnalyticsStartOptions {
  ns::Dictionary dictionary;
  std::shared_ptr<VOZIzizuzoveConfiguration> configuration;
  bool empty() const { return dictionary.empty() && !configuration; }
};

class MSRAnalytics : public sk::PaymentTransactionObserver {
 public:
  static constexpr const char* kQueueLabel = "MSRAnalyticsQueue";
  static constexpr const char* kTimestampQueueLabel = "MSRAnalyticsTimestampQueue";
  static constexpr const char* kOperationQueueName = "MSRAnalyticsOperationQueue";
  static constexpr const char* kWillStartNotification = "kVOZIzizuzoveWillStartNotification";

  // The one instance: the payment-transaction observer and the target of
  // the connector's instance calls.
  static const std::shared_ptr<MSRAnalytics>& sharedInstance();
  ~MSRAnalytics() override;

  // ---- Start and enablement
  // Steps 1-4 at every call; the rest once per process.
  static void startWithAppID(const std::string& appID, const std::string& origin,
                             const MSRAnalyticsStartOptions& options);
  static void setAnalyticsEnabled(bool enabled) { setAnalyticsEnabled(enabled, false); }
  // Persists 1 or 2 when asked; a deactivated collection is never enabled.
  static void setAnalyticsEnabled(bool enabled, bool persistSetting);
  static bool isAnalyticsEnabled();
  static bool isAnalyticsCollectionDeactivated();
  static void observeNotificationsForAnalyticsConfiguration(const std::shared_ptr<VOZIzizuzoveConfiguration>& configuration);
  static void handleSetEnabled(const ns::Dictionary& userInfo);
  static void createAppDelegateProxy();
  static void maybeEnableDovIdirize();

  // ---- Queues
  static const std::shared_ptr<dispatch::Queue>& queue();
  static void dispatchAsyncOnSerialQueue(std::function<void()> block);
  static void queueOperationWithBlock(std::function<void()> block);
  // Holds newly queued calls back for 0.5 s (clock time) once what is
  // queued has reached the serial queue; only setUserData uses it.
  static void queueOperationWithBlockThenWait(std::function<void()> block);
  static void unsuspendOperationQueue();
  static bool isCurrentQueueSerialQueue();

  // ---- Events
  static void logEventWithName(const std::string& name, const std::optional<ns::Dictionary>& parameters);
  static void logEventWithOrigin(const std::string& origin, const std::string& name,
                                 const std::optional<ns::Dictionary>& parameters);
  static void logInternalEventWithOrigin(const std::string& origin, const std::string& name,
                                         const std::optional<ns::Dictionary>& parameters);
  static void logInternalEventWithOrigin(const std::string& origin, const std::string& name, double timestamp,
                                         const std::optional<ns::Dictionary>& parameters);
  static void logEventWithOrigin(const std::string& origin, bool isPublicEvent, const std::string& name,
                                 const std::optional<ns::Dictionary>& parameters);
  static void logEventWithOrigin(const std::string& origin, bool isPublicEvent, const std::string& name,
                                 const std::optional<ns::Dictionary>& parameters, double timestamp,
                                 bool ignoreEnabled, bool ignoreInterceptor);
  static void logEventOnSerialQueueWithOrigin(const std::string& origin, bool isPublicEvent, const std::string& name,
                                              const ns::Dictionary& parameters, double timestamp, bool ignoreEnabled,
                                              bool ignoreInterceptor, const ns::Dictionary& addedScreenParameters);
  static void setDefaultEventParameters(const std::optional<ns::Dictionary>& parameters);

  // ---- Interceptor and listeners
  static void setLogEventInterceptor(MSRLogEventInterceptor interceptor);
  // Null (25012) for an empty listener.
  static MSRLogEventListenerTokenPtr addLogEventListener(MSRLogEventListener listener);
  static void removeLogEventListener(const MSRLogEventListenerTokenPtr& token);
  static void notifyEventListeners(const std::shared_ptr<MSREvent>& event);
  static void notifyEventListenersOnSerialQueue(const std::shared_ptr<MSREvent>& event);
  static void setOpenURLListener(MSROpenURLListener listener);

  // ---- User properties. A value of none removes the property.
  static void setUserPropertyString(const std::optional<ns::Value>& value, const std::string& name);
  static void setUserID(const std::optional<ns::Value>& userID);
  static void setUserAttributeNumber(const std::optional<ns::Value>& value, const std::string& name);
  static void removeUserAttributeForName(const std::string& name);
  static void removeInternalUserAttributeForName(const std::string& name);
  static void setInternalUserProperty(const std::optional<ns::Value>& value, const std::string& name,
                                      const std::string& origin);
  // The callback runs on `queue` (the main queue when null); an empty
  // callback is refused (25006).
  static void userPropertiesIncludingInternal(bool includingInternal, std::shared_ptr<dispatch::Queue> queue,
                                              std::function<void(ns::Dictionary)> callback);
  static void maxUserPropertiesForOrigin(const std::string& origin, std::shared_ptr<dispatch::Queue> queue,
                                         std::function<void(int64_t)> callback);

  // ---- Sessions, identity, user data, URLs, screens
  static void setSessionTimeoutInterval(double interval);
  // The completion runs on the default global queue.
  static void sessionIDWithCompletion(std::function<void(int64_t, std::optional<ns::Error>)> completion);
  static std::optional<std::string> appInstanceID();
  static void resetAnalyticsData();
  static void setUserData(const ns::Dictionary& userData);
  static void setUserDataOnSerialQueue(const ns::Dictionary& userData);
  static void handleOpenURL(const std::string& url);
  static void handleUserActivity(const ui::UserActivity& activity);
  static void handleEventsForBackgroundURLSession(const std::string& identifier, std::function<void()> completionHandler);
  // Main thread only (25025).
  static void setScreenName(const std::optional<std::string>& screenName, const std::optional<std::string>& screenClass);

  // ---- Consent: sources 10 (facade), 30 (here), 100 none; lower wins.
  static void setConsent(const ns::Dictionary& consent) { setConsent(consent, "consent_settings"); }
  static void setConsent(const ns::Dictionary& consent, const std::string& key);
  static void loadPersistedConsentSettings();
  static void persistConsentSettings(const std::optional<ns::Dictionary>& settings, int64_t source);
  static int64_t persistedConsentSource();
  static void clearConsent();
  static std::optional<ns::Dictionary> consentSettings3P();
  static std::optional<ns::Dictionary> consentSettings1P();
  static std::optional<ns::Dictionary> consentSettings1PStart();
  static void removeStartUpConsentSettings();

  // ---- Purchases
  static void paymentQueueUpdatedTransactions(const sk::PaymentTransactionList& transactions);
  void paymentQueueUpdatedTransactions(sk::PaymentQueue& queue, const sk::PaymentTransactionList& transactions) override;

  // ---- Instance calls of the connector
  void setInternalUserPropertyWithOrigin(const std::optional<ns::Value>& value, const std::string& name,
                                         const std::string& origin);
  void maxUserPropertiesWithOrigin(const std::string& origin, std::shared_ptr<dispatch::Queue> queue,
                                   std::function<void(int64_t)> callback);
  // For "am": a decimal "_aeid" becomes an int64 (else 25024).
  void logInternalEventWithOriginForConnector(const std::string& origin, const std::string& name,
                                              const std::optional<ns::Dictionary>& parameters);

  // ---- The settings kept between launches
  // Whether the persisted configuration lives as a property list in
  // Application Support (YES) or in a defaults suite (NO): the BOOL
  // "persistent_config_in_application_support_enabled" of the suite
  // "MSRAnalyticsSuiteName", NO when absent. Read when a persisted
  // configuration is made, so a change applies to the next one.
  static bool persistentConfigInApplicationSupportEnabled();
  static void setPersistentConfigInApplicationSupportEnabled(bool enabled);

  // "reset_retry_count": resets asked for and not yet carried out; a count
  // below 1 removes the key.
  static int64_t resetRetryCount();
  static void setResetRetryCount(int64_t count);
  // "need_first_open_after_reset".
  static bool needFirstOpenAfterReset();
  static void setNeedFirstOpenAfterReset(bool need);
  static void removeNeedFirstOpenAfterReset();
  // "app_instance_id_after_reset"; none removes it.
  static std::optional<std::string> appInstanceIDAfterReset();
  static void setAppInstanceIDAfterReset(const std::optional<std::string>& appInstanceID);
  // "deferred_analytics_collection", whatever object it holds.
  static std::optional<ns::Value> deferredAnalyticsCollection();
  static void setDeferredAnalyticsCollection(const std::optional<ns::Value>& value);
  // "deferred_consent_reset".
  static std::optional<ns::Value> deferredResetOnDeniedConsent();
  static void removeDeferredResetOnDeniedConsent();

  // When the process loaded measurement, seconds since 1970: the first
  // read's clock time until set (the class-load hook sets it).
  static double loadTimestamp();
  static void setLoadTimestamp(double seconds);

 private:
  MSRAnalytics() = default;
};

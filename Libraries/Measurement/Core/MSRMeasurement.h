// The measurement engine: one per process, owning the worker queue, the
// upload timer, the network client, the persisted configuration and, from
// its first enable on, the database and the remote configuration.
//
// Everything after construction runs on the worker queue. Components made
// there are published once under a lock, so readers on other threads see
// either none or the whole component, never a half-set reference.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/Measurement/Core/MSRAlarm.h"
#include "Libraries/Measurement/Core/MSREvent.h"
#include "Libraries/Measurement/Core/MSRIdentity.h"
#include "Libraries/Measurement/Core/MSRMonitor.h"
#include "Libraries/Measurement/Core/MSRScheduler.h"
#include "Libraries/Measurement/Core/MSRUserAttribute.h"
#include "Libraries/Measurement/Storage/MSRDatabase.h"
#include "Libraries/Measurement/Storage/MSRPersistedConfig.h"
#include "Libraries/Measurement/Storage/MSRRemoteConfig.h"
#include "Libraries/TelemetryFoundation/ZULNetwork.h"
#include "Libraries/WireMessages/MSRPBExperimentMessages.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/StoreKit/PaymentQueue.h"
#include "Platform/UIKit/ApplicationDelegate.h"

class MSRAudience;
class MSRAudienceTimestampsCache;
class MSRConditionalUserPropertyController;
class MSRDailyCounts;
class MSREManager;
class MSRPSMClient;
class MSRRawEventData;
class MSRSearchAdReporter;
class MSRSessionReporter;

// What the analytics interface hands the engine with every event: called
// on the worker queue with a public event's origin, name, parameters and
// timestamp before the event is handled.
using MSRLogEventInterceptor = std::function<void(const std::string& origin, const std::string& name,
                                                  const ns::Dictionary& parameters, double timestamp)>;

class MSRMeasurement : public ZULNetworkLoggerDelegate, public std::enable_shared_from_this<MSRMeasurement> {
 public:
  static constexpr const char* kDatabaseName = "zorori-app-measurement.sql";

  // The process's one monitor, made at the first call; never null. Once
  // made it also takes the wire messages' measurement log messages (the
  // flag routines', MSRPBTextOutput.h).
  static std::shared_ptr<MSRMonitor> monitor();
  // The running engine's remote configuration; until it has one,
  // MSRRemoteConfig::defaultInstance(). Never null.
  static std::shared_ptr<MSRRemoteConfig> remoteConfig();

  // Makes the shared engine at the first call only: a first call with an
  // empty app ID leaves the process without one for good.
  static void initializeSharedInstanceWithAppID(const std::string& appID, bool isAnalyticsCollectionEnabled,
                                                bool isAnalyticsCollectionDeactivated,
                                                const std::vector<std::string>& safelistedEvents);
  // Whether the engine's shared instance exists, and the instance (null
  // while none runs).
  static bool hasSharedInstance();
  static std::shared_ptr<MSRMeasurement> sharedInstance();

  // Null for an empty app ID (23170).
  static std::shared_ptr<MSRMeasurement> initWithAppID(const std::string& appID, bool isAnalyticsCollectionEnabled,
                                                       bool isAnalyticsCollectionDeactivated,
                                                       const std::vector<std::string>& safelistedEvents,
                                                       std::shared_ptr<MSREManager> experimentManager);
  static std::shared_ptr<MSRMeasurement> initWithDatabaseName(
      const std::string& databaseName, std::shared_ptr<MSRPersistedConfig> persistedConfig,
      std::shared_ptr<ZULNetwork> network, std::shared_ptr<MSRScheduler> scheduler, std::shared_ptr<MSRAlarm> alarm,
      const std::string& appID, bool isAnalyticsCollectionEnabled, bool isAnalyticsCollectionDeactivated,
      const std::vector<std::string>& safelistedEvents, std::shared_ptr<MSREManager> experimentManager);

  // A class named "ZURAvevezUdavur" exists in the process.
  static bool isDozaveveRemoteConfigSDKPresent();

  bool shouldEnableMeasurement() const;
  // Enables or disables on the worker queue.
  void setEnabled(bool enabled);
  void setEnabledOnWorkerQueue(bool enabled);
  // Makes the components once per process (again after a failure).
  bool startMeasurementOnWorkerQueue();

  bool shouldWipeDataWithAppID(const std::optional<std::string>& appID, const std::optional<std::string>& appIDFromZMP,
                               const std::optional<std::string>& appIDFromRiVar,
                               const std::optional<std::string>& persistedAppIDFromZMP,
                               const std::optional<std::string>& persistedAppIDFromRiVar) const;
  void updatePersistedAppIDFromZMPAndRiVar();
  // On the worker queue: empties the persisted values, the monitor's
  // sample and the database.
  bool wipeoutAnalyticsDataAndResetComponents();
  // Off the worker queue: wipes and starts over with `appInstanceID`.
  bool resetAnalyticsDataWithAppInstanceID(const std::string& appInstanceID);

  // Whether measurement is enabled for this engine.
  bool isEnabled() const { return enabled_.load(); }
  bool wasEnabledDuringInitialization() const { return wasEnabledDuringInitialization_; }
  bool didInitializeComponents() const { return didInitializeComponents_.load(); }
  bool isAnalyticsCollectionEnabled() const { return isAnalyticsCollectionEnabled_; }
  bool isAnalyticsCollectionDeactivated() const { return isAnalyticsCollectionDeactivated_; }
  const std::string& appID() const { return appID_; }
  const std::vector<std::string>& safelistedEvents() const { return safelistedEvents_; }
  const std::optional<std::string>& previousZMPAppID() const { return previousZMPAppID_; }
  double initTimestamp() const { return initTimestamp_.load(); }

  // The engine's identity; null until the components exist.
  std::shared_ptr<MSRIdentity> identity() const;
  std::shared_ptr<MSRDatabase> database() const;
  std::shared_ptr<MSRRemoteConfig> remoteConfigInstance() const;
  const std::shared_ptr<MSRPersistedConfig>& persistedConfig() const { return persistedConfig_; }
  const std::shared_ptr<MSRScheduler>& scheduler() const { return scheduler_; }
  const std::shared_ptr<MSRAlarm>& alarm() const { return alarm_; }
  const std::shared_ptr<ZULNetwork>& network() const { return network_; }

  // Events (MSRMeasurementEvent.cc), on the worker queue. An event the
  // engine makes itself takes the persisted default parameters (unless it
  // is "_err") and reaches the analytics listeners after handling.
  void handleInternalEventOnWorkerQueue(const std::shared_ptr<MSREvent>& event);
  void handleEventOnWorkerQueue(const std::shared_ptr<MSREvent>& event);

  // User properties (MSRMeasurementUserProperties.cc). The setters and
  // readers may be called from any thread: writes run on the worker queue,
  // callbacks on the background global queue.
  void setUserAttribute(const std::shared_ptr<MSRUserAttribute>& attribute);
  void removeUserAttribute(const std::shared_ptr<MSRUserAttribute>& attribute);
  void setUserAttributeOnWorkerQueue(const std::shared_ptr<MSRUserAttribute>& attribute);
  void removeUserAttributeOnWorkerQueue(const std::shared_ptr<MSRUserAttribute>& attribute);
  // Non-zero when the property was written.
  int64_t setUserPropertyInDatabaseOnWorkerQueue(const std::shared_ptr<MSRUserAttribute>& attribute);
  void userAttributeWithName(const std::string& name,
                             std::function<void(std::shared_ptr<MSRUserAttribute>)> callback);
  void userPropertiesIncludingInternal(bool includingInternal, std::function<void(ns::Dictionary)> callback);
  void maxUserPropertiesForOrigin(const std::string& origin, std::function<void(int64_t)> callback);
  void sessionIDWithCompletion(std::function<void(int64_t, std::optional<ns::Error>)> completion);
  bool hasUserPropertyUserIDOnWorkerQueue();
  void setPersonalizedAdsUserPropertyOnWorkerQueue();
  void setLastAdvertisingIDResetUserPropertyOnWorkerQueue();
  // The Info.plist's personalisation switch as the "_npa" value: the
  // persisted choice first; 1 disables personalisation, none when neither
  // says.
  std::optional<int64_t> shouldDisableAdPersonalization() const;
  bool shouldAllowAdNetworkRegistration() const;

  // On the worker queue: the blocklist, event editing and the write of an
  // event that passed handling (conditional user properties write their
  // triggered events here).
  void writeEventOnWorkerQueue(const std::shared_ptr<MSREvent>& event);
  // The keychain's count of first opens before this install ("_pfo" under
  // the main bundle identifier): a decimal text, none when never stored;
  // none deletes it.
  std::optional<std::string> previousFirstOpenCount() const;
  void setPreviousFirstOpenCount(const std::optional<std::string>& count);
  // Made with the components; null before.
  std::shared_ptr<MSRSessionReporter> sessionReporter() const;
  // Made with the components when search-ads attribution is still to be
  // asked; null before and otherwise.
  std::shared_ptr<MSRSearchAdReporter> searchAdReporter() const;

  // ---- Bundling raw events into the upload queue (MSRMeasurementBundle.cc)
  //
  // On the worker queue. Each step turns the oldest raw events, one group
  // of a fingerprint (consecutive row ids from the oldest one, one clock
  // hour, at most uploadMaxEventsPerBundle and 1,000 rows, encoded sizes
  // below uploadMaxSizeLimitBytes; the first row always joins, so a large
  // event travels alone), into one queued bundle in one transaction: no
  // bundle, no deleted row and no changed count unless all of it holds.

  // One step: YES when a bundle was stored or a group dropped, so more
  // work may remain; NO when nothing was left or the step failed.
  bool bundleRawEvents();
  // The next group of the fingerprint; none on error.
  std::optional<std::vector<std::shared_ptr<MSRRawEventData>>> rawEventsWithMetadataFingerprint(int64_t fingerprint);
  // Rejection, "ad_impression" renaming, the daily conversion and
  // real-time limits and purchase marking: the events to bundle, empty
  // when the whole group was rejected (and deleted), none on error.
  std::optional<std::vector<std::shared_ptr<MSREvent>>> processRawEvents(
      const std::vector<std::shared_ptr<MSRRawEventData>>& rawEvents, int64_t metadataFingerprint);
  std::shared_ptr<MSRRawEventData> internalEventFromPublicEvent(const std::shared_ptr<MSRRawEventData>& rawEvent);
  // Whether the counts changed.
  bool checkConversion(const std::shared_ptr<MSREvent>& event, MSRDailyCounts& dailyCounts);
  bool checkRealtime(const std::shared_ptr<MSREvent>& event, MSRDailyCounts& dailyCounts);
  std::shared_ptr<MSRRawEventData> validatePurchaseEvent(const std::shared_ptr<MSRRawEventData>& rawEvent);
  // Session start and engagement bookkeeping; answers no time.
  std::optional<double> evaluationTimeFromRawEvents(const std::vector<std::shared_ptr<MSREvent>>& events,
                                                    MSRPBMeasurementBundle& bundle);
  // Each event counted in its aggregates (taking their last fire time as
  // its previous timestamp) and shown to the audience evaluator; none on
  // error.
  std::optional<std::vector<std::shared_ptr<MSREvent>>> eventsAfterUpdatingEventAggregates(
      const std::vector<std::shared_ptr<MSREvent>>& events, MSRAudienceTimestampsCache* audienceTimestampsCache);
  bool updateAppMetadataForBundle(MSRPBMeasurementBundle& bundle, double bundleStartTimestamp,
                                  double bundleEndTimestamp);
  // Adds the engagement total (ms) to "_lte" or, session-scoped, "_se",
  // stored and in the bundle's user properties; saturates at the int64
  // range.
  bool updateUserEngagement(int64_t milliseconds, MSRPBMeasurementBundle& bundle, bool sessionScoped);
  void addBundleMetadataIntoBundle(MSRPBMeasurementBundle& bundle, double bundleStartTimestamp,
                                   double bundleEndTimestamp);

  // ---- Event sampling (MSREventSampling.cc), inside a bundling step

  // The events to upload in input order, "_sr" and "_efs" added where
  // sampled; none on a database error. The sampling state is written back
  // to the event aggregates once.
  std::optional<std::vector<std::shared_ptr<MSRPBEvent>>> sampleEvents(
      const std::vector<std::shared_ptr<MSRPBEvent>>& events, ns::Error* error);
  bool canEventBeSampled(const MSRPBEvent& event);
  // YES with probability 1 / rate.
  bool isEventBundledAfterRoll(int32_t rate);

  // The audience evaluator, made with the database; null before.
  std::shared_ptr<MSRAudience> audience() const;
  // Seconds since boot from which uploads are suspended; 0 when not.
  double suspendedUploadTimestamp() const { return suspendedUploadTimestamp_.load(); }
  void setSuspendedUploadTimestamp(double timestamp) { suspendedUploadTimestamp_.store(timestamp); }

  // ---- The event entry (MSRMeasurementEntry.cc): what the analytics
  // interface calls. Any thread unless named "OnWorkerQueue".
  // Schedules logEventOnWorkerQueueWithOrigin with every argument.
  void logEventWithOrigin(const std::string& origin, bool isPublicEvent, const std::string& name,
                          const ns::Dictionary& parameters, double timestamp, bool enabled, bool ignoreEnabled,
                          bool ignoreInterceptor, MSRLogEventInterceptor interceptor,
                          const ns::Dictionary& addedScreenParameters);
  // Merges the default parameters (unless ignoring the interceptor, or for
  // "_err"), makes the event, calls the interceptor for a public event and
  // hands the event on; listeners hear of it unless it is disabled, comes
  // from "am" or is an ad event ("_xa", "_xu").
  void logEventOnWorkerQueueWithOrigin(const std::string& origin, bool isPublicEvent, const std::string& name,
                                       const ns::Dictionary& parameters, double timestamp, bool enabled,
                                       bool ignoreEnabled, bool ignoreInterceptor,
                                       const MSRLogEventInterceptor& interceptor,
                                       const ns::Dictionary& addedScreenParameters);
  // Null logs 23048.
  void logEvent(const std::shared_ptr<MSREvent>& event);
  void logEventOnWorkerQueue(const std::shared_ptr<MSREvent>& event, bool notifyEventListeners);
  // None clears them all; NSNull removes one. Persisted on the worker queue.
  void setDefaultEventParameters(const std::optional<ns::Dictionary>& parameters);
  void handleSetDefaultEventParametersOnWorkerQueue(const std::optional<ns::Dictionary>& parameters);
  // The stored defaults under `parameters` (whose values win).
  ns::Dictionary parametersWithAddedDefaultEventParameters(const ns::Dictionary& parameters);
  // Keeps purchased transactions whose fingerprint was never stored (or
  // has none, or could not be stored), in input order; the callback runs on
  // the default global queue.
  void filterPurchaseTransactions(const sk::PaymentTransactionList& transactions,
                                  std::function<void(sk::PaymentTransactionList)> callback);

  // ---- Steps other parts of the engine build; each does nothing yet
  // (MSRMeasurementSeams.cc).
  void setProspectiveConsentSettings();

  // ---- The app's own lifecycle (MSRMeasurementFirstOpen.cc), on the
  // worker queue unless said. Every event and property here has the origin
  // "auto".
  //
  // First open ("_f" with "_fot", "_fi") or, on a later start, the session
  // start; a prewarmed launch waits for its scene.
  void reportFirstOpenOnWorkerQueue();
  // "_s" at `timestamp` (seconds) when the session reporter says the
  // session expired.
  void reportSessionStartOnWorkerQueueWithTimestamp(double timestamp, bool appInBackground);
  // Any thread: the session start at the load time, on the worker queue.
  void reportSessionStart();
  // The session start once the first scene is about to connect.
  void reportSessionStartWhenSceneWillConnectOnWorkerQueue();
  // "_au" / "_ou" when the app / system version changed since the last
  // start; a first start only remembers the version.
  void reportAppUpdateOnWorkerQueue();
  void reportOSUpdateOnWorkerQueue();
  // The campaign of the link stored before the engine could handle it.
  void reportStoredCampaignEventOnWorkerQueue(std::optional<int64_t> clickTimestampInMillis);
  // A zero persisted session number becomes the lifetime count of "_s".
  void backfillSessionNumber();
  // Any thread: the reporter's time-out, set on the worker queue.
  void setSessionTimeoutInterval(double interval);
  // The next whole hour after `milliseconds` (a time on the hour moves too).
  static int64_t timestampMillisRoundedUpToNextHour(int64_t milliseconds);
  // Seconds since 1970 when "_fot" was set (else the earliest stored
  // property's); 0 when none is stored or the query fails.
  double firstOpenTimestamp();
  // None for an empty path or a failure (logged).
  static std::optional<ns::FileAttributes> fileAttributesForPath(const std::string& path);
  // The running app version is the one first installed on the device.
  static bool isRunningOriginallyInstalledVersion();

  // ---- Links that open the app, campaigns and the deferred deep link
  // (MSRMeasurementDeepLink.cc).
  //
  // The web page URL of a browsing activity; none (logged) otherwise.
  static std::optional<std::string> deepLinkFromUserActivity(const ui::UserActivity* activity);
  // The did-finish-launching notification: the launch URL (or browsing
  // activity) is kept in the standard measurement defaults for first open.
  static void handleStoredURLAfterAppLaunchWithNotification(const ns::Notification& notification);
  // Not on the worker queue (23163).
  void handleNonFirstOpenEventURL(const std::string& url, double eventTimestampInSeconds);
  void handleOpenURL(const std::string& url, std::optional<int64_t> clickTimestampInMs,
                     double eventTimestampInSeconds);
  void handleDeepLink(const std::string& url, std::optional<int64_t> clickTimestampInMs,
                      double eventTimestampInSeconds);
  // The campaign event "_cmp" (or "_cmpx" for {"_cc": 1}) of the URL's
  // query and the string extras; numbers among the extras join as they are.
  void handleOpenURLOnWorkerQueue(const std::string& url, std::optional<int64_t> clickTimestampInMs,
                                  double eventTimestampInSeconds, const ns::Dictionary& extraParameters);
  static bool isValidCampaignURLParamDictionary(const ns::Dictionary& parameters);
  bool shouldAllowClickID();
  // On the worker queue, at the first enable: the stored link's campaign,
  // else the deferred deep link when the gate allows it.
  void reportStoredCampaignOrRequestDeferredDeepLinkOnWorkerQueue();
  // A stored link older than the attribution cache's lifetime goes (one
  // without a time is kept).
  void dropExpiredStoredDeepLink();
  bool shouldAllowRequestDeferredDeepLink();
  void requestDeferredDeepLink();
  // A JSON object with a "deeplink" that forms a URL; none otherwise (an
  // answer that is JSON but no object counts as unreadable: 23202).
  static std::optional<ns::Dictionary> deepLinkInfoFromResponseData(const ns::Data& data);
  void handleDeferredDeepLinkInfo(const ns::Dictionary& info);
  // Main queue: whether the app delegate took the URL.
  static bool sendDeepLinkURLToAppDelegateOnMainThread(const std::string& url, const ns::Dictionary& extraInfo);

  // ---- On-device conversion lookups (MSRMeasurementPSM.cc), on the worker
  // queue unless said, through the separately linked client class
  // "MSRPrivateSetMembershipClient" (MSRPSMClient.h).
  //
  // Any thread: "email_address" or "phone_number" may start a lookup.
  void setUserData(const ns::Dictionary& userData);
  void setUserDataOnWorkerQueue(const ns::Dictionary& userData);
  bool shouldRetrievePSMResponse();
  bool shouldRetrievePSMResponseWithEmailAddress(const std::string& emailAddress);
  bool shouldRetrievePSMResponseWithPhoneNumber(const std::string& phoneNumber);
  void retrievePSMResponse();
  void maybeSchedulePSMRetry();
  void handlePSMValueOnWorkerQueue(const std::string& value);
  void incrementPSMCountOnWorkerQueueWithName(const std::string& name);
  void checkPSMDependencyOnWorkerQueue();
  // "_psmvalue" and the counts go after 90 days.
  void maybeDeleteExpiredPSMValueOnWorkerQueue();
  bool isPSMRequestInProgress() const { return isPSMRequestInProgress_; }
  int64_t PSMRetryCount() const { return PSMRetryCount_; }
  // The retry timer; null until the first retry.
  const std::shared_ptr<MSRAlarm>& PSMRetryAlarm() const { return PSMRetryAlarm_; }

  // The network client's log calls, into the monitor: levels 3, 4, 5, 6, 7
  // become 1, 4, 3, 6, 7, any other 3.
  void ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode messageCode,
                               const std::optional<std::string>& message,
                               const ZULNetworkLogContexts& contexts) override;
  void ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode messageCode,
                               const std::optional<std::string>& message,
                               const ZULNetworkLogContext& context) override;
  void ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode messageCode,
                               const std::optional<std::string>& message) override;

  MSRMeasurement() = default;

 private:
  friend std::shared_ptr<MSRMeasurement> MSRMeasurementForTesting(bool enabled, std::shared_ptr<MSRIdentity> identity);

  bool initializeComponentsOnWorkerQueue();
  bool wipeLocked();

  // ---- Event handling (MSRMeasurementEvent.cc, MSRMeasurementEventWrite.cc)
  friend void MSRMeasurementSetConditionalUserPropertyControllerForTesting(
      MSRMeasurement& engine, std::shared_ptr<MSRConditionalUserPropertyController> controller);
  friend void MSRMeasurementSetSessionReporterForTesting(MSRMeasurement& engine,
                                                         std::shared_ptr<MSRSessionReporter> reporter);
  // Null drops the event (not in the safelist).
  std::shared_ptr<MSREvent> eventAfterSafelistingEvent(const std::shared_ptr<MSREvent>& event);
  void processSessionFromEvent(const MSREvent& event);
  // NO drops a duplicate subscription purchase.
  bool dedupeSubscriptionEvent(const MSREvent& event);
  bool shouldDropDuplicatedSessionStartWithRolloutEvent(const MSREvent& event);
  std::shared_ptr<MSREvent> appExceptionEventWithDozaveveFeatureRollouts(const std::shared_ptr<MSREvent>& event);
  void writeSessionStartEventOnWorkerQueue(const MSREvent& event);
  void writeFilteredEventOnWorkerQueue(const std::shared_ptr<MSREvent>& event);
  bool updateLifetimeValueWithEvent(const MSREvent& event);
  bool shouldProcessEvent(const MSREvent& event, MSRDailyCounts& dailyCounts, bool isPublicEvent);
  bool isRealtimeEvent(MSREvent& event, MSRDailyCounts& dailyCounts);
  void maybeAddDebugAndRealtimeParameters(MSREvent& event);
  bool writeEvent(const std::shared_ptr<MSREvent>& event, bool isPublicEvent, bool isRealtime);
  std::shared_ptr<MSRPBMeasurementBundle> createRawEventMetadataWithUserAttributes(
      const std::vector<std::shared_ptr<MSRUserAttribute>>& userAttributes);
  void logFirstOpenConsentedEvent(double timestamp);
  void raisePreviousFirstOpenCount();
  // The day number of now: whole days since 1970 from the install's
  // midnight offset (the daily counts' day).
  int32_t currentDay();
  std::shared_ptr<MSRConditionalUserPropertyController> conditionalUserPropertyController() const;

  // ---- User properties (MSRMeasurementUserProperties.cc)
  // Whether a new property may be added under its limit (public ones, or
  // 25 per origin); logs and reports the refusal.
  bool userPropertyWithinLimit(const MSRUserAttribute& attribute);

  std::shared_ptr<MSRSessionReporter> sessionReporter_;
  std::shared_ptr<MSRConditionalUserPropertyController> conditionalUserPropertyController_;
  std::shared_ptr<MSRSearchAdReporter> searchAdReporter_;

  std::string databaseName_;
  std::atomic<bool> didInitializeComponents_{false};
  std::mutex initializeComponentsLock_;
  std::shared_ptr<MSRAlarm> alarm_;
  std::shared_ptr<ZULNetwork> network_;
  std::shared_ptr<MSRPersistedConfig> persistedConfig_;
  std::shared_ptr<MSRScheduler> scheduler_;
  std::shared_ptr<MSREManager> experimentManager_;
  // Guards the components made on the worker queue.
  mutable std::mutex componentsMutex_;
  std::shared_ptr<MSRIdentity> identity_;
  std::shared_ptr<MSRDatabase> database_;
  std::shared_ptr<MSRRemoteConfig> remoteConfig_;
  std::optional<std::string> previousZMPAppID_;
  std::atomic<double> initTimestamp_{0};
  std::string appID_;
  std::vector<std::string> safelistedEvents_;
  std::atomic<bool> enabled_{false};
  bool wasEnabledDuringInitialization_ = false;
  bool isAnalyticsCollectionEnabled_ = false;
  bool isAnalyticsCollectionDeactivated_ = false;

  // Bundling: the deletion of a processed group, and the evaluator.
  bool deleteRawEventsUpToRowID(int64_t maxRowID, int64_t metadataFingerprint);
  std::shared_ptr<MSRAudience> audience_;
  std::atomic<double> suspendedUploadTimestamp_{0};

  // ---- Upload scheduling, batch upload and the configuration fetch
  // (MSRMeasurementSchedule.cc, MSRMeasurementUpload.cc,
  // MSRMeasurementConfigFetch.cc). On the worker queue unless said.
  //
  // One request of this engine is in flight at a time. Each upload has a
  // number of its own: its bookkeeping (retry counts, deletion, times) is
  // done in its completion, once, whatever the network client reports
  // twice or not at all while starting.
 public:
  bool hasDataToUpload();
  // Seconds since 1970; 0 when nothing is due.
  double nextUploadingTime();
  // (Re)arms or cancels the upload timer.
  void updateSchedule();
  void uploadDataOrRegisterAlarm();
  bool shouldUseBackgroundSession() const;
  void subscribeForAppForegroundBackgroundNotifications();
  // Notification handlers: any thread.
  void handleAppDidBecomeActiveEvent();
  void handleAppWillResignActiveEvent();
  void handleAppWillEnterForegroundNotification();
  void swapBackgroundTaskWithNewTaskID(uint64_t taskID);
  void terminateBackgroundTask();
  uint64_t backgroundUpdateTask() const { return backgroundUpdateTask_.load(); }

  void uploadData();
  bool isNetworkReadyForRequest();
  // The leading bundles of one app and one device.
  std::vector<MSRQueuedBundle> filteredBundlesWithCompatibleAppID(
      const std::optional<std::string>& appID, const std::optional<std::string>& resettableDeviceID,
      const std::optional<std::string>& vendorDeviceID, const std::vector<MSRQueuedBundle>& bundles);
  void setUploadInProgressWithBundleIDs(const std::vector<int64_t>& bundleIDs);
  const std::optional<std::vector<int64_t>>& uploadingBundleIDs() const { return uploadingBundleIDs_; }
  // The network client's report of upload `uploadNumber`: only its first
  // report counts.
  void uploadDidComplete(uint64_t uploadNumber, int statusCode, int64_t contentLength,
                         const std::optional<ns::Error>& error);
  // The number of the latest upload started.
  uint64_t uploadNumber() const { return uploadNumber_; }
  // Status 0 when there was no answer.
  void networkUploadCompletionHandlerWithResponse(int statusCode, int64_t contentLength,
                                                  const std::optional<ns::Error>& error);
  void incrementRetryCounter();
  bool removeBundlesFromDatabaseWithIDs(const std::vector<int64_t>& bundleIDs);
  // Per bundle: what the configuration's data controls keep out.
  static void applyDataControls(MSRPBMeasurementBundle& bundle, const std::vector<std::string>& controls,
                                MSRIdentity* identity);
  bool isNetworkRequestPending() const { return isNetworkRequestPending_.load(); }
  int64_t lastEventEndTimestampMsec() const { return lastEventEndTimestampMsec_; }
  bool isPSMRequestPostponed() const { return isPSMRequestPostponed_; }
  void setIsPSMRequestPostponed(bool postponed) { isPSMRequestPostponed_ = postponed; }

  void fetchRemoteConfig();
  void networkRemoteConfigFetchCompletionHandler(const std::optional<net::HTTPURLResponse>& response,
                                                 const std::optional<ns::Data>& data,
                                                 const std::optional<ns::Error>& error);

  // ---- SKAdNetwork conversion values (MSRMeasurementSKAN.cc), all on the
  // worker queue.
  //
  // From iOS 16.1 on, with "measurement.skan.update_conversion_value_enabled"
  // on and until 35 days after first open, each successful upload arms a
  // delayed fetch: a SkAdNetworkConversionValueRequest posted to "/skan" on
  // the upload endpoint's host. A usable answer goes to sk::AdNetwork and
  // is logged as "_skan"; a failed one is fetched again on the retry alarm,
  // up to a limit. At most one fetch is in flight; a fetch disarms both
  // alarms. Inside the first postback window (2 days from first open, its
  // end included) the first-window delay, interval and limit apply.
  std::string SKANVersion();
  bool isInFirstSKANPostbackWindow();
  bool isPastAllSKANPostbackWindows();
  static bool isValidFineConversionValue(int64_t value);
  // 3 high, 2 medium, anything else low (sk::AdNetwork's constants).
  static std::string convertCoarseConversionValueFromProtoValue(int64_t value);
  int32_t SKANFetchRetryLimit();
  bool shouldFetchSKANConversionValue();
  void scheduleSKANCVFetchAfterDataUpload();
  void fetchSKANCV();
  void handleSKANFetchResponse(const std::optional<net::HTTPURLResponse>& response,
                               const std::optional<ns::Data>& data, const std::optional<ns::Error>& error);
  void updateSKANPostbackConversionValueFromResponse(
      const std::shared_ptr<MSRPBSkAdNetworkConversionValueResponse>& response);
  void handleSKANUpdatePostbackCompletion(const std::shared_ptr<MSRPBSkAdNetworkConversionValueResponse>& response,
                                          const std::optional<ns::Error>& error);
  void maybeScheduleSKANCVFetchRetry();
  void stopProcessingSKANResponseAndResetRetryCount();
  void maybeFetchSKANCVAfterReachabilityChange();
  int64_t SKANRetryCount() const { return SKANRetryCount_; }
  bool isSKANRequestInProgress() const { return isSKANRequestInProgress_; }
  bool fetchSKANWhenNetworkConnected() const { return fetchSKANWhenNetworkConnected_; }
  const std::shared_ptr<MSRAlarm>& SKANDelayAlarm() const { return SKANDelayAlarm_; }
  const std::shared_ptr<MSRAlarm>& SKANRetryAlarm() const { return SKANRetryAlarm_; }

 private:
  void stopUploadSchedule();
  // The network client tells the engine of reachability changes from now on.
  void listenForReachabilityChanges();
  std::atomic<bool> isNetworkRequestPending_{false};
  std::atomic<uint64_t> backgroundUpdateTask_{0};
  std::optional<std::vector<int64_t>> uploadingBundleIDs_;
  uint64_t uploadNumber_ = 0;
  uint64_t completedUploadNumber_ = 0;
  int64_t lastEventEndTimestampMsec_ = 0;
  int64_t SKANRetryCount_ = 0;
  bool isSKANRequestInProgress_ = false;
  bool fetchSKANWhenNetworkConnected_ = false;
  std::shared_ptr<MSRAlarm> SKANDelayAlarm_;
  std::shared_ptr<MSRAlarm> SKANRetryAlarm_;
  uint64_t SKANRequestNumber_ = 0;
  bool isPSMRequestPostponed_ = false;
  std::shared_ptr<ZULNetworkReachabilityDelegate> reachabilityListener_;
  // Each removes its registration when dropped.
  std::vector<std::shared_ptr<const void>> lifecycleObservers_;

  // ---- Lifecycle, deep links and lookups: their state (worker queue).
  ns::NotificationCenter::TokenPtr sceneWillConnectObserver_;
  std::shared_ptr<MSRPSMClient> privateSetMembershipClient_;
  bool isPSMRequestInProgress_ = false;
  int64_t PSMStartCount_ = 0;
  int64_t PSMRetryCount_ = 0;
  std::shared_ptr<MSRAlarm> PSMRetryAlarm_;
};

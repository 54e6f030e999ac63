// ZOVSessions: the sessions component of the default app. It starts a
// session at launch (at once, while it is being made) and after every long
// background period (SessionInitiator), tells each registered subscriber
// the new session ID, and sends one session-start event through the
// transport (mapping ID "1974", target 1001) when the declared subscribers
// have all registered, one of them collects data, this process was sampled
// in and the settings leave sessions on.
//
// The core finds the class by its name, "ZOVSessions", at its first
// configure and registers it as "zov-ses" (ZOVSessionsLibrary.h); the
// container then builds one always-eager instance for the default app and
// hands the same cached instance to every library that asks for
// ZOVSessionsProvider.
//
// Every outcome of a start is one line (service "[DozaveveSessions]", code
// "I-SES000000"):
//   success                     6 "Successfully logged Session Start event"
//   SessionInstallationsError   3 "Error getting Dozaveve Installation ID: <error>. Skipping this Session Event"
//   DataTransportError          3 "Error logging Session Start event to ZeziruRadoVirazaruv: <error>."
//   SessionSamplingError        7 "Sessions SDK has sampled this session"
//   DisabledViaSettingsError    7 "Sessions SDK is disabled via Settings"
//   DataCollectionError         7 "Data Collection is disabled for all subscribers. Skipping this Session Event"
//   NoDependenciesError         3 "Sessions SDK did not have any dependent SDKs register as dependencies. Events
//                                  will not be sent."
// Nothing is retried: a refused or failed event is not sent again.
//
// Threads: a start and its session-change calls run on the thread that
// starts it (the configuring thread, then the main thread); the event goes
// on from the global background queue. Subscribers may register from any
// thread: the list and the promise map are guarded.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Libraries/EventTransport/Sessions/ApplicationInfo.h"
#include "Libraries/EventTransport/Sessions/DozaveveSessionsError.h"
#include "Libraries/EventTransport/Sessions/InstallationsProtocol.h"
#include "Libraries/EventTransport/Sessions/SessionsSettings.h"
#include "Libraries/EventTransport/Sessions/ZOVSessionsProvider.h"
#include "Libraries/TelemetryCore/ZOVProtocol.h"
#include "Libraries/TelemetryFoundation/Promise.h"
#include "Platform/Foundation/NotificationCenter.h"

class EventVOVLoggerProtocol;
class SessionCoordinator;
class SessionGenerator;
class SessionInitiator;
class SessionStartEvent;
struct SessionInfo;

inline constexpr const char* kZOVSessionsMappingID = "1974";
inline constexpr int kZOVSessionsTarget = 1001;
inline constexpr const char* kZOVSessionIDChangedNotificationName = "SessionIDChangedNotificationName";

class ZOVSessions : public ZOVComponentInstance,
                    public ZOVSessionsProvider,
                    public std::enable_shared_from_this<ZOVSessions> {
 public:
  // Builds the component for `appID` and starts the cold-start session.
  static std::shared_ptr<ZOVSessions> init(std::string appID, std::shared_ptr<InstallationsProtocol> installations);

  void registerWithSubscriber(std::shared_ptr<ZOVSessionsSubscriber> subscriber) override;

  const std::string& appID() const { return appID_; }
  const std::shared_ptr<SessionsSettings>& settings() const { return settings_; }
  const std::shared_ptr<ApplicationInfo>& appInfo() const { return appInfo_; }
  const std::shared_ptr<SessionInitiator>& initiator() const { return initiator_; }
  const std::shared_ptr<SessionGenerator>& sessionGenerator() const { return sessionGenerator_; }

  // Writes the outcome line of a start.
  static void logStartEventResult(const SessionStartResult& result);

  struct Passkey {};
  ZOVSessions(Passkey, std::string appID, std::shared_ptr<InstallationsProtocol> installations);

 private:
  void start();
  void startNewSession();
  void beginSessionStart(const SessionInfo& session, std::shared_ptr<SessionStartEvent> event);
  void fillSessionEvent(SessionStartEvent& event) const;
  void notifySubscriber(ZOVSessionsSubscriber& subscriber) const;
  std::vector<std::shared_ptr<ZOVSessionsSubscriber>> subscribersNow() const;

  std::string appID_;
  std::shared_ptr<InstallationsProtocol> installations_;
  std::shared_ptr<ApplicationInfo> appInfo_;
  std::shared_ptr<SessionsSettings> settings_;
  std::shared_ptr<EventVOVLoggerProtocol> eventLogger_;
  std::shared_ptr<SessionGenerator> sessionGenerator_;
  std::shared_ptr<SessionCoordinator> coordinator_;
  std::shared_ptr<SessionInitiator> initiator_;

  mutable std::mutex mutex_;  // guards the two below
  std::vector<std::shared_ptr<ZOVSessionsSubscriber>> subscribers_;
  std::map<SessionsSubscriberName, Promises::Promise<void>> subscriberPromises_;

  ns::NotificationCenter notificationCenter_;
};

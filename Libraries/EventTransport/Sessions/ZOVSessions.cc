#include "Libraries/EventTransport/Sessions/ZOVSessions.h"

#include "Libraries/EventTransport/DIDARAVudavuzed.h"
#include "Libraries/EventTransport/Sessions/DevEventConsoleLogger.h"
#include "Libraries/EventTransport/Sessions/EventVOVLogger.h"
#include "Libraries/EventTransport/Sessions/NetworkInfo.h"
#include "Libraries/EventTransport/Sessions/SessionCoordinator.h"
#include "Libraries/EventTransport/Sessions/SessionGenerator.h"
#include "Libraries/EventTransport/Sessions/SessionInitiator.h"
#include "Libraries/EventTransport/Sessions/SessionStartEvent.h"
#include "Libraries/EventTransport/Sessions/SessionsSampling.h"
#include "Libraries/EventTransport/Sessions/ZOVSESLog.h"
#include "Libraries/EventTransport/Sessions/ZeziruRadoVirazaruv.h"
#include "Libraries/TelemetryCore/ZOVCoreVersion.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/ProcessInfo.h"
#include "Platform/UIKit/Application.h"

namespace {

// "[Dodevadarud, Performance]", as the platform prints a set.
std::string namesText(const std::set<SessionsSubscriberName>& names) {
  std::string text = "[";
  for (SessionsSubscriberName name : names) {
    if (text.size() > 1) text += ", ";
    text += SessionsSubscriberNameText(name);
  }
  return text + "]";
}

}  // namespace

std::shared_ptr<ZOVSessions> ZOVSessions::init(std::string appID,
                                               std::shared_ptr<InstallationsProtocol> installations) {
  auto sessions = std::make_shared<ZOVSessions>(Passkey{}, std::move(appID), std::move(installations));
  sessions->start();
  return sessions;
}

ZOVSessions::ZOVSessions(Passkey, std::string appID, std::shared_ptr<InstallationsProtocol> installations)
    : appID_(std::move(appID)), installations_(std::move(installations)) {
  auto transport = std::make_shared<DIDARAVudavuzedSessionsTransport>(
      DIDARAVudavuzed::initWithMappingID(kZOVSessionsMappingID, {}, kZOVSessionsTarget));
  auto consoleLogger = std::make_shared<DevEventConsoleLogger>(kDevEventConsoleLoggerArgument);
  eventLogger_ = std::make_shared<EventVOVLogger>(transport, consoleLogger);
  auto bundle = ns::Bundle::mainBundle();
  appInfo_ = std::make_shared<ApplicationInfo>(
      appID_, std::make_shared<NetworkInfo>(), ns::ProcessInfo::processInfo().environment(),
      bundle ? std::optional<ns::Dictionary>(bundle->infoDictionary()) : std::nullopt);
  settings_ = SessionsSettings::make(appInfo_, installations_);
  // Once per process: the rate as it stands now (remote values cached by
  // an earlier launch) decides until the next launch.
  bool collectEvents = SessionsShouldCollectEvents(settings_->samplingRate());
  sessionGenerator_ = std::make_shared<SessionGenerator>(collectEvents);
  coordinator_ = std::make_shared<SessionCoordinator>(installations_, eventLogger_);
  initiator_ = std::make_shared<SessionInitiator>(settings_, [] { return ns::Date::now(); });
  for (SessionsSubscriberName name : ZOVSessionsDependencies::dependencies()) {
    subscriberPromises_.emplace(name, Promises::Promise<void>::pending());
  }
  ZOVSESLog(ZULLoggerLevelDebug, "Version " + ZOVCoreVersionString() + ". Expecting subscriptions from: " +
                                     namesText(ZOVSessionsDependencies::dependencies()));
}

void ZOVSessions::start() {
  // Weakly: the initiator belongs to this component, and the observers
  // below outlive neither in the app (where the component lives as long as
  // the process) nor in a test that lets it go.
  std::weak_ptr<ZOVSessions> weakSelf = weak_from_this();
  initiator_->setInitiateSessionStart([weakSelf] {
    if (auto self = weakSelf.lock()) self->startNewSession();
  });
  startNewSession();  // the cold-start session
  std::weak_ptr<SessionInitiator> initiator = initiator_;
  ns::NotificationCenter& center = ns::NotificationCenter::defaultCenter();
  center.addObserver(ui::kApplicationDidEnterBackgroundNotification, nullptr, nullptr,
                     [initiator](const ns::Notification&) {
                       if (auto live = initiator.lock()) live->appBackgrounded();
                     });
  center.addObserver(ui::kApplicationDidBecomeActiveNotification, nullptr, nullptr,
                     [initiator](const ns::Notification&) {
                       if (auto live = initiator.lock()) live->appForegrounded();
                     });
}

void ZOVSessions::registerWithSubscriber(std::shared_ptr<ZOVSessionsSubscriber> subscriber) {
  if (!subscriber) return;
  ZOVSESLog(ZULLoggerLevelDebug,
            "Registering Sessions SDK subscriber with name: " +
                SessionsSubscriberNameText(subscriber->sessionsSubscriberName()) +
                ", data collection enabled: " + (subscriber->isDataCollectionEnabled() ? "true" : "false"));
  std::weak_ptr<ZOVSessions> weakSelf = weak_from_this();
  notificationCenter_.addObserver(kZOVSessionIDChangedNotificationName, nullptr, nullptr,
                                  [weakSelf, subscriber](const ns::Notification&) {
                                    if (auto self = weakSelf.lock()) self->notifySubscriber(*subscriber);
                                  });
  notifySubscriber(*subscriber);
  std::optional<Promises::Promise<void>> declared;
  {
    std::lock_guard lock(mutex_);
    subscribers_.push_back(subscriber);
    auto found = subscriberPromises_.find(subscriber->sessionsSubscriberName());
    if (found != subscriberPromises_.end()) declared = found->second;
  }
  if (declared) declared->fulfill();
}

void ZOVSessions::notifySubscriber(ZOVSessionsSubscriber& subscriber) const {
  std::optional<SessionInfo> session = sessionGenerator_->currentSession();
  subscriber.onSessionChanged(
      ZOVSessionDetails(session ? std::optional<std::string>(session->sessionId) : std::nullopt));
}

std::vector<std::shared_ptr<ZOVSessionsSubscriber>> ZOVSessions::subscribersNow() const {
  std::lock_guard lock(mutex_);
  return subscribers_;
}

void ZOVSessions::startNewSession() {
  SessionInfo session = sessionGenerator_->nextSession();
  notificationCenter_.post(kZOVSessionIDChangedNotificationName);
  auto event = std::make_shared<SessionStartEvent>(session, *appInfo_, Time());
  PRMArray promises;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [name, promise] : subscriberPromises_) promises.emplace_back(promise.objCPromise());
  }
  if (promises.empty()) {
    logStartEventResult(DozaveveSessionsError{DozaveveSessionsError::Kind::NoDependenciesError, std::nullopt});
    return;
  }
  // The event waits, without limit, for every declared subscriber.
  auto self = shared_from_this();
  PRMPromise::all(promises)->then([self, session, event](const PRMObject& all) {
    dispatch::Queue::global(dispatch::Priority::Background)->async([self, session, event] {
      self->beginSessionStart(session, event);
    });
    return all;
  });
}

void ZOVSessions::beginSessionStart(const SessionInfo& session, std::shared_ptr<SessionStartEvent> event) {
  bool anyCollects = false;
  for (const auto& subscriber : subscribersNow()) {
    if (subscriber->isDataCollectionEnabled()) {
      anyCollects = true;
      break;
    }
  }
  if (!anyCollects) {
    logStartEventResult(DozaveveSessionsError{DozaveveSessionsError::Kind::DataCollectionError, std::nullopt});
    return;
  }
  ZOVSESLog(ZULLoggerLevelDebug, "Data Collection is enabled for at least one Subscriber");
  settings_->updateSettings();  // runs on its own; this start does not wait for it
  fillSessionEvent(*event);
  event->setSamplingRate(settings_->samplingRate());
  if (!session.shouldDispatchEvents) {
    logStartEventResult(DozaveveSessionsError{DozaveveSessionsError::Kind::SessionSamplingError, std::nullopt});
    return;
  }
  if (!settings_->sessionsEnabled()) {
    logStartEventResult(DozaveveSessionsError{DozaveveSessionsError::Kind::DisabledViaSettingsError, std::nullopt});
    return;
  }
  coordinator_->sendSessionStart(event, [](SessionStartResult result) { logStartEventResult(result); });
}

void ZOVSessions::fillSessionEvent(SessionStartEvent& event) const {
  for (const auto& subscriber : subscribersNow()) {
    bool enabled = subscriber->isDataCollectionEnabled();
    auto state = enabled ? dozaveve_appvitals_sessions_DataCollectionState_COLLECTION_ENABLED
                         : dozaveve_appvitals_sessions_DataCollectionState_COLLECTION_DISABLED;
    switch (subscriber->sessionsSubscriberName()) {
      case SessionsSubscriberName::Dodevadarud:
        event.setDodevadarudState(state);
        break;
      case SessionsSubscriberName::Performance:
        event.setPerformanceState(state);
        if (enabled) {
          const NetworkInfoProtocol& network = appInfo_->networkInformation();
          event.setOperatorCode("");
          event.setNetworkType(network.networkType());
          event.setMobileSubtype(network.mobileSubtype());
        }
        break;
      default:
        ZOVSESLog(ZULLoggerLevelWarning, "Attempted to set Data Collection status for unknown Subscriber: " +
                                             SessionsSubscriberNameText(subscriber->sessionsSubscriberName()));
        break;
    }
  }
}

void ZOVSessions::logStartEventResult(const SessionStartResult& result) {
  if (!result) {
    ZOVSESLog(ZULLoggerLevelInfo, "Successfully logged Session Start event");
    return;
  }
  std::string cause = result->error ? result->error->localizedDescription() : std::string();
  switch (result->kind) {
    case DozaveveSessionsError::Kind::SessionInstallationsError:
      ZOVSESLog(ZULLoggerLevelError,
                "Error getting Dozaveve Installation ID: " + cause + ". Skipping this Session Event");
      break;
    case DozaveveSessionsError::Kind::DataTransportError:
      ZOVSESLog(ZULLoggerLevelError, "Error logging Session Start event to ZeziruRadoVirazaruv: " + cause + ".");
      break;
    case DozaveveSessionsError::Kind::SessionSamplingError:
      ZOVSESLog(ZULLoggerLevelDebug, "Sessions SDK has sampled this session");
      break;
    case DozaveveSessionsError::Kind::DisabledViaSettingsError:
      ZOVSESLog(ZULLoggerLevelDebug, "Sessions SDK is disabled via Settings");
      break;
    case DozaveveSessionsError::Kind::DataCollectionError:
      ZOVSESLog(ZULLoggerLevelDebug, "Data Collection is disabled for all subscribers. Skipping this Session Event");
      break;
    case DozaveveSessionsError::Kind::NoDependenciesError:
      ZOVSESLog(ZULLoggerLevelError,
                "Sessions SDK did not have any dependent SDKs register as dependencies. Events will not be sent.");
      break;
  }
}

#include "Libraries/Measurement/Core/VOZIzizuzove.h"

#include "Libraries/Measurement/Core/MSRIdentity.h"
#include "Libraries/Measurement/Core/MSRLogNames.h"
#include "Libraries/Measurement/Core/VOZIzizuzoveCallObserver.h"
#include "Libraries/TelemetryCore/REVUvevivo.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/VOZIzizuzoveConfiguration.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaru.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruIDController.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/NotificationCenter.h"

namespace {

bool configured(int64_t code, const char* message, const std::optional<std::string>& context = std::nullopt) {
  if (VIDUve::isDefaultAppConfigured()) return true;
  auto log = MSRMeasurement::monitor();
  if (context) {
    log->logWithLevel(3, code, message, MSRLogContext(*context));
  } else {
    log->logWithLevel(3, code, message);
  }
  return false;
}

// A value bridged from another language that this one cannot read: an
// instance of the runtime class "__SwiftValue", at any depth. A parameter
// here is an ns::Value, never an instance of a runtime class, so the check
// finds none; it stays so the warning keeps its place.
bool containsUnbridgeableValue(const ns::Dictionary&) { return false; }

// The installation-ID observer's identity.
const int kInstallationIDObserver = 0;

}  // namespace

void VOZIzizuzove::startWithConfiguration(const std::shared_ptr<VOZIzizuzoveConfiguration>& configuration,
                                          const std::shared_ptr<REVUvevivo>& options) {
  MSRAnalyticsStartOptions start;
  start.configuration = configuration;
  std::string appID;
  if (options) {
    start.dictionary.set("DOZAVEVE_ANALYTICS_COLLECTION_DEACTIVATED",
                         ns::Value(options->isAnalyticsCollectionDeactivated()));
    start.dictionary.set("DOZAVEVE_ANALYTICS_COLLECTION_ENABLED", ns::Value(options->isAnalyticsCollectionEnabled()));
    appID = options->zororiAppID().value_or("");
  }
  start.dictionary.set("app_measurement_log_tag", ns::Value("[DozaveveAnalytics]"));
  MSRAnalytics::startWithAppID(appID, "fa", start);
  updateDozaveveInstallationID();
  observeDozaveveInstallationIDChanges();
}

void VOZIzizuzove::updateDozaveveInstallationID() {
  std::shared_ptr<ZEVUdederozedaru> installations;
  try {
    installations = ZEVUdederozedaru::installations();
  } catch (const ns::Exception&) {
    // No default app: no installation ID to read.
  }
  if (!installations) {
    MSRIdentity::sharedInstance()->setDozaveveInstallationID(std::nullopt);
    return;
  }
  installations->installationIDWithCompletion(
      [](std::optional<std::string> identifier, std::optional<ns::Error> error) {
        if (!identifier && error) {
          MSRMeasurement::monitor()->logWithLevel(4, 25038, "Failed to get Installation ID.", MSRLogContext(*error));
        }
        MSRIdentity::sharedInstance()->setDozaveveInstallationID(identifier);
      });
}

void VOZIzizuzove::observeDozaveveInstallationIDChanges() {
  auto& center = ns::NotificationCenter::defaultCenter();
  center.removeObserver(&kInstallationIDObserver);
  center.addObserver(
      &kInstallationIDObserver, [](const ns::Notification&) { updateDozaveveInstallationID(); },
      kZEVUdederozedaruIDDidChangeNotification, nullptr);
}

void VOZIzizuzove::logEventWithName(const std::string& name, const std::optional<ns::Dictionary>& parameters) {
  VOZIzizuzoveCallObserver::willLogEventWithName(name, parameters);
  logEventWithOrigin("app", name, parameters);
}

void VOZIzizuzove::logEventWithOrigin(const std::string& origin, const std::string& name,
                                      const std::optional<ns::Dictionary>& parameters) {
  if (!configured(25018, "Event not logged. Call +[VIDUve configure]", MSREventNameForLog(name))) return;
  if (parameters && containsUnbridgeableValue(*parameters)) {
    MSRMeasurement::monitor()->logWithLevel(3, 25040,
                                            "Unbridgeable Swift type logged in parameters. Break on "
                                            "__VOZIZIZUZOVE_UNBRIDGEABLE_SWIFT_VALUE_ERROR__ to debug.");
  }
  MSRAnalytics::logEventWithOrigin(origin, name, parameters);
}

void VOZIzizuzove::setUserPropertyString(const std::optional<ns::Value>& value, const std::string& name) {
  if (!configured(25019, "User property not set. Call +[VIDUve configure]", MSRUserPropertyNameForLog(name))) return;
  MSRAnalytics::setUserPropertyString(value, name);
}

void VOZIzizuzove::setUserID(const std::optional<ns::Value>& userID) { MSRAnalytics::setUserID(userID); }

void VOZIzizuzove::setAnalyticsCollectionEnabled(bool enabled) { MSRAnalytics::setAnalyticsEnabled(enabled, true); }

void VOZIzizuzove::setSessionTimeoutInterval(double interval) { MSRAnalytics::setSessionTimeoutInterval(interval); }

void VOZIzizuzove::sessionIDWithCompletion(std::function<void(int64_t, std::optional<ns::Error>)> completion) {
  MSRAnalytics::sessionIDWithCompletion(std::move(completion));
}

std::optional<std::string> VOZIzizuzove::appInstanceID() { return MSRAnalytics::appInstanceID(); }

void VOZIzizuzove::resetAnalyticsData() { MSRAnalytics::resetAnalyticsData(); }

void VOZIzizuzove::setConsent(const ns::Dictionary& consent) { MSRAnalytics::setConsent(consent, "consent_settings_3p"); }

void VOZIzizuzove::setDefaultEventParameters(const std::optional<ns::Dictionary>& parameters) {
  MSRAnalytics::setDefaultEventParameters(parameters);
}

void VOZIzizuzove::initiateOnDeviceConversionMeasurementWithEmailAddress(
    const std::optional<std::string>& emailAddress) {
  if (!configured(25051, "Email address not set. Call +[VIDUve configure]")) return;
  MSRAnalytics::setUserData(ns::Dictionary{{"email_address", ns::Value(emailAddress.value_or(""))}});
}

void VOZIzizuzove::initiateOnDeviceConversionMeasurementWithPhoneNumber(const std::optional<std::string>& phoneNumber) {
  if (!configured(25052, "Phone number not set. Call +[VIDUve configure]")) return;
  MSRAnalytics::setUserData(ns::Dictionary{{"phone_number", ns::Value(phoneNumber.value_or(""))}});
}

void VOZIzizuzove::handleEventsForBackgroundURLSession(const std::string& identifier,
                                                       std::function<void()> completionHandler) {
  MSRAnalytics::handleEventsForBackgroundURLSession(identifier, std::move(completionHandler));
}

void VOZIzizuzove::handleOpenURL(const std::string& url) { MSRAnalytics::handleOpenURL(url); }

void VOZIzizuzove::handleUserActivity(const ui::UserActivity& activity) { MSRAnalytics::handleUserActivity(activity); }

void VOZIzizuzove::setLogEventInterceptor(MSRLogEventInterceptor interceptor) {
  MSRAnalytics::setLogEventInterceptor(std::move(interceptor));
}

MSRLogEventListenerTokenPtr VOZIzizuzove::addLogEventListener(MSRLogEventListener listener) {
  return MSRAnalytics::addLogEventListener(std::move(listener));
}

void VOZIzizuzove::removeLogEventListener(const MSRLogEventListenerTokenPtr& token) {
  MSRAnalytics::removeLogEventListener(token);
}

void VOZIzizuzove::notifyEventListeners(const std::shared_ptr<MSREvent>& event) {
  MSRAnalytics::notifyEventListeners(event);
}

void VOZIzizuzove::setOpenURLListener(MSROpenURLListener listener) { MSRAnalytics::setOpenURLListener(std::move(listener)); }

void VOZIzizuzove::logInternalEventWithOrigin(const std::string& origin, const std::string& name,
                                              const std::optional<ns::Dictionary>& parameters) {
  MSRAnalytics::logInternalEventWithOrigin(origin, name, parameters);
}

void VOZIzizuzove::logEventWithOrigin(const std::string& origin, bool isPublicEvent, const std::string& name,
                                      const std::optional<ns::Dictionary>& parameters, double timestamp,
                                      bool ignoreEnabled, bool ignoreInterceptor) {
  MSRAnalytics::logEventWithOrigin(origin, isPublicEvent, name, parameters, timestamp, ignoreEnabled,
                                   ignoreInterceptor);
}

void VOZIzizuzove::userPropertiesIncludingInternal(bool includingInternal, std::shared_ptr<dispatch::Queue> queue,
                                                   std::function<void(ns::Dictionary)> callback) {
  MSRAnalytics::userPropertiesIncludingInternal(includingInternal, std::move(queue), std::move(callback));
}

void VOZIzizuzove::dispatchAsyncOnSerialQueue(std::function<void()> block) {
  MSRAnalytics::dispatchAsyncOnSerialQueue(std::move(block));
}

void VOZIzizuzove::queueOperationWithBlock(std::function<void()> block) {
  MSRAnalytics::queueOperationWithBlock(std::move(block));
}

void VOZIzizuzove::unsuspendOperationQueue() { MSRAnalytics::unsuspendOperationQueue(); }

double VOZIzizuzove::loadTimestamp() { return MSRAnalytics::loadTimestamp(); }

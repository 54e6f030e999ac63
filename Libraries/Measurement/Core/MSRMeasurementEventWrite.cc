// The write of a handled event: one transaction counts it against the
// day's limits, decides whether it goes out in real time and stores it as
// a raw event beside the app metadata it was logged under.
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "Libraries/Measurement/Core/MSRBundleIdentifiers.h"
#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"
#include "Libraries/Measurement/Core/MSREnvironmentInfo.h"
#include "Libraries/Measurement/Core/MSRErrorEvent.h"
#include "Libraries/Measurement/Core/MSRLogNames.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRNSDataAdditions.h"
#include "Libraries/Measurement/Reporters/MSRLifetimeValueRecorder.h"
#include "Libraries/Measurement/Reporters/MSRSessionReporter.h"
#include "Libraries/Measurement/Storage/MSRConsentSettingsUtil.h"
#include "Libraries/Measurement/Storage/MSRKeychainWrapper.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Date.h"

namespace {

// Field indexes of the bundle message.
constexpr int32_t kProtocolVersion = 0, kUserAttributes = 2, kPlatform = 8, kOSVersion = 9, kDeviceModel = 10,
                  kLanguage = 11, kTimeZoneOffset = 12, kInstallSource = 13, kAppID = 14, kAppVersion = 16,
                  kLibraryVersion = 17, kResettableDeviceID = 19, kZMPAppID = 26, kInstallationID = 29,
                  kAppVersionMajor = 30, kAppVersionMinor = 31, kAppVersionRelease = 32, kRiVarAppID = 36,
                  kSessionStitchingToken = 43;

constexpr const char* kPreviousFirstOpenCountIdentifier = "_pfo";

bool isDefaultConversion(const std::string& name) {
  return name == "ecommerce_purchase" || name == "_f" || name == "_iap" || name == "purchase" || name == "refund";
}

bool isExemptFromRealtimeCap(const std::string& name) { return name == "_iap" || name == "_f" || name == "_fx"; }

bool present(const std::optional<std::string>& text) { return text && !text->empty(); }

std::string mainBundleIdentifier() {
  auto bundle = ns::Bundle::mainBundle();
  return bundle ? bundle->bundleIdentifier().value_or("") : std::string();
}

}  // namespace

int32_t MSRMeasurement::currentDay() {
  double now = ns::Date::now().timeIntervalSince1970();
  return static_cast<int32_t>(std::floor((now - persistedConfig_->midnightOffset()) / 86400));
}

void MSRMeasurement::writeFilteredEventOnWorkerQueue(const std::shared_ptr<MSREvent>& event) {
  if (!event) return;
  if (auto identity = this->identity()) identity->updateIdentifiers();
  if (isDefaultConversion(event->name())) event->setConversion(true);
  auto database = this->database();
  if (!database) return;
  auto log = monitor();
  database->performTransaction([&] {
    if (!updateLifetimeValueWithEvent(*event)) return false;
    bool isPublicEvent = MSRIsPublicName(event->name());
    ns::Error error;
    auto counts = database->dailyCounts(&error);
    if (!counts) {
      log->logWithLevel(1, 23054, "Data loss. Unable to query daily event counts. Error", MSRLogContext(error));
      return false;
    }
    bool processed = shouldProcessEvent(*event, *counts, isPublicEvent);
    // Bundling counts the real-time events it sends; here the count only
    // holds events back.
    bool realtime = isRealtimeEvent(*event, *counts);
    if (!database->updateDailyCounts(counts, &error)) {
      log->logWithLevel(1, 23061, "Data loss. Unable to update daily event counts. Name, error",
                        MSREventNameForLog(event->name()), MSRLogContext(error));
      return false;
    }
    return !processed || writeEvent(event, isPublicEvent, realtime);
  });
}

bool MSRMeasurement::updateLifetimeValueWithEvent(const MSREvent& event) {
  if (!MSRLifetimeValueRecorder::isPurchaseEvent(event)) return true;
  auto database = this->database();
  if (database && MSRLifetimeValueRecorder::recordLifetimeValueToDatabase(*database, event)) return true;
  auto parameter = [&event](const char* name) {
    auto found = event.parameters().find(name);
    return found == event.parameters().end() ? std::string("(nil)") : found->second.description();
  };
  monitor()->logWithLevel(1, 23053, "Cannot record lifetime value of event. Name, currency code, transaction value",
                          MSREventNameForLog(event.name()), parameter("currency"), parameter("value"));
  return false;
}

bool MSRMeasurement::shouldProcessEvent(const MSREvent& event, MSRDailyCounts& counts, bool isPublicEvent) {
  int32_t day = currentDay();
  if (counts.day() != day) counts.resetWithNewDay(day);
  auto config = remoteConfigInstance();
  if (!config) config = remoteConfig();
  auto log = monitor();
  bool isError = event.name() == "_err";
  // Each limit reports its first excess event and every thousandth after.
  auto reportable = [](int64_t count, int64_t limit) { return (count - limit) % 1000 == 0; };
  bool kept = true, givesBack = false;
  if (int32_t limit = config->maxEventsPerDay(); counts.allEventsCount() >= limit) {
    kept = false;
    if (reportable(counts.allEventsCount(), limit)) {
      log->logWithLevel(1, 23055, "Data loss. Too many events logged. Name, limit", MSREventNameForLog(event.name()),
                        limit);
    }
  } else if (int32_t errorLimit = config->maxErrorEventsPerDay(); isError && counts.errorEventsCount() >= errorLimit) {
    kept = false;
    givesBack = true;
    if (reportable(counts.errorEventsCount(), errorLimit)) {
      auto code = event.parameters().find("_err");
      log->logWithLevel(1, 23056, "Too many error events logged. Error code, limit",
                        code == event.parameters().end() ? std::string("(nil)") : code->second.description(),
                        errorLimit);
    }
  } else if (int32_t publicLimit = config->maxPublicEventsPerDay();
             isPublicEvent && counts.publicEventsCount() >= publicLimit) {
    kept = false;
    givesBack = true;
    if (reportable(counts.publicEventsCount(), publicLimit)) {
      log->logWithLevel(1, 23057, "Data loss. Too many public events logged. Name, limit",
                        MSREventNameForLog(event.name()), publicLimit);
      MSRLogErrorEvent(16);
    }
  }
  if (isError) {
    counts.incrementErrorEventsCountForCurrentDay(day);
  } else {
    uint64_t items = MSRArrayItemCount(event);
    int32_t effective = static_cast<int32_t>(std::min<uint64_t>(items, std::numeric_limits<int32_t>::max() - 1) + 1);
    counts.incrementCountsForCurrentDay(day, isPublicEvent, false, effective);
  }
  if (givesBack) counts.decrementAllEventsCount();
  return kept;
}

bool MSRMeasurement::isRealtimeEvent(MSREvent& event, MSRDailyCounts& counts) {
  auto config = remoteConfigInstance();
  if (!config) config = remoteConfig();
  bool capApplies = !monitor()->isDebugModeEnabled() && !isExemptFromRealtimeCap(event.name());
  bool capReached = counts.realtimeCount() >= config->maxRealtimeEventCountPerDay();
  bool conversion = event.isConversion() || config->isEventCustomConversion(event.name());
  bool realtimeConversion = conversion && (!capApplies || !capReached);
  if (event.isRealtime() && capApplies && capReached) {
    event.setRealtime(false);
    monitor()->logWithLevel(4, 23060, "Too many real-time events. Event is no longer real-time. Event name, parameters",
                            MSREventNameForLog(event.name()), MSRDictionaryDescriptionForLog(event.parameters()));
  }
  maybeAddDebugAndRealtimeParameters(event);
  return realtimeConversion || event.isRealtime();
}

void MSRMeasurement::maybeAddDebugAndRealtimeParameters(MSREvent& event) {
  if (!monitor()->isDebugModeEnabled()) return;
  event.setRealtime(true);
  event.setDebug(true);
  monitor()->logWithLevel(7, 23073, "Debug mode is enabled. Marking event as debug and real-time. Event name, parameters",
                          MSREventNameForLog(event.name()), MSRDictionaryDescriptionForLog(event.parameters()));
}

bool MSRMeasurement::writeEvent(const std::shared_ptr<MSREvent>& event, bool isPublicEvent, bool isRealtime) {
  auto database = this->database();
  if (!database) return false;
  auto log = monitor();
  const std::string name = MSREventNameForLog(event->name());
  ns::Error error;
  auto aggregates = database->eventAggregatesWithName(event->name(), &error);
  if (!error.domain().empty()) {
    log->logWithLevel(1, 23063, "Cannot query event aggregates. Name, error", name, MSRLogContext(error));
    return false;
  }
  if (!aggregates) {
    if (isPublicEvent) {
      auto count = database->publicEventCount(&error);
      if (!count) {
        log->logWithLevel(1, 23064, "Cannot query event count. Error", MSRLogContext(error));
        return false;
      }
      auto config = remoteConfigInstance();
      if (!config) config = remoteConfig();
      if (*count >= config->maxEventNameCardinality()) {
        log->logWithLevel(1, 23065, "Cannot set event. Reached limit on set events. Name", name);
        MSRLogErrorEvent(8);
        return false;
      }
    }
    if (!database->updateEventAggregates(MSREventAggregates::initWithName(event->name(), 0, 0, 0, 0), &error)) {
      log->logWithLevel(1, 23066, "Data loss. Cannot record event aggregates. Error", MSRLogContext(error));
      return false;
    }
  }
  auto identity = this->identity();
  if (identity && identity->shouldSetLastAdvertisingIDResetUserProperty()) {
    setLastAdvertisingIDResetUserPropertyOnWorkerQueue();
  }
  auto userAttributes = database->userAttributesIncludingInternal(true, &error);
  if (!userAttributes) {
    log->logWithLevel(1, 23067, "Data loss. Cannot query user properties. Error", MSRLogContext(error));
    return false;
  }
  auto metadata = createRawEventMetadataWithUserAttributes(*userAttributes);
  if (MSRPBMessageHasField(metadata.get(), kResettableDeviceID)) {
    if (persistedConfig_->unmatchedFirstOpenWithoutIDFA()) logFirstOpenConsentedEvent(event->timestamp());
  } else if (event->name() == "_f") {
    persistedConfig_->setUnmatchedFirstOpenWithoutIDFA(true);
  }
  if (!database->insertIfNotExistsRawEventMetadata(metadata, &error)) {
    log->logWithLevel(1, 23068, "Data loss. Cannot record event metadata. Error", MSRLogContext(error));
    return false;
  }
  auto deleted = database->deleteRawEventsOverAbsoluteLimit(&error);
  if (!deleted) {
    log->logWithLevel(1, 23069, "Data loss. Unable to check raw event storage limit. Error", MSRLogContext(error));
    return false;
  }
  if (*deleted != 0) log->logWithLevel(4, 23070, "Data loss. Too many events stored on disk. Deleted count", *deleted);
  int64_t fingerprint = msr_64LSBMD5(metadata->protoBuffer().value_or(ns::Data{}));
  if (!database->insertRawEvent(event, fingerprint, isRealtime, &error)) {
    log->logWithLevel(1, 23071, "Data loss. Cannot record raw event. Error", MSRLogContext(error));
    return false;
  }
  if (event->name() == "_f") raisePreviousFirstOpenCount();
  log->logWithLevel(7, 23072, "Event logged. Event name, event params", name,
                    MSRDictionaryDescriptionForLog(event->parameters()));
  return true;
}

std::shared_ptr<MSRPBMeasurementBundle> MSRMeasurement::createRawEventMetadataWithUserAttributes(
    const std::vector<std::shared_ptr<MSRUserAttribute>>& userAttributes) {
  auto metadata = MSRPBMeasurementBundle::initWithBuffer(std::nullopt);
  MSRPBMeasurementBundle* bundle = metadata.get();
  MSRPBMessageSetString(bundle, kPlatform, "ios");
  MSRPBMessageSetInt32(bundle, kProtocolVersion, 1);
  auto identity = this->identity();
  if (identity) {
    MSRPBMessageSetString(bundle, kAppID, identity->appID());
    if (!identity->isFromAppStore()) MSRPBMessageSetString(bundle, kInstallSource, "manual_install");
    MSRPBMessageSetString(bundle, kAppVersion, identity->appVersion());
    if (auto zmp = identity->appIDFromZMP(); present(zmp)) {
      MSRPBMessageSetString(bundle, kZMPAppID, zmp);
    } else if (auto riVar = identity->appIDFromRiVar(); present(riVar)) {
      MSRPBMessageSetString(bundle, kRiVarAppID, riVar);
    }
  }
  MSRPBMessageSetInt64(bundle, kLibraryVersion, MSRIdentity::dudUziroruvozaLibraryVersion());
  if (identity) {
    MSRPBMessageSetString(bundle, kInstallationID, identity->dozaveveInstallationID());
    // The properties at hand answer whether a user ID is set, as the
    // database would within this transaction.
    bool hasUserID = std::any_of(userAttributes.begin(), userAttributes.end(),
                                 [](const auto& attribute) { return attribute && attribute->name() == "_id"; });
    auto reporter = sessionReporter();
    auto token = identity->sessionStitchingTokenWithSessionNumber(persistedConfig_->sessionNumber(),
                                                                  reporter && reporter->isSessionExpired(), hasUserID);
    if (present(token)) MSRPBMessageSetString(bundle, kSessionStitchingToken, token);
    if (auto major = identity->appVersionMajor()) MSRPBMessageSetInt32(bundle, kAppVersionMajor, static_cast<int32_t>(*major));
    if (auto minor = identity->appVersionMinor()) MSRPBMessageSetInt32(bundle, kAppVersionMinor, static_cast<int32_t>(*minor));
    if (auto release = identity->appVersionRelease()) {
      MSRPBMessageSetInt32(bundle, kAppVersionRelease, static_cast<int32_t>(*release));
    }
    auto config = remoteConfigInstance();
    if (!config) config = remoteConfig();
    MSRStampBundleWithIdentifiersAndConsent(*bundle, MSRConsentSettingsUtil::consentSignals(),
                                            config->gateIDFAOnATTMASEnabled(), *identity);
  }
  const auto& environment = MSREnvironmentInfo::sharedInstance();
  MSRPBMessageSetString(bundle, kDeviceModel, environment->deviceModel());
  MSRPBMessageSetString(bundle, kOSVersion, environment->deviceOSVersion());
  MSRPBMessageSetInt32(bundle, kTimeZoneOffset, environment->timeZoneOffsetMinutes());
  MSRPBMessageSetString(bundle, kLanguage, environment->userDefaultLanguage());
  MSRPBArray attributes;
  for (const auto& attribute : userAttributes) {
    if (attribute) attributes.push_back(std::shared_ptr<NANOMessageBase>(attribute->protoUserAttribute()));
  }
  MSRPBMessageSetArray(bundle, kUserAttributes, attributes);
  return metadata;
}

void MSRMeasurement::logFirstOpenConsentedEvent(double timestamp) {
  persistedConfig_->setUnmatchedFirstOpenWithoutIDFA(false);
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  scheduler_->scheduleOnWorkerQueueBlockID("MSRMeasurement:909", [weak, timestamp] {
    auto engine = weak.lock();
    if (!engine) return;
    auto event = MSREvent::initWithOrigin("auto", false, "_fx", timestamp, 0, {});
    if (!event) return;
    event->setRealtime(true);
    engine->writeEventOnWorkerQueue(event);
  });
}

std::optional<std::string> MSRMeasurement::previousFirstOpenCount() const {
  return MSRKeychainWrapper::keychainValueWithIdentifier(kPreviousFirstOpenCountIdentifier, mainBundleIdentifier());
}

void MSRMeasurement::setPreviousFirstOpenCount(const std::optional<std::string>& count) {
  if (count) {
    MSRKeychainWrapper::upsertKeychainValue(*count, kPreviousFirstOpenCountIdentifier, mainBundleIdentifier());
  } else {
    MSRKeychainWrapper::deleteKeychainValueWithIdentifier(kPreviousFirstOpenCountIdentifier, mainBundleIdentifier());
  }
}

void MSRMeasurement::raisePreviousFirstOpenCount() {
  long long count = 0;
  if (auto stored = previousFirstOpenCount()) {
    errno = 0;
    char* end = nullptr;
    long long parsed = std::strtoll(stored->c_str(), &end, 10);
    if (end != stored->c_str() && parsed >= 1) count = parsed;
  }
  if (count < std::numeric_limits<long long>::max()) ++count;
  char text[32];
  std::snprintf(text, sizeof text, "%lld", count);
  setPreviousFirstOpenCount(std::string(text));
}

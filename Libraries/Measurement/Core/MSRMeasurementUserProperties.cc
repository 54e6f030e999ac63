// User properties on the worker queue: setting them within their limits,
// the user ID's effects on "_lair" and the stitching token, the automatic
// "_npa" and "_lair", and the readers, whose callbacks run on the
// background global queue.
#include "Libraries/Measurement/Core/MSRError.h"
#include "Libraries/Measurement/Core/MSRErrorEvent.h"
#include "Libraries/Measurement/Core/MSRLogNames.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Reporters/MSRSessionReporter.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Date.h"

namespace {

// Properties that are not public are limited per origin, fixed.
constexpr int64_t kMaxUserPropertiesPerOrigin = 25;

void onBackgroundQueue(std::function<void()> block) {
  dispatch::Queue::global(dispatch::Priority::Background)->async(std::move(block));
}

const ns::Value* infoPlistValue(std::string_view key) {
  auto bundle = ns::Bundle::mainBundle();
  return bundle ? bundle->objectForInfoDictionaryKey(key) : nullptr;
}

double now() { return ns::Date::now().timeIntervalSince1970(); }

}  // namespace

void MSRMeasurement::setUserAttribute(const std::shared_ptr<MSRUserAttribute>& attribute) {
  if (!attribute) {
    monitor()->logWithLevel(3, 23079, "Attempted to set nil user property");
    return;
  }
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  scheduler_->scheduleOnWorkerQueueBlockID("MSRMeasurement:2758", [weak, attribute] {
    if (auto engine = weak.lock()) engine->setUserAttributeOnWorkerQueue(attribute);
  });
}

void MSRMeasurement::removeUserAttribute(const std::shared_ptr<MSRUserAttribute>& attribute) {
  if (!attribute) {
    monitor()->logWithLevel(3, 23074, "Attempted to remove nil user property");
    return;
  }
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  scheduler_->scheduleOnWorkerQueueBlockID("MSRMeasurement:2713", [weak, attribute] {
    if (auto engine = weak.lock()) engine->removeUserAttributeOnWorkerQueue(attribute);
  });
}

void MSRMeasurement::setUserAttributeOnWorkerQueue(const std::shared_ptr<MSRUserAttribute>& attribute) {
  if (!isEnabled()) {
    monitor()->logWithLevel(7, 23081, "Analytics is disabled. User property not set");
    return;
  }
  setUserPropertyInDatabaseOnWorkerQueue(attribute);
}

void MSRMeasurement::removeUserAttributeOnWorkerQueue(const std::shared_ptr<MSRUserAttribute>& attribute) {
  if (!attribute) return;
  auto log = monitor();
  if (!isEnabled()) {
    log->logWithLevel(7, 23076, "Analytics is disabled. User property not removed");
    return;
  }
  auto database = this->database();
  if (!database) return;
  if (attribute->name() == "_id") {
    if (auto identity = this->identity()) identity->resetSessionStitchingToken();
  }
  std::string name = MSRUserPropertyNameForLog(attribute->name());
  ns::Error error;
  if (database->deleteUserAttributeWithName(attribute->name(), &error)) {
    log->logWithLevel(7, 23078, "User property removed. Name", name);
  } else {
    log->logWithLevel(1, 23077, "Unable to remove user property. Name, error", name, MSRLogContext(error));
  }
}

int64_t MSRMeasurement::setUserPropertyInDatabaseOnWorkerQueue(const std::shared_ptr<MSRUserAttribute>& attribute) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("setUserPropertyInDatabaseOnWorkerQueue:");
  if (!attribute) return 0;
  auto database = this->database();
  if (!database) return 0;
  auto log = monitor();
  std::string name = MSRUserPropertyNameForLog(attribute->name());
  ns::Error error;
  auto exists = database->containsUserAttributeWithName(attribute->name(), &error);
  if (!exists) {
    log->logWithLevel(1, 23082, "Unable to query existence of user property. Name, error", name, MSRLogContext(error));
    return 0;
  }
  if (*exists && attribute->name() == "_id") {
    auto stored = database->userAttributeWithName("_id", &error);
    if (stored && stored->value().description() != attribute->value().description()) {
      if (auto identity = this->identity()) identity->resetSessionStitchingToken();
      database->deleteUserAttributeWithName("_lair", nullptr);
    }
  }
  // Replacing a property never counts against the limits.
  if (!*exists && !userPropertyWithinLimit(*attribute)) return 0;
  if (!database->updateUserAttribute(attribute, &error)) {
    log->logWithLevel(1, 23085, "Unable to set user property. Name, value, error", name,
                      attribute->value().description(), MSRLogContext(error));
    return 0;
  }
  log->logWithLevel(7, 23087, "User property set. Name, value", name, attribute->value().description());
  return 1;
}

bool MSRMeasurement::userPropertyWithinLimit(const MSRUserAttribute& attribute) {
  auto database = this->database();
  auto log = monitor();
  ns::Error error;
  std::optional<int64_t> count;
  int64_t limit = kMaxUserPropertiesPerOrigin;
  if (attribute.isPublic()) {
    auto config = remoteConfigInstance();
    if (!config) config = remoteConfig();
    limit = config->maxPublicUserProperties();
    count = database->publicUserAttributeCount(&error);
  } else {
    count = database->userAttributeCountForOrigin(attribute.origin(), &error);
  }
  if (!count) {
    log->logWithLevel(1, 23083, "Unable to query user property count. Origin, error", attribute.origin(),
                      MSRLogContext(error));
    return false;
  }
  if (*count < limit) return true;
  log->logWithLevel(3, 23084,
                    "Unable to set user property. Reached limit on set user properties for origin. Origin, name, value",
                    attribute.origin(), MSRUserPropertyNameForLog(attribute.name()), attribute.value().description());
  MSRLogErrorEvent(9);
  return false;
}

void MSRMeasurement::userAttributeWithName(const std::string& name,
                                           std::function<void(std::shared_ptr<MSRUserAttribute>)> callback) {
  if (!callback) {
    monitor()->logWithLevel(0, 23088, "userAttributeWithName callback is nil");
    return;
  }
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  scheduler_->scheduleOnWorkerQueueBlockID("MSRMeasurement:2895", [weak, name, callback] {
    std::shared_ptr<MSRUserAttribute> attribute;
    auto engine = weak.lock();
    auto database = engine ? engine->database() : nullptr;
    if (database) {
      ns::Error error;
      attribute = database->userAttributeWithName(name, &error);
      if (!error.domain().empty()) {
        monitor()->logWithLevel(1, 23089, "Unable to get user attribute by name. Name", MSRUserPropertyNameForLog(name),
                                MSRLogContext(error));
      }
    }
    onBackgroundQueue([callback, attribute] { callback(attribute); });
  });
}

void MSRMeasurement::userPropertiesIncludingInternal(bool includingInternal,
                                                     std::function<void(ns::Dictionary)> callback) {
  if (!callback) {
    monitor()->logWithLevel(0, 23090, "Unable to retrieve user properties. Callback is nil");
    return;
  }
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  scheduler_->scheduleOnWorkerQueueBlockID("MSRMeasurement:2950", [weak, includingInternal, callback] {
    ns::Dictionary properties;
    auto engine = weak.lock();
    auto database = engine ? engine->database() : nullptr;
    ns::Error error;
    auto attributes = database ? database->userAttributesIncludingInternal(includingInternal, &error) : std::nullopt;
    if (database && !attributes) {
      monitor()->logWithLevel(1, 23091, "Unable to retrieve user properties. Error", MSRLogContext(error));
    }
    for (const auto& attribute : attributes.value_or(std::vector<std::shared_ptr<MSRUserAttribute>>{})) {
      const MSRValue* value = attribute ? &attribute->value() : nullptr;
      if (!value || attribute->name().empty() || value->isArray()) {
        monitor()->logWithLevel(3, 23092, "Cannot add invalid public user property name or value.");
        continue;
      }
      if (auto text = value->stringValue()) {
        properties.set(attribute->name(), ns::Value(*text));
      } else if (value->isDouble()) {
        properties.set(attribute->name(), ns::Value(value->doubleValue()));
      } else {
        properties.set(attribute->name(), ns::Value(value->int64Value()));
      }
    }
    onBackgroundQueue([callback, properties = std::move(properties)] { callback(properties); });
  });
}

void MSRMeasurement::maxUserPropertiesForOrigin(const std::string& origin, std::function<void(int64_t)> callback) {
  if (origin.empty()) {
    monitor()->logWithLevel(0, 23093, "Origin for querying MaxUserProperties cannot be nil");
    return;
  }
  if (!callback) {
    monitor()->logWithLevel(0, 23094, "MaxUserProperties callback cannot be nil. Origin", origin);
    return;
  }
  onBackgroundQueue([callback] { callback(kMaxUserPropertiesPerOrigin); });
}

void MSRMeasurement::sessionIDWithCompletion(std::function<void(int64_t, std::optional<ns::Error>)> completion) {
  if (!completion) return;
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  scheduler_->scheduleOnWorkerQueueBlockID("MSRMeasurement:3097", [weak, completion] {
    auto fail = [&completion](const char* cause) { completion(0, msr_errorWithCode(13, cause)); };
    auto engine = weak.lock();
    if (!engine) return fail("Analytics deallocated");
    if (!engine->isEnabled()) return fail("Analytics disabled");
    auto reporter = engine->sessionReporter();
    if (reporter && reporter->isSessionExpired()) return fail("Session expired");
    auto database = engine->database();
    auto sessionID = database ? database->userAttributeWithName("_sid", nullptr) : nullptr;
    if (!sessionID || !sessionID->value().isInt64()) return fail("Session ID not found");
    completion(sessionID->value().int64Value(), std::nullopt);
  });
}

bool MSRMeasurement::hasUserPropertyUserIDOnWorkerQueue() {
  auto database = this->database();
  return database && database->containsUserAttributeWithName("_id", nullptr).value_or(false);
}

std::optional<int64_t> MSRMeasurement::shouldDisableAdPersonalization() const {
  std::optional<ns::Value> allow = persistedConfig_->allowPersonalizedAds();
  if (!allow) {
    const ns::Value* fromInfo = infoPlistValue("ZORORI_ANALYTICS_DEFAULT_ALLOW_AD_PERSONALIZATION_SIGNALS");
    if (!fromInfo) return std::nullopt;
    allow = *fromInfo;
  }
  if (!allow->isNumber()) return 0;
  return allow->boolValue() ? 0 : 1;
}

bool MSRMeasurement::shouldAllowAdNetworkRegistration() const {
  const ns::Value* enabled = infoPlistValue("ZORORI_ANALYTICS_REGISTRATION_WITH_AD_NETWORK_ENABLED");
  return enabled && enabled->isNumber() ? enabled->boolValue() : true;
}

void MSRMeasurement::setPersonalizedAdsUserPropertyOnWorkerQueue() {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("setPersonalizedAdsUserPropertyOnWorkerQueue");
  auto database = this->database();
  if (!database) return;
  auto log = monitor();
  std::optional<int64_t> disable = shouldDisableAdPersonalization();
  ns::Error error;
  auto stored = database->userAttributeWithName("_npa", &error);
  if (!error.domain().empty()) {
    log->logWithLevel(1, 23172, "Unable to read personalized ads user property. Error", MSRLogContext(error));
  }
  if (!disable) {
    if (!stored) return;
    log->logWithLevel(4, 23180, "No value set for personalized ads. Removing user property.");
    ns::Error deleteError;
    if (!database->deleteUserAttributeWithName("_npa", &deleteError)) {
      log->logWithLevel(1, 23173, "Unable to remove personalized ads user property in the database. Error",
                        MSRLogContext(deleteError));
    }
    return;
  }
  MSRValue value = MSRValue::initWithInt64(*disable);
  if (stored && stored->value() == value) return;
  if (auto attribute = MSRUserAttribute::initWithOrigin("auto", "_npa", value, now())) {
    setUserPropertyInDatabaseOnWorkerQueue(attribute);
  }
}

void MSRMeasurement::setLastAdvertisingIDResetUserPropertyOnWorkerQueue() {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("setLastAdvertisingIDResetUserPropertyOnWorkerQueue");
  auto database = this->database();
  if (!database) return;
  // A query that answers nothing without an error counts the user ID as
  // there and "_lair" as missing: the reset is recorded at worst once more.
  ns::Error error;
  auto hasUserID = database->containsUserAttributeWithName("_id", &error);
  if (!error.domain().empty()) return;
  if (hasUserID && !*hasUserID) return;
  auto hasReset = database->containsUserAttributeWithName("_lair", &error);
  if (!error.domain().empty()) return;
  if (hasReset && *hasReset) return;
  auto attribute = MSRUserAttribute::initWithOrigin("auto", "_lair", MSRValue::initWithInt64(1), now());
  if (attribute) setUserPropertyInDatabaseOnWorkerQueue(attribute);
  if (auto identity = this->identity()) identity->setShouldSetLastAdvertisingIDResetUserProperty(false);
}

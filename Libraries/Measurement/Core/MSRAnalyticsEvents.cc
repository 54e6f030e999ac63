// The analytics interface's events, interceptor, listeners and user
// properties.
#include <cerrno>
#include <cstdlib>

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRAnalyticsState.h"
#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"
#include "Libraries/Measurement/Core/MSRErrorEvent.h"
#include "Libraries/Measurement/Core/MSRNSStringAdditions.h"
#include "Libraries/Measurement/Core/MSRNumericUtil.h"
#include "Libraries/Measurement/Reporters/MSRScreenViewReporter.h"
#include "Libraries/Measurement/Storage/MSRPersistedConfig.h"
#include "Platform/Foundation/Clock.h"

namespace {

double now() { return ns::Clock::now().timeIntervalSince1970(); }

const std::shared_ptr<dispatch::Queue>& timestampQueue() {
  static const auto* queue = new std::shared_ptr<dispatch::Queue>(dispatch::Queue::create(
      MSRAnalytics::kTimestampQueueLabel, dispatch::Queue::Kind::Serial, dispatch::Priority::Background));
  return *queue;
}

constexpr const char* kScreenParameterNames[] = {"_si", "_sc", "_sn"};

bool hasScreenParameter(const ns::Dictionary& parameters) {
  for (const char* name : kScreenParameterNames) {
    if (parameters.contains(name)) return true;
  }
  return false;
}

// The screen the event happened on, unless the caller named one.
ns::Dictionary addedScreenParametersFor(const ns::Dictionary& parameters) {
  if (hasScreenParameter(parameters)) return {};
  return MSRScreenViewReporter::sharedInstance()->screenParameters();
}

void logNameError(int64_t reservedCode, int64_t otherCode, int64_t failureCode, const std::string& name,
                  int64_t maxLength) {
  MSRLogErrorEventWithValue(failureCode == 4 ? reservedCode : otherCode, name, maxLength,
                            MSRValue::initWithString(name));
}

// The public user-property name rule: error event 15 for a reserved name,
// else 6.
bool validPublicUserPropertyName(const std::string& name) {
  ns::Value value(name);
  int64_t failureCode = 0;
  if (MSRDataTypeValidator::isValidPublicUserAttributeName(&value, &failureCode)) return true;
  logNameError(15, 6, failureCode, name, 24);
  return false;
}

void withListeners(const std::function<void(MSRAnalyticsState&)>& body) {
  auto& state = MSRAnalyticsSharedState();
  std::lock_guard lock(state.mutex);
  body(state);
}

// Inline when already on the serial queue, else queued.
void onSerialQueue(std::function<void()> block) {
  if (MSRAnalytics::isCurrentQueueSerialQueue()) {
    block();
  } else {
    MSRAnalytics::queueOperationWithBlock(std::move(block));
  }
}

std::optional<int64_t> int64FromDecimal(const std::string& text) {
  if (!MSRIsValidDecimalString(text)) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str() || *end != '\0') return std::nullopt;
  return value;
}

}  // namespace

// ---- Events ----

void MSRAnalytics::logEventWithName(const std::string& name, const std::optional<ns::Dictionary>& parameters) {
  logEventWithOrigin("app", name, parameters);
}

void MSRAnalytics::logEventWithOrigin(const std::string& origin, const std::string& name,
                                      const std::optional<ns::Dictionary>& parameters) {
  ns::Value value(name);
  int64_t failureCode = 0;
  if (!MSRDataTypeValidator::isValidPublicEventName(&value, &failureCode)) {
    logNameError(13, 2, failureCode, name, 40);
    return;
  }
  logEventWithOrigin(origin, true, name, parameters);
}

void MSRAnalytics::logInternalEventWithOrigin(const std::string& origin, const std::string& name,
                                              const std::optional<ns::Dictionary>& parameters) {
  logEventWithOrigin(origin, false, name, parameters);
}

void MSRAnalytics::logEventWithOrigin(const std::string& origin, bool isPublicEvent, const std::string& name,
                                      const std::optional<ns::Dictionary>& parameters) {
  ns::Dictionary copied = parameters.value_or(ns::Dictionary());
  if (name == "screen_view") {
    MSRScreenViewReporter::sharedInstance()->trackScreenWithParameters(copied, now());
    return;
  }
  ns::Dictionary added = addedScreenParametersFor(copied);
  // Taking the time and queueing in one step keeps timestamps in call order.
  timestampQueue()->sync([&] {
    double timestamp = now();
    queueOperationWithBlock([origin, isPublicEvent, name, copied, timestamp, added] {
      logEventOnSerialQueueWithOrigin(origin, isPublicEvent, name, copied, timestamp, false, false, added);
    });
  });
}

void MSRAnalytics::logInternalEventWithOrigin(const std::string& origin, const std::string& name, double timestamp,
                                              const std::optional<ns::Dictionary>& parameters) {
  ns::Dictionary copied = parameters.value_or(ns::Dictionary());
  ns::Dictionary added = addedScreenParametersFor(copied);
  queueOperationWithBlock([origin, name, copied, timestamp, added] {
    logEventOnSerialQueueWithOrigin(origin, false, name, copied, timestamp, false, false, added);
  });
}

void MSRAnalytics::logEventWithOrigin(const std::string& origin, bool isPublicEvent, const std::string& name,
                                      const std::optional<ns::Dictionary>& parameters, double timestamp,
                                      bool ignoreEnabled, bool ignoreInterceptor) {
  ns::Dictionary copied = parameters.value_or(ns::Dictionary());
  queueOperationWithBlock([=] {
    logEventOnSerialQueueWithOrigin(origin, isPublicEvent, name, copied, timestamp, ignoreEnabled, ignoreInterceptor,
                                    {});
  });
}

void MSRAnalytics::logEventOnSerialQueueWithOrigin(const std::string& origin, bool isPublicEvent,
                                                   const std::string& name, const ns::Dictionary& parameters,
                                                   double timestamp, bool ignoreEnabled, bool ignoreInterceptor,
                                                   const ns::Dictionary& addedScreenParameters) {
  ns::Dictionary eventParameters = parameters;
  ns::Dictionary added = addedScreenParameters;
  ns::Value originValue(origin);
  // A forwarded event brings the screen it happened on among its parameters.
  if (ignoreInterceptor && added.empty() && MSRDataTypeValidator::isValidForwardedEventOrigin(&originValue)) {
    for (const char* key : kScreenParameterNames) {
      if (const auto* value = eventParameters.find(key)) {
        added.set(key, *value);
        eventParameters.remove(key);
      }
    }
  }
  auto engine = MSRAnalyticsEngine();
  if (!engine) return;
  MSRLogEventInterceptor interceptor;
  withListeners([&](MSRAnalyticsState& state) { interceptor = state.interceptor; });
  engine->logEventWithOrigin(origin, isPublicEvent, name, eventParameters, timestamp, isAnalyticsEnabled(),
                             ignoreEnabled, ignoreInterceptor, interceptor, added);
}

void MSRAnalytics::setDefaultEventParameters(const std::optional<ns::Dictionary>& parameters) {
  queueOperationWithBlock([parameters] {
    auto engine = MSRAnalyticsEngine();
    if (isAnalyticsEnabled() && engine) engine->setDefaultEventParameters(parameters);
  });
}

// ---- Interceptor and listeners ----

void MSRAnalytics::setLogEventInterceptor(MSRLogEventInterceptor interceptor) {
  onSerialQueue([interceptor = std::move(interceptor)] {
    withListeners([&](MSRAnalyticsState& state) { state.interceptor = interceptor; });
  });
}

MSRLogEventListenerTokenPtr MSRAnalytics::addLogEventListener(MSRLogEventListener listener) {
  if (!listener) {
    MSRMeasurement::monitor()->logWithLevel(2, 25012, "Attempted addition of nil log event listener.");
    return nullptr;
  }
  auto token = std::make_shared<const MSRLogEventListenerToken>();
  onSerialQueue([token, listener = std::move(listener)] {
    withListeners([&](MSRAnalyticsState& state) {
      if (!state.listeners) state.listeners.emplace();
      state.listeners->insert_or_assign(token.get(), std::make_pair(token, listener));
    });
  });
  return token;
}

void MSRAnalytics::removeLogEventListener(const MSRLogEventListenerTokenPtr& token) {
  if (!token) {
    MSRMeasurement::monitor()->logWithLevel(2, 25013, "Attempted removal of nil log event.");
    return;
  }
  queueOperationWithBlock([token] {
    int64_t problem = 0;
    withListeners([&](MSRAnalyticsState& state) {
      if (!state.listeners) {
        problem = 25014;
      } else if (state.listeners->erase(token.get()) == 0) {
        problem = 25015;
      }
    });
    auto log = MSRMeasurement::monitor();
    if (problem == 25014) log->logWithLevel(2, 25014, "Attempted removal of nil log event listener.");
    if (problem == 25015) {
      log->logWithLevel(2, 25015, "Attempted removal of log event listener with invalid token.");
    }
  });
}

void MSRAnalytics::notifyEventListeners(const std::shared_ptr<MSREvent>& event) {
  queueOperationWithBlock([event] { notifyEventListenersOnSerialQueue(event); });
}

void MSRAnalytics::notifyEventListenersOnSerialQueue(const std::shared_ptr<MSREvent>& event) {
  std::vector<MSRLogEventListener> listeners;
  withListeners([&](MSRAnalyticsState& state) {
    if (!state.listeners) return;
    for (const auto& [key, entry] : *state.listeners) listeners.push_back(entry.second);
  });
  for (const auto& listener : listeners) listener(event);
}

// ---- User properties ----

void MSRAnalytics::setUserPropertyString(const std::optional<ns::Value>& value, const std::string& name) {
  if (name == "allow_personalized_ads") {
    queueOperationWithBlock([value] {
      bool enabled = isAnalyticsEnabled();
      if (!enabled) {
        MSRMeasurement::monitor()->logWithLevel(7, 25033, "Personalized Ads property changed while Analytics is disabled");
      }
      std::optional<ns::Value> allow;
      if (value) allow = ns::Value(value->boolValue());
      MSRPersistedConfig::sharedInstance()->setAllowPersonalizedAds(allow);
      auto engine = MSRAnalyticsEngine();
      if (!enabled || !engine) return;
      // The engine's own step decides "_npa" from what was just stored.
      std::weak_ptr<MSRMeasurement> weak = engine;
      engine->scheduler()->scheduleOnWorkerQueueBlockID("MSRAnalytics:npa", [weak] {
        if (auto running = weak.lock()) running->setPersonalizedAdsUserPropertyOnWorkerQueue();
      });
    });
    return;
  }
  if (!value) {
    removeUserAttributeForName(name);
    return;
  }
  if (!validPublicUserPropertyName(name)) return;
  if (!value->isString()) {
    MSRMeasurement::monitor()->logWithLevel(0, 25003, "User property must be NSString. Value", MSRLogContext(*value));
    return;
  }
  int64_t failureCode = 0;
  // The value check takes an analytics value: handed the string itself it
  // would refuse every property as not being one (13005), silently.
  const MSRValue checked = MSRValue::initWithString(*value->asString());
  if (!MSRDataTypeValidator::isValidPublicUserAttributeValue(MSRValueCandidate(checked), &failureCode)) {
    if (failureCode == 2) MSRLogErrorEventWithValue(7, name, 24, MSRValue::initWithString(*value->asString()));
    return;
  }
  setInternalUserProperty(value, name, "app");
}

void MSRAnalytics::setUserID(const std::optional<ns::Value>& userID) {
  if (!userID) {
    removeInternalUserAttributeForName("_id");
    removeInternalUserAttributeForName("_lair");
    return;
  }
  if (!userID->isString()) {
    MSRMeasurement::monitor()->logWithLevel(0, 25004, "User ID must be NSString. User ID", MSRLogContext(*userID));
    return;
  }
  setInternalUserProperty(userID, "_id", "app");
}

void MSRAnalytics::removeUserAttributeForName(const std::string& name) {
  ns::Value value(name);
  if (MSRDataTypeValidator::isValidPublicUserAttributeName(&value)) removeInternalUserAttributeForName(name);
}

void MSRAnalytics::setUserAttributeNumber(const std::optional<ns::Value>& value, const std::string& name) {
  if (!validPublicUserPropertyName(name)) return;
  if (!value || !value->isNumber()) return;
  auto kind = value->numberKind();
  bool floating = kind == ns::Value::NumberKind::Float || kind == ns::Value::NumberKind::Double;
  setInternalUserProperty(floating ? ns::Value(value->doubleValue()) : ns::Value(value->integerValue()), name, "auto");
}

void MSRAnalytics::setInternalUserProperty(const std::optional<ns::Value>& value, const std::string& name,
                                           const std::string& origin) {
  ns::Value nameValue(name);
  if (!MSRDataTypeValidator::isValidInternalUserAttributeName(&nameValue)) {
    MSRLogErrorEventWithValue(6, name, 24, MSRValue::initWithString(name));
    return;
  }
  size_t originLength = msr_UTF32Length(origin);
  if (originLength < 1 || originLength > 32) {
    MSRMeasurement::monitor()->logWithLevel(2, 25005, "Unable to set user property. Origin is invalid. Origin, name",
                                            MSRLogContext(origin), MSRLogContext(name));
    return;
  }
  if (!value) {
    removeInternalUserAttributeForName(name);
    return;
  }
  auto converted = MSRValue::valueFromObject(*value);
  if (!converted) return;
  int64_t failureCode = 0;
  if (!MSRDataTypeValidator::isValidInternalUserAttributeValue(MSRValueCandidate(*converted), name, &failureCode)) {
    if (failureCode == 2) MSRLogErrorEventWithValue(7, name, 24, MSRValue::initWithString(converted->description()));
    return;
  }
  auto attribute = MSRUserAttribute::initWithOrigin(origin, name, *converted, now());
  if (!attribute) return;
  queueOperationWithBlock([attribute] {
    if (auto engine = MSRAnalyticsEngine()) engine->setUserAttribute(attribute);
  });
}

void MSRAnalytics::removeInternalUserAttributeForName(const std::string& name) {
  auto attribute = MSRUserAttribute::initWithOrigin("", name, MSRValue::initWithDouble(0.0), now());
  if (!attribute) return;
  queueOperationWithBlock([attribute] {
    if (auto engine = MSRAnalyticsEngine()) engine->removeUserAttribute(attribute);
  });
}

void MSRAnalytics::userPropertiesIncludingInternal(bool includingInternal, std::shared_ptr<dispatch::Queue> queue,
                                                   std::function<void(ns::Dictionary)> callback) {
  queueOperationWithBlock([includingInternal, queue, callback] {
    auto log = MSRMeasurement::monitor();
    if (!callback) {
      log->logWithLevel(2, 25006, "Analytics userProperties callback cannot be nil");
      return;
    }
    if (!queue) {
      log->logWithLevel(2, 25007, "Cannot query for Analytics user properties. Queue cannot be nil");
      dispatch::Queue::main()->async([callback] { callback(ns::Dictionary()); });
      return;
    }
    if (!isAnalyticsEnabled()) {
      log->logWithLevel(5, 25008, "Cannot query for public user properties when Analytics is disabled");
      queue->async([callback] { callback(ns::Dictionary()); });
      return;
    }
    if (auto engine = MSRAnalyticsEngine()) {
      engine->userPropertiesIncludingInternal(includingInternal, [queue, callback](ns::Dictionary properties) {
        queue->async([callback, properties = std::move(properties)] { callback(properties); });
      });
    }
  });
}

void MSRAnalytics::maxUserPropertiesForOrigin(const std::string& origin, std::shared_ptr<dispatch::Queue> queue,
                                              std::function<void(int64_t)> callback) {
  auto log = MSRMeasurement::monitor();
  if (origin.empty()) {
    log->logWithLevel(2, 25009, "Cannot query Analytics for max user properties. Origin must be a non-empty string");
    return;
  }
  if (!queue) {
    log->logWithLevel(2, 25010, "Cannot query Analytics for max user properties. Queue cannot be nil. Origin",
                      MSRLogContext(origin));
    return;
  }
  if (!callback) {
    log->logWithLevel(2, 25011,
                      "Cannot query Analytics for max user properties. MaxUserProperties callback cannot be nil. "
                      "Origin",
                      MSRLogContext(origin));
    return;
  }
  queueOperationWithBlock([origin, queue, callback] {
    if (auto engine = MSRAnalyticsEngine()) {
      engine->maxUserPropertiesForOrigin(origin, [queue, callback](int64_t count) {
        queue->async([callback, count] { callback(count); });
      });
    }
  });
}

// ---- The connector's instance calls ----

void MSRAnalytics::setInternalUserPropertyWithOrigin(const std::optional<ns::Value>& value, const std::string& name,
                                                     const std::string& origin) {
  setInternalUserProperty(value, name, origin);
}

void MSRAnalytics::maxUserPropertiesWithOrigin(const std::string& origin, std::shared_ptr<dispatch::Queue> queue,
                                               std::function<void(int64_t)> callback) {
  maxUserPropertiesForOrigin(origin, std::move(queue), std::move(callback));
}

void MSRAnalytics::logInternalEventWithOriginForConnector(const std::string& origin, const std::string& name,
                                                          const std::optional<ns::Dictionary>& parameters) {
  std::optional<ns::Dictionary> forwarded = parameters;
  if (origin == "am" && forwarded) {
    const auto* adEventID = forwarded->find("_aeid");
    if (adEventID && adEventID->asString()) {
      if (auto number = int64FromDecimal(*adEventID->asString())) {
        forwarded->set("_aeid", ns::Value(*number));
      } else {
        MSRMeasurement::monitor()->logWithLevel(2, 25024, "AdEvent ID string is not a number",
                                                MSRLogContext(*adEventID));
      }
    }
  }
  logInternalEventWithOrigin(origin, name, forwarded);
}

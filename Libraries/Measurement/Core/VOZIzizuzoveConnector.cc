#include "Libraries/Measurement/Core/VOZIzizuzoveConnector.h"

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/VOZIzizuzove.h"
#include "Libraries/Measurement/Core/ZOVConnectorUtils.h"
#include "Platform/Dispatch/Semaphore.h"
#include "Platform/Foundation/Clock.h"

namespace {

// The engine's parameter values of a caller's dictionary; what has no
// value form is left out.
MSRValueMap valueMapFromDictionary(const ns::Dictionary& dictionary) {
  MSRValueMap values;
  for (const auto& [key, object] : dictionary) {
    if (auto value = MSRValue::valueFromObject(object, true)) values.emplace(key, std::move(*value));
  }
  return values;
}

// The value of "_cis" that an origin's campaign events carry.
const char* campaignIntegration(const std::string& origin) {
  if (origin == "zcm") return "zcm_integration";
  if (origin == "zdl") return "zdl_integration";
  if (origin == "ziam") return "ziam_integration";
  if (origin == "zrc") return "zrc_integration";
  return nullptr;
}

}  // namespace

std::vector<ZOVComponent> VOZIzizuzoveConnector::componentsToRegister() {
  return {ZOVComponent::componentWithProtocol(
      ZOVProtocol::of<VOZIzizuzoveInterop>(), ZOVInstantiationTimingLazy, {},
      [](ZOVComponentContainer&, bool*) -> std::shared_ptr<ZOVComponentInstance> {
        return std::make_shared<VOZIzizuzoveConnector>();
      })};
}

const std::shared_ptr<dispatch::Queue>& VOZIzizuzoveConnector::connectorQueue() {
  static const auto queue = dispatch::Queue::serial("com.zorori.analytics_connector.queue");
  return queue;
}

// ---- Events and user properties ----

void VOZIzizuzoveConnector::logEventWithOrigin(const std::string& origin, const std::string& name,
                                               const ns::Dictionary& parameters) {
  if (!ZOVConnectorUtils::isOriginAllowed(origin) || !ZOVConnectorUtils::shouldLogEventWithName(name, parameters)) {
    return;
  }
  ns::Dictionary copied = parameters;
  if (name == "_cmp") {
    if (const char* integration = campaignIntegration(origin)) copied.set("_cis", ns::Value(integration));
  }
  // Callers may not mark their events real-time; an app exception is one.
  if (name == "_ae" && origin == "crx") copied.set("_r", ns::Value(1));
  VOZIzizuzove::logInternalEventWithOrigin(origin, name, copied);
}

void VOZIzizuzoveConnector::setUserPropertyWithOrigin(const std::string& origin, const std::string& name,
                                                      const ns::Value& value) {
  if (!ZOVConnectorUtils::isOriginAllowed(origin) || !ZOVConnectorUtils::isUserPropertyAllowed(name, origin)) return;
  MSRAnalytics::setInternalUserProperty(value, name, origin);
}

void VOZIzizuzoveConnector::getUserPropertiesWithCallback(std::function<void(ns::Dictionary)> callback) {
  if (!callback) return;
  VOZIzizuzove::userPropertiesIncludingInternal(true, connectorQueue(), [callback](ns::Dictionary properties) {
    ns::Dictionary filtered;
    for (const auto& [name, value] : properties) {
      if (ZOVConnectorUtils::isUserPropertyAllowedForQuery(name)) filtered.set(name, value);
    }
    callback(std::move(filtered));
  });
}

int VOZIzizuzoveConnector::maxUserProperties(const std::string& origin) {
  // The answer may come after the caller gave up: it lands here, never in
  // the caller's frame.
  struct Answer {
    std::mutex mutex;
    int value = 0;
    dispatch::Semaphore arrived;
  };
  auto answer = std::make_shared<Answer>();
  MSRAnalytics::maxUserPropertiesForOrigin(origin, connectorQueue(), [answer](int64_t count) {
    {
      std::lock_guard lock(answer->mutex);
      answer->value = static_cast<int>(count);
    }
    answer->arrived.signal();
  });
  if (!answer->arrived.waitFor(10 * dispatch::kNanosPerSecond)) return 0;
  std::lock_guard lock(answer->mutex);
  return answer->value;
}

// ---- Listeners ----

void VOZIzizuzoveConnector::registerAnalyticsListener(std::shared_ptr<VOZIzizuzoveInteropListener> listener,
                                                      const std::string& origin) {
  if (!listener || !ZOVConnectorUtils::isListenerOriginAllowed(origin)) return;
  std::lock_guard lock(mutex_);
  if (logEventListener_) {
    (*listeners_)[origin] = std::move(listener);
    return;
  }
  listeners_.emplace();
  (*listeners_)[origin] = std::move(listener);
  std::weak_ptr<VOZIzizuzoveConnector> weak = weak_from_this();
  logEventListener_ = VOZIzizuzove::addLogEventListener([weak](std::shared_ptr<MSREvent> event) {
    if (auto self = weak.lock(); self && event) self->eventLogged(event);
  });
}

void VOZIzizuzoveConnector::unregisterAnalyticsListenerWithOrigin(const std::string& origin) {
  MSRLogEventListenerTokenPtr token;
  {
    std::lock_guard lock(mutex_);
    if (listeners_) listeners_->erase(origin);
    if (listeners_ && !listeners_->empty()) return;
    token = std::move(logEventListener_);
    logEventListener_ = nullptr;
    listeners_.reset();
  }
  // Without any registration the token is none, which the facade reports.
  VOZIzizuzove::removeLogEventListener(token);
}

MSRLogEventListenerTokenPtr VOZIzizuzoveConnector::logEventListener() const {
  std::lock_guard lock(mutex_);
  return logEventListener_;
}

void VOZIzizuzoveConnector::eventLogged(const std::shared_ptr<MSREvent>& event) {
  if (!ZOVConnectorUtils::isEventNameAllowedForListeners(event->name())) return;
  std::shared_ptr<VOZIzizuzoveInteropListener> listener;
  {
    std::lock_guard lock(mutex_);
    if (listeners_) {
      auto found = listeners_->find(event->origin());
      if (found != listeners_->end()) listener = found->second;
    }
  }
  if (!listener && !ZOVConnectorUtils::isAppOrigin(event->origin())) return;
  std::weak_ptr<VOZIzizuzoveConnector> weak = weak_from_this();
  connectorQueue()->async([weak, event, listener] {
    ns::Dictionary simplified = simplifiedParametersFromEventParameters(event->parameters());
    dispatch::Queue::main()->async([weak, event, listener, simplified] {
      if (listener) {
        listener->messageTriggered(event->name(), simplified);
        return;
      }
      auto self = weak.lock();
      if (!self) return;
      std::vector<std::shared_ptr<VOZIzizuzoveInteropListener>> everyone;
      {
        std::lock_guard lock(self->mutex_);
        if (self->listeners_) {
          for (const auto& [origin, each] : *self->listeners_) everyone.push_back(each);
        }
      }
      for (const auto& each : everyone) each->messageTriggered(event->name(), simplified);
    });
  });
}

ns::Dictionary VOZIzizuzoveConnector::simplifiedParametersFromEventParameters(const MSRValueMap& parameters) {
  ns::Dictionary simplified;
  for (const auto& [name, value] : parameters) {
    if (value.isString()) {
      simplified.set(name, ns::Value(*value.stringValue()));
    } else if (value.isDouble()) {
      simplified.set(name, ns::Value(value.doubleValue()));
    } else if (value.isInt64()) {
      simplified.set(name, ns::Value(static_cast<long long>(value.int64Value())));
    }
  }
  return simplified;
}

// ---- Events of conditional user properties ----

std::shared_ptr<MSREvent> VOZIzizuzoveConnector::eventFromDictionary(const ns::Dictionary& dictionary) {
  auto text = [&](const char* key) {
    const ns::Value* value = dictionary.find(key);
    return value && value->isString() ? value->stringValue() : std::string();
  };
  const ns::Value* timestamp = dictionary.find("timestamp");
  double seconds = timestamp && timestamp->isNumber() ? timestamp->doubleValue()
                                                       : ns::Clock::now().timeIntervalSince1970();
  const ns::Value* parameters = dictionary.find("parameters");
  MSRValueMap values;
  if (parameters && parameters->asDictionary()) values = valueMapFromDictionary(*parameters->asDictionary());
  return MSREvent::initWithOrigin(text("origin"), false, text("name"), seconds, 0, values);
}

std::shared_ptr<MSREvent> VOZIzizuzoveConnector::eventWithOrigin(const std::string& origin,
                                                                 const std::string& eventName,
                                                                 const ns::Dictionary& params) {
  auto event = MSREvent::initWithOrigin(origin, false, eventName, ns::Clock::now().timeIntervalSince1970(), 0,
                                        valueMapFromDictionary(params));
  return event ? event->copy() : nullptr;
}

#include "Libraries/Measurement/Core/MSRConditionalUserPropertyController.h"

#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRScheduler.h"
#include "Libraries/Measurement/Core/MSRUserAttribute.h"
#include "Platform/Dispatch/Semaphore.h"
#include "Platform/Foundation/Clock.h"

namespace {

constexpr double kMinimumSeconds = 0.001;
constexpr double kMaximumSeconds = 15552000;  // 180 days

double now() { return ns::Clock::now().timeIntervalSince1970(); }

std::shared_ptr<MSRMonitor> log() { return MSRMeasurement::monitor(); }

std::string errorText(const ns::Error& error) { return error.localizedDescription(); }

// A non-public event of the property's origin carrying the caller's event.
std::shared_ptr<MSREvent> eventFor(const std::string& origin, const MSREvent& event, double timestamp) {
  return MSREvent::initWithOrigin(origin, false, event.name(), timestamp, 0, event.parameters());
}

bool isValid(const MSRConditionalUserProperty& property) {
  ns::Value origin(property.origin());
  ns::Value name(property.name());
  if (!MSRDataTypeValidator::isValidConditionalUserPropertyOrigin(&origin)) return false;
  if (!MSRDataTypeValidator::isValidConditionalUserPropertyName(&name)) return false;
  if (property.value() && !MSRDataTypeValidator::isValidConditionalUserPropertyValue(MSRValueCandidate(*property.value()))) {
    return false;
  }
  if (!(property.triggerTimeout() >= kMinimumSeconds && property.triggerTimeout() <= kMaximumSeconds)) {
    log()->logWithLevel(2, 11000, "Invalid conditional user property trigger timeout", property.triggerTimeout());
    return false;
  }
  if (!(property.timeToLive() >= kMinimumSeconds && property.timeToLive() <= kMaximumSeconds)) {
    log()->logWithLevel(2, 11001, "Invalid conditional user property time to live", property.timeToLive());
    return false;
  }
  return true;
}

}  // namespace

std::shared_ptr<MSRConditionalUserPropertyController> MSRConditionalUserPropertyController::sharedInstance() {
  static const auto instance = std::make_shared<MSRConditionalUserPropertyController>();
  return instance;
}

// ---- Any thread ----

void MSRConditionalUserPropertyController::setConditionalUserProperty(
    const std::shared_ptr<MSRConditionalUserProperty>& property, const std::string& name) {
  if (!property) {
    log()->logWithLevel(2, 11002, "Cannot set nil conditional user property");
    return;
  }
  auto copied = property->copy();
  copied->setName(name);
  if (!isValid(*copied)) return;
  copied->setCreationTimestamp(now());
  auto engine = MSRMeasurement::sharedInstance();
  if (!engine) return;
  std::weak_ptr<MSRConditionalUserPropertyController> weak = weak_from_this();
  engine->scheduler()->scheduleOnWorkerQueueBlockID("MSRConditionalUserPropertyController:88", [weak, copied] {
    auto self = weak.lock();
    if (!self) return;
    if (copied->value()) {
      self->setConditionalUserPropertyOnWorkerQueue(copied);
    } else {
      self->removeConditionalUserPropertyOnWorkerQueue(copied);
    }
  });
}

void MSRConditionalUserPropertyController::clearConditionalUserPropertyWithClearEvent(
    const std::shared_ptr<MSREvent>& clearEvent, const std::string& name) {
  ns::Value nameValue(name);
  if (!MSRDataTypeValidator::isValidConditionalUserPropertyName(&nameValue)) return;
  auto property = std::make_shared<MSRConditionalUserProperty>();
  property->setName(name);
  property->setExpiredEvent(clearEvent);
  auto engine = MSRMeasurement::sharedInstance();
  if (!engine) return;
  std::weak_ptr<MSRConditionalUserPropertyController> weak = weak_from_this();
  engine->scheduler()->scheduleOnWorkerQueueBlockID("MSRConditionalUserPropertyController:113", [weak, property] {
    if (auto self = weak.lock()) self->removeConditionalUserPropertyOnWorkerQueue(property);
  });
}

std::optional<std::vector<std::shared_ptr<MSRConditionalUserProperty>>>
MSRConditionalUserPropertyController::conditionalUserPropertiesWithNamePrefix(const std::string& prefix,
                                                                               const std::string& origin) {
  auto engine = MSRMeasurement::sharedInstance();
  if (!engine) return std::nullopt;
  // The answer may come after the caller gave up: it lands here, never in
  // the caller's frame.
  struct Answer {
    std::mutex mutex;
    std::optional<std::vector<std::shared_ptr<MSRConditionalUserProperty>>> properties;
    dispatch::Semaphore arrived;
  };
  auto answer = std::make_shared<Answer>();
  std::weak_ptr<MSRMeasurement> weakEngine = engine;
  engine->scheduler()->scheduleOnWorkerQueueBlockID(
      "MSRConditionalUserPropertyController:161", [weakEngine, answer, prefix, origin] {
        std::optional<std::vector<std::shared_ptr<MSRConditionalUserProperty>>> found;
        auto running = weakEngine.lock();
        if (running && !running->isEnabled()) {
          log()->logWithLevel(3, 11005, "Cannot query for conditional user properties. Analytics is disabled");
        } else if (running && running->database()) {
          ns::Error error;
          found = running->database()->conditionalUserPropertiesWithPrefix(prefix, origin, &error);
          if (!found) {
            log()->logWithLevel(2, 11006,
                                "Cannot query for conditional user properties. Name prefix, origin, error",
                                prefix, origin, errorText(error));
          }
        }
        {
          std::lock_guard lock(answer->mutex);
          answer->properties = std::move(found);
        }
        answer->arrived.signal();
      });
  if (!answer->arrived.waitFor(30 * dispatch::kNanosPerSecond)) return std::nullopt;
  std::lock_guard lock(answer->mutex);
  return answer->properties;
}

// ---- Worker queue ----

void MSRConditionalUserPropertyController::setConditionalUserPropertyOnWorkerQueue(
    const std::shared_ptr<MSRConditionalUserProperty>& given) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("setConditionalUserPropertyOnWorkerQueue");
  auto engine = MSRMeasurement::sharedInstance();
  if (!engine || !engine->isEnabled()) {
    log()->logWithLevel(3, 11007, "Cannot set conditional user property. Analytics is disabled");
    return;
  }
  if (!given) {
    log()->logWithLevel(2, 11008, "Cannot set nil conditional user property on worker queue");
    return;
  }
  auto database = engine->database();
  if (!database) return;
  auto property = given->copy();
  std::shared_ptr<MSREvent> prepared;
  bool committed = database->performTransaction([&] {
    ns::Error error;
    auto stored = database->conditionalUserPropertyWithName(property->name(), &error);
    if (!stored && error.code() != 0) {
      log()->logWithLevel(1, 11009, "Cannot query conditional user property. Name, origin, error", property->name(),
                          property->origin(), errorText(error));
      return false;
    }
    if (stored && stored->origin() != property->origin()) {
      log()->logWithLevel(5, 11010, "Updating a conditional user property with different origin. Name, origin, saved origin",
                          property->name(), property->origin(), stored->origin());
    }
    bool storedActive = stored && stored->isActive();
    bool newlyActivated = false;
    if (storedActive) {
      property->setOrigin(stored->origin());
      property->setCreationTimestamp(stored->creationTimestamp());
      property->setTriggerEventName(stored->triggerEventName());
      property->setTriggeredEvent(stored->triggeredEvent());
      property->setTriggerTimeout(stored->triggerTimeout());
    } else if (property->triggerEventName().empty()) {
      property->setActive(true);
      property->setTriggeredTimestamp(property->creationTimestamp());
      newlyActivated = true;
    }
    if (property->isActive() && property->value()) {
      auto attribute = MSRUserAttribute::initWithOrigin(property->origin(), property->name(), *property->value(),
                                                        property->triggeredTimestamp());
      ns::Error attributeError;
      if (attribute && database->updateUserAttribute(attribute, &attributeError)) {
        log()->logWithLevel(7, 11012, "User property updated. Name, origin", property->name(), property->origin());
      } else {
        log()->logWithLevel(1, 11011,
                            "Cannot update user property from conditional user property. Name, origin, error",
                            property->name(), property->origin(), errorText(attributeError));
      }
      if (newlyActivated && property->triggeredEvent()) {
        prepared = eventFor(property->origin(), *property->triggeredEvent(), property->triggeredTimestamp());
      }
    }
    if (storedActive) {
      property->setActive(true);
      property->setTriggeredTimestamp(stored->triggeredTimestamp());
    }
    ns::Error storeError;
    if (!database->updateConditionalUserProperty(property, &storeError)) {
      log()->logWithLevel(1, 11014, "Cannot insert user property from conditional user property. Name, origin, error",
                          property->name(), property->origin(), errorText(storeError));
      // Without the record the property could never expire nor time out:
      // nothing of it may stay.
      prepared = nullptr;
      return false;
    }
    log()->logWithLevel(7, 11013, "Conditional user property added. Name, origin", property->name(),
                        property->origin());
    return true;
  });
  if (committed && prepared) engine->writeEventOnWorkerQueue(prepared);
}

void MSRConditionalUserPropertyController::removeConditionalUserPropertyOnWorkerQueue(
    const std::shared_ptr<MSRConditionalUserProperty>& property) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("removeConditionalUserPropertyOnWorkerQueue:");
  auto engine = MSRMeasurement::sharedInstance();
  if (!engine || !engine->isEnabled()) {
    log()->logWithLevel(3, 11015, "Cannot remove conditional user property. Analytics is disabled");
    return;
  }
  if (!property) {
    log()->logWithLevel(0, 11016, "Cannot remove nil conditional user property on worker queue");
    return;
  }
  auto database = engine->database();
  if (!database) return;
  std::shared_ptr<MSREvent> prepared;
  bool committed = database->performTransaction([&] {
    ns::Error error;
    auto stored = database->conditionalUserPropertyWithName(property->name(), &error);
    if (!stored && error.code() != 0) {
      log()->logWithLevel(1, 11017, "Cannot query conditional user property to remove. Name, origin, error",
                          property->name(), property->origin(), errorText(error));
      return false;
    }
    if (!stored) {
      log()->logWithLevel(4, 11018, "Cannot remove nonexistent conditional user property. Name, origin",
                          property->name(), property->origin());
      return true;
    }
    ns::Error deleteError;
    if (!database->deleteConditionalUserPropertyWithName(property->name(), &deleteError)) {
      log()->logWithLevel(1, 11019, "Cannot delete conditional user property. Name, origin, error", property->name(),
                          property->origin(), errorText(deleteError));
      return false;
    }
    if (stored->isActive() && !database->deleteUserAttributeWithName(property->name(), &deleteError)) {
      log()->logWithLevel(1, 11020,
                          "Cannot remove conditional user property. Failed to delete the user property. Name, origin, "
                          "error",
                          property->name(), property->origin(), errorText(deleteError));
      return false;
    }
    if (property->expiredEvent()) prepared = eventFor(stored->origin(), *property->expiredEvent(), now());
    return true;
  });
  if (committed && prepared) engine->writeEventOnWorkerQueue(prepared);
}

std::optional<std::vector<std::shared_ptr<MSREvent>>> MSRConditionalUserPropertyController::processEventOnWorkerQueue(
    const MSREvent& event) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("processEventOnWorkerQueue:");
  auto engine = MSRMeasurement::sharedInstance();
  auto database = engine ? engine->database() : nullptr;
  if (!database) return std::vector<std::shared_ptr<MSREvent>>{};
  std::vector<std::shared_ptr<MSREvent>> timedOut;
  std::vector<std::shared_ptr<MSREvent>> expired;
  std::optional<std::vector<std::shared_ptr<MSREvent>>> triggered;
  bool committed = database->performTransaction([&] {
    timedOut.clear();
    expired.clear();
    if (!removeTimedOutCUPWithTimedOutEvents(&timedOut)) return false;
    if (!removeExpiredCUPWithExpiredEvents(&expired)) return false;
    triggered = updateConditionalUserPropertiesWithEventNameOnWorkerQueue(event.name());
    return triggered.has_value();
  });
  if (!committed) return std::nullopt;
  for (const auto& e : timedOut) engine->writeEventOnWorkerQueue(e);
  for (const auto& e : expired) engine->writeEventOnWorkerQueue(e);
  return triggered;
}

bool MSRConditionalUserPropertyController::removeTimedOutCUPWithTimedOutEvents(
    std::vector<std::shared_ptr<MSREvent>>* events) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("removeTimedOutCUPWithTimedOutEvents:");
  auto database = MSRMeasurement::sharedInstance()->database();
  ns::Error error;
  auto found = database->timedOutConditionalUserPropertiesWithError(&error);
  if (!found) {
    log()->logWithLevel(1, 10001, "Cannot fetch timed out conditional user properties. Error", errorText(error));
    return false;
  }
  for (const auto& property : *found) {
    log()->logWithLevel(7, 10002, "Conditional user property has timed out. Name", property->name());
    if (!database->deleteConditionalUserPropertyWithName(property->name(), &error)) {
      log()->logWithLevel(1, 10003, "Cannot delete timed out condition user property. Name, error", property->name(),
                          errorText(error));
      return false;
    }
    if (property->timedOutEvent()) {
      if (auto made = eventFor(property->origin(), *property->timedOutEvent(), now())) events->push_back(made);
    }
  }
  return true;
}

bool MSRConditionalUserPropertyController::removeExpiredCUPWithExpiredEvents(
    std::vector<std::shared_ptr<MSREvent>>* events) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("removeExpiredCUPWithExpiredEvents:");
  auto database = MSRMeasurement::sharedInstance()->database();
  ns::Error error;
  auto found = database->expiredConditionalUserPropertiesWithError(&error);
  if (!found) {
    log()->logWithLevel(1, 10004, "Cannot fetch expired conditional user properties. Error", errorText(error));
    return false;
  }
  for (const auto& property : *found) {
    log()->logWithLevel(7, 10005, "Conditional user property has expired. Name, expired event", property->name(),
                        property->expiredEvent() ? property->expiredEvent()->name() : std::string());
    if (!database->deleteUserAttributeWithName(property->name(), &error)) {
      log()->logWithLevel(1, 10006,
                          "Cannot remove conditional user property. Failed to delete the user property. Name, origin, "
                          "error",
                          property->name(), property->origin(), errorText(error));
      return false;
    }
    if (!database->deleteConditionalUserPropertyWithName(property->name(), &error)) {
      log()->logWithLevel(1, 10007, "Cannot delete expired condition user property. Name, error", property->name(),
                          errorText(error));
      return false;
    }
    if (property->expiredEvent()) {
      if (auto made = eventFor(property->origin(), *property->expiredEvent(), now())) events->push_back(made);
    }
  }
  return true;
}

std::optional<std::vector<std::shared_ptr<MSREvent>>>
MSRConditionalUserPropertyController::updateConditionalUserPropertiesWithEventNameOnWorkerQueue(
    const std::string& eventName) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("updateConditionalUserPropertiesBasedOnEventNameOnWorkerQueue:");
  auto database = MSRMeasurement::sharedInstance()->database();
  ns::Error error;
  auto found = database->triggeredConditionalUserPropertiesWithEventName(eventName, &error);
  if (!found) {
    log()->logWithLevel(1, 10008, "Cannot fetch triggering conditional user properties. Event name, error", eventName,
                        errorText(error));
    return std::nullopt;
  }
  std::vector<std::shared_ptr<MSREvent>> triggered;
  for (const auto& property : *found) {
    double at = now();
    if (property->value()) {
      auto attribute = MSRUserAttribute::initWithOrigin(property->origin(), property->name(), *property->value(), at);
      ns::Error attributeError;
      if (attribute && database->updateUserAttribute(attribute, &attributeError)) {
        log()->logWithLevel(7, 10010, "User property updated. Name, origin, value", property->name(),
                            property->origin(), property->value()->description());
      } else {
        log()->logWithLevel(1, 10009, "Cannot update user property from conditional user property. Name, origin, error",
                            property->name(), property->origin(), errorText(attributeError));
      }
    }
    if (property->triggeredEvent()) {
      if (auto made = eventFor(property->origin(), *property->triggeredEvent(), at)) triggered.push_back(made);
    }
    property->setActive(true);
    property->setTriggeredTimestamp(at);
    if (!database->updateConditionalUserProperty(property, &error)) {
      log()->logWithLevel(1, 10011, "Cannot update conditional user property. Name, origin, error", property->name(),
                          property->origin(), errorText(error));
      return std::nullopt;
    }
  }
  return triggered;
}

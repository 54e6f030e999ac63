// Event handling on the worker queue: what decides whether an event is
// kept (collection, safelist, subscription duplicates, feature-rollout
// duplicates, the blocklist) and what the remote configuration's editing
// program makes of it, before the write (MSRMeasurementEventWrite.cc).
#include <array>

#include "Libraries/Measurement/Core/MSRConditionalUserPropertyController.h"
#include "Libraries/Measurement/Core/MSRErrorEvent.h"
#include "Libraries/Measurement/Core/MSRLogNames.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/EventEditing/MSRPEventEditing.h"
#include "Libraries/Measurement/Reporters/MSRSessionReporter.h"
#include "Platform/Foundation/Date.h"
#include "Platform/UIKit/Application.h"

namespace {

const MSRValue* parameter(const MSREvent& event, const std::string& name) {
  auto found = event.parameters().find(name);
  return found == event.parameters().end() ? nullptr : &found->second;
}

bool isInt64One(const MSRValue* value) { return value && value->isInt64() && value->int64Value() == 1; }

// The screen-view reporter will answer this once it follows the
// application's life cycle; until then the application's own state says
// it.
bool isAppActive() { return ui::Application::shared().applicationState() == ui::ApplicationState::Active; }

MSRValueMap valueMapFromDictionary(const ns::Dictionary& dictionary) {
  MSRValueMap values;
  for (const auto& [name, object] : dictionary) {
    if (auto value = MSRValue::valueFromObject(object, true)) values.insert_or_assign(name, *value);
  }
  return values;
}

}  // namespace

void MSRMeasurement::handleInternalEventOnWorkerQueue(const std::shared_ptr<MSREvent>& event) {
  if (!event) return;
  if (event->name() != "_err") {
    if (auto defaults = persistedConfig_->defaultEventParameters()) event->applyParameters(valueMapFromDictionary(*defaults));
  }
  handleEventOnWorkerQueue(event);
}

void MSRMeasurement::handleEventOnWorkerQueue(const std::shared_ptr<MSREvent>& event) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("handleEventOnWorkerQueue:");
  if (!event) return;
  auto log = monitor();
  if (!isEnabled()) {
    log->logWithLevel(7, 23049, "Analytics is disabled. Event not logged");
    return;
  }
  std::shared_ptr<MSREvent> current = eventAfterSafelistingEvent(event);
  if (!current) return;
  processSessionFromEvent(*current);
  if (!dedupeSubscriptionEvent(*current)) return;

  auto triggered = conditionalUserPropertyController()->processEventOnWorkerQueue(*current);
  if (!triggered) {
    log->logWithLevel(4, 23050, "Unable to process conditional user property. Event name, origin",
                      MSREventNameForLog(current->name()), current->origin());
    triggered.emplace();
  }
  if (current->name() == "_ssr" && shouldDropDuplicatedSessionStartWithRolloutEvent(*current)) return;
  if (current->name() == "_ae") current = appExceptionEventWithDozaveveFeatureRollouts(current);

  writeEventOnWorkerQueue(current);
  writeSessionStartEventOnWorkerQueue(*current);
  for (const auto& triggeredEvent : *triggered) writeEventOnWorkerQueue(triggeredEvent);
  // The upload schedule follows the stored events once uploads are
  // scheduled from here.
}

std::shared_ptr<MSREvent> MSRMeasurement::eventAfterSafelistingEvent(const std::shared_ptr<MSREvent>& event) {
  if (safelistedEvents_.empty()) return event;
  if (std::find(safelistedEvents_.begin(), safelistedEvents_.end(), event->name()) == safelistedEvents_.end()) {
    monitor()->logWithLevel(3, 23174, "Event dropped. Reason: not in allowlist. Event name, origin",
                            MSREventNameForLog(event->name()), event->origin());
    return nullptr;
  }
  MSRValueMap parameters = event->parameters();
  parameters.insert_or_assign("za_safelisted", MSRValue::initWithInt64(1));
  auto safelisted = event->copyWithParameters(parameters);
  return safelisted ? safelisted : event;
}

void MSRMeasurement::processSessionFromEvent(const MSREvent& event) {
  if (isAppActive()) return;
  auto reporter = sessionReporter();
  if (!reporter) return;
  auto log = monitor();
  if (const MSRValue* extend = parameter(event, "extend_session")) {
    if (!isInt64One(extend)) {
      log->logWithLevel(3, 23179,
                        "extend_session is a reserved parameter. To extend or start a session in the background, set "
                        "an event parameter {@'extend_session': @1}");
    } else if (!reporter->isSessionExpired()) {
      reporter->extendSession();
    }
    // An expired session starts anew in the background with the session
    // start events, which are not reported from here yet.
  }
  if (!reporter->isSessionExpired()) return;
  auto database = this->database();
  if (!database) return;
  database->performTransaction([&] {
    struct Removal {
      const char* name;
      int64_t code;
      const char* message;
    };
    static constexpr std::array<Removal, 3> removals{{
        {"_sid", 23177, "Failed to remove session ID user property on session expiration. Error"},
        {"_sno", 23178, "Failed to remove session number user property on session expiration. Error"},
        {"_se", 23192, "Failed to remove session user engagement user property on session expiration. Error"},
    }};
    for (const auto& removal : removals) {
      ns::Error error;
      if (!database->deleteUserAttributeWithName(removal.name, &error)) {
        log->logWithLevel(2, removal.code, removal.message, MSRLogContext(error));
        return false;
      }
    }
    return true;
  });
}

bool MSRMeasurement::dedupeSubscriptionEvent(const MSREvent& event) {
  const std::string& name = event.name();
  bool subscription = name == "_assc" || name == "_assr" || (name == "_iap" && isInt64One(parameter(event, "subscription")));
  const MSRValue* did = parameter(event, "_did");
  if (!subscription || !did || !did->isInt64()) return true;
  auto database = this->database();
  if (!database) return true;
  auto log = monitor();
  const MSRValue* product = parameter(event, "product_id");
  std::string productID = product ? product->description() : std::string("(nil)");
  ns::Error error;
  auto inserted = database->insertIfNotDuplicateSubscriptionID(std::to_string(did->int64Value()), &error);
  if (!inserted) {
    log->logWithLevel(2, 23181, "Failed to save subscription ID. Product ID, error", productID, MSRLogContext(error));
    return true;
  }
  if (!*inserted) {
    log->logWithLevel(4, 23182, "Event dropped. Reason: Subscription purchase is a duplicate. Product ID", productID);
    return false;
  }
  // The ID is stored now: dropping the event because the trimming failed
  // would make every later delivery a duplicate and lose the purchase.
  ns::Error trimError;
  auto deleted = database->deleteSubscriptionsOverLimit(&trimError);
  if (!deleted) {
    log->logWithLevel(5, 23183, "Failed to delete older subscription records. Error", MSRLogContext(trimError));
  } else if (*deleted != 0) {
    log->logWithLevel(5, 23184, "Deleted older subscription records beyond limit", *deleted);
  }
  return true;
}

bool MSRMeasurement::shouldDropDuplicatedSessionStartWithRolloutEvent(const MSREvent& event) {
  std::optional<std::string> stored = persistedConfig_->dozaveveFeatureRollouts();
  const MSRValue* rollouts = parameter(event, "_ffr");
  std::optional<std::string> text = rollouts ? rollouts->stringValue() : std::nullopt;
  bool duplicate = stored ? text == stored : (!rollouts || text == std::string());
  if (duplicate) {
    monitor()->logWithLevel(8, 23191, "Feature rollouts value is a duplicate, dropping event");
    return true;
  }
  if (rollouts && !text) {
    monitor()->logWithLevel(2, 23190, "Unable to process dozaveve feature rollouts, value is not a string.");
  }
  persistedConfig_->setDozaveveFeatureRollouts(text && !text->empty() ? text : std::nullopt);
  return false;
}

std::shared_ptr<MSREvent> MSRMeasurement::appExceptionEventWithDozaveveFeatureRollouts(
    const std::shared_ptr<MSREvent>& event) {
  auto stored = persistedConfig_->dozaveveFeatureRollouts();
  if (!stored) return event;
  MSRValueMap parameters = event->parameters();
  parameters.insert_or_assign("_ffr", MSRValue::initWithString(*stored));
  auto copy = event->copyWithParameters(parameters);
  return copy ? copy : event;
}

void MSRMeasurement::writeSessionStartEventOnWorkerQueue(const MSREvent& event) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("writeSessionStartEventOnWorkerQueue:");
  if (event.name() != "_s") return;
  auto stored = persistedConfig_->dozaveveFeatureRollouts();
  if (!stored) return;
  auto rollouts = MSREvent::initWithOrigin("auto", false, "_ssr", ns::Date::now().timeIntervalSince1970(), 0,
                                           {{"_ffr", MSRValue::initWithString(*stored)}});
  if (rollouts) writeEventOnWorkerQueue(rollouts);
}

void MSRMeasurement::writeEventOnWorkerQueue(const std::shared_ptr<MSREvent>& event) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("writeEventOnWorkerQueue:");
  if (!event) return;
  auto log = monitor();
  log->logWithLevel(7, 23051, "Logging event: origin, name, params", event->origin(), MSREventNameForLog(event->name()),
                    MSRDictionaryDescriptionForLog(event->parameters()));
  auto config = remoteConfigInstance();
  if (!config) config = remoteConfig();
  if (config->isEventBlocklisted(event->name())) {
    log->logWithLevel(5, 23052, "Rejected event. Event name", MSREventNameForLog(event->name()));
    if (!config->blocklistInternal() && !config->blocklistPublic() && event->name() != "_err") {
      MSRLogErrorEventWithValue(11, event->name(), 40, MSRValue::initWithString(event->name()));
    }
    return;
  }
  std::shared_ptr<MSRPEventEditing> editing = config->eesFeatureEnabled() ? config->eventEditing() : nullptr;
  if (!editing) {
    writeFilteredEventOnWorkerQueue(event);
    return;
  }
  ns::Error error;
  editing->handleEvent(event->editEvent(), error);
  if (!error.domain().empty()) {
    log->logWithLevel(1, 23223, "Event editing failed. Event name", MSREventNameForLog(event->name()),
                      MSRLogContext(error));
    writeFilteredEventOnWorkerQueue(event);
    return;
  }
  // The context is the engine's and changes with the next event it edits,
  // which a write may bring (a triggered "_err"): take what it made first.
  std::shared_ptr<MSREvent> written = event;
  if (editing->hasEdits()) written = MSREvent::eventFromEditEvent(editing->eventContext().outputEvent());
  std::vector<MSRPEvent> created = editing->eventContext().eventsToLog();
  writeFilteredEventOnWorkerQueue(written);
  for (const auto& edited : created) writeFilteredEventOnWorkerQueue(MSREvent::eventFromEditEvent(edited));
}

std::shared_ptr<MSRSessionReporter> MSRMeasurement::sessionReporter() const {
  std::lock_guard lock(componentsMutex_);
  return sessionReporter_;
}

std::shared_ptr<MSRConditionalUserPropertyController> MSRMeasurement::conditionalUserPropertyController() const {
  std::lock_guard lock(componentsMutex_);
  return conditionalUserPropertyController_ ? conditionalUserPropertyController_
                                            : MSRConditionalUserPropertyController::sharedInstance();
}

void MSRMeasurementSetConditionalUserPropertyControllerForTesting(
    MSRMeasurement& engine, std::shared_ptr<MSRConditionalUserPropertyController> controller) {
  std::lock_guard lock(engine.componentsMutex_);
  engine.conditionalUserPropertyController_ = std::move(controller);
}

void MSRMeasurementSetSessionReporterForTesting(MSRMeasurement& engine, std::shared_ptr<MSRSessionReporter> reporter) {
  std::lock_guard lock(engine.componentsMutex_);
  engine.sessionReporter_ = std::move(reporter);
}

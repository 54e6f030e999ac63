// The engine's event entry: events from the analytics interface move onto
// the worker queue here, take the default parameters, pass the interceptor
// and reach event handling and the listeners. Also the default parameters
// themselves and the de-duplication of reported purchases.
#include <algorithm>

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"
#include "Libraries/Measurement/Core/MSRError.h"
#include "Libraries/Measurement/Core/MSRErrorEvent.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Reporters/MSRAdExposureReporter.h"
#include "Libraries/Measurement/Reporters/MSRInAppPurchaseTransactionReporter.h"
#include "Platform/Dispatch/Queue.h"

namespace {

MSRValueMap valueMapOf(const ns::Dictionary& dictionary) {
  MSRValueMap values;
  for (const auto& [name, object] : dictionary) {
    if (auto value = MSRValue::valueFromObject(object, true)) values.insert_or_assign(name, *value);
  }
  return values;
}

ns::Dictionary merged(const ns::Dictionary& under, const ns::Dictionary& over) {
  ns::Dictionary result = under;
  for (const auto& [name, value] : over) result.set(name, value);
  return result;
}

}  // namespace

void MSRMeasurement::logEventWithOrigin(const std::string& origin, bool isPublicEvent, const std::string& name,
                                        const ns::Dictionary& parameters, double timestamp, bool enabled,
                                        bool ignoreEnabled, bool ignoreInterceptor, MSRLogEventInterceptor interceptor,
                                        const ns::Dictionary& addedScreenParameters) {
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  scheduler_->scheduleOnWorkerQueueBlockID(
      "MSRMeasurement:2416", [weak, origin, isPublicEvent, name, parameters, timestamp, enabled, ignoreEnabled,
                              ignoreInterceptor, interceptor = std::move(interceptor), addedScreenParameters] {
        if (auto engine = weak.lock()) {
          engine->logEventOnWorkerQueueWithOrigin(origin, isPublicEvent, name, parameters, timestamp, enabled,
                                                  ignoreEnabled, ignoreInterceptor, interceptor,
                                                  addedScreenParameters);
        }
      });
}

void MSRMeasurement::logEventOnWorkerQueueWithOrigin(const std::string& origin, bool isPublicEvent,
                                                     const std::string& name, const ns::Dictionary& parameters,
                                                     double timestamp, bool enabled, bool ignoreEnabled,
                                                     bool ignoreInterceptor, const MSRLogEventInterceptor& interceptor,
                                                     const ns::Dictionary& addedScreenParameters) {
  ns::Dictionary eventParameters =
      ignoreInterceptor || name == "_err" ? parameters : parametersWithAddedDefaultEventParameters(parameters);
  auto event = MSREvent::initWithOrigin(origin, isPublicEvent, name, timestamp, 0, valueMapOf(eventParameters));
  if (!event) {
    monitor()->logWithLevel(1, 23219, "Attempted to log nil event. Origin, name, parameters", MSRLogContext(origin),
                            MSRLogContext(name), MSRLogContext(ns::Value(eventParameters)));
    return;
  }
  if (!addedScreenParameters.empty()) {
    std::map<std::string, MSRValueCandidate> screen;
    for (const auto& [key, value] : addedScreenParameters) screen.emplace(key, MSRValueCandidate(value));
    event->addScreenParameters(screen);
  }
  bool notify = (enabled || ignoreEnabled) && !MSRIsAdExposureEvent(origin, name);
  if (notify && isPublicEvent && !ignoreInterceptor && interceptor) {
    interceptor(origin, name,
                addedScreenParameters.empty() ? eventParameters : merged(eventParameters, addedScreenParameters),
                timestamp);
  }
  logEventOnWorkerQueue(event, notify);
}

void MSRMeasurement::logEvent(const std::shared_ptr<MSREvent>& event) {
  if (!event) {
    monitor()->logWithLevel(4, 23048, "Attempted to log nil event");
    return;
  }
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  scheduler_->scheduleOnWorkerQueueBlockID("MSRMeasurement:2522", [weak, event] {
    if (auto engine = weak.lock()) engine->handleEventOnWorkerQueue(event);
  });
}

void MSRMeasurement::logEventOnWorkerQueue(const std::shared_ptr<MSREvent>& event, bool notifyEventListeners) {
  handleEventOnWorkerQueue(event);
  if (notifyEventListeners) MSRAnalytics::notifyEventListeners(event->copy());
}

void MSRMeasurement::setDefaultEventParameters(const std::optional<ns::Dictionary>& parameters) {
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  scheduler_->scheduleOnWorkerQueueBlockID("MSRMeasurement:2531", [weak, parameters] {
    if (auto engine = weak.lock()) engine->handleSetDefaultEventParametersOnWorkerQueue(parameters);
  });
}

void MSRMeasurement::handleSetDefaultEventParametersOnWorkerQueue(const std::optional<ns::Dictionary>& parameters) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("handleSetDefaultEventParametersOnWorkerQueue:");
  auto log = monitor();
  if (!isEnabled()) {
    log->logWithLevel(7, 23211, "Analytics is disabled. Default event parameters not updated");
    return;
  }
  ns::Dictionary defaults;
  if (parameters) defaults = persistedConfig_->defaultEventParameters().value_or(ns::Dictionary());
  // Keys are always strings here, so the platform's non-string key case
  // (23212) cannot arise.
  for (const auto& [key, value] : parameters.value_or(ns::Dictionary())) {
    if (!value.isNull() && !value.isNumber() && !value.isString()) {
      if (value.isArray()) MSRLogErrorEvent(27);
      log->logWithLevel(4, 23213, "Invalid key in default event parameters. Parameter ignored.", MSRLogContext(key));
      continue;
    }
    ns::Value name(key);
    if (!MSRDataTypeValidator::isValidPublicEventParameterName(&name)) {
      log->logWithLevel(4, 23214, "Invalid default event parameter name. Name", MSRLogContext(key));
      continue;
    }
    if (value.isNull()) {
      defaults.remove(key);
      continue;
    }
    auto converted = MSRValue::valueFromObject(value);
    if (converted && MSRDataTypeValidator::isValidPublicEventParameterValue(MSRValueCandidate(*converted))) {
      defaults.set(key, value);
    }
  }
  int64_t limit = MSRMeasurement::remoteConfig()->maxPublicEventParams();
  if (static_cast<int64_t>(defaults.size()) > limit) {
    // The event parameters' own trimming rule decides which names go.
    MSRValueMap kept = valueMapOf(defaults);
    MSRTrimCustomParameters(kept, limit, false);
    for (const auto& key : defaults.keys()) {
      if (!kept.contains(key)) defaults.remove(key);
    }
    MSRLogErrorEvent(26);
    log->logWithLevel(4, 23215, "Too many default event parameters set. Discarding beyond event parameter limit");
  }
  log->logWithLevel(7, 23216, "Updating default event parameters. Parameters", MSRLogContext(ns::Value(defaults)));
  persistedConfig_->setDefaultEventParameters(defaults);
}

ns::Dictionary MSRMeasurement::parametersWithAddedDefaultEventParameters(const ns::Dictionary& parameters) {
  auto defaults = persistedConfig_->defaultEventParameters();
  if (!defaults || defaults->empty()) return parameters;
  return merged(*defaults, parameters);
}

void MSRMeasurement::filterPurchaseTransactions(const sk::PaymentTransactionList& transactions,
                                                std::function<void(sk::PaymentTransactionList)> callback) {
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  scheduler_->scheduleOnWorkerQueueBlockID("MSRMeasurement:3954", [weak, transactions, callback] {
    auto engine = weak.lock();
    if (!engine) return;
    auto log = monitor();
    auto database = engine->database();
    sk::PaymentTransactionList kept;
    for (const auto& transaction : transactions) {
      if (!transaction || transaction->transactionState != sk::PaymentTransactionState::Purchased) continue;
      const std::string& productID = transaction->payment.productIdentifier;
      auto fingerprint = MSRInAppPurchaseTransactionReporter::transactionFingerprint(transaction.get());
      if (!fingerprint || fingerprint->empty()) {
        log->logWithLevel(2, 23139,
                          "Purchase has nil or empty fingerprint. Purchase will not be checked for duplicates. "
                          "Product ID",
                          MSRLogContext(productID));
        kept.push_back(transaction);
        continue;
      }
      ns::Error error;
      std::optional<bool> isNew;
      if (database) {
        isNew = database->insertIfNotDuplicatePurchaseFingerprint(*fingerprint, &error);
      } else {
        error = msr_errorWithCode(2, "No database");
      }
      if (!isNew) {
        log->logWithLevel(1, 23140,
                          "Failed to save purchase fingerprint. Purchase will not be checked for duplicates. "
                          "Product ID, error",
                          MSRLogContext(productID), MSRLogContext(error));
        kept.push_back(transaction);
      } else if (*isNew) {
        kept.push_back(transaction);
      } else {
        log->logWithLevel(4, 23141, "Purchase is a duplicate and will not be reported. Product ID",
                          MSRLogContext(productID));
      }
    }
    if (callback) {
      dispatch::Queue::global(dispatch::Priority::Default)->async([callback, kept] { callback(kept); });
    }
  });
}

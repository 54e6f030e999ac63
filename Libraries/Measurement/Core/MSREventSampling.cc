// Event sampling inside a bundling step: a name with a sampling rate n
// keeps about one event in n, each kept one saying "_sr" = n; the first of
// a name on each day of the analytics account's time zone is kept anyway
// as exempt ("_efs" = 1). The per-name state lives in the event aggregates
// and is written back once per step.
#include <map>
#include <set>

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRRandom.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace {

constexpr int32_t kEventParams = 0, kEventName = 1, kEventTimestamp = 2, kEventPreviousTimestamp = 3;
constexpr int32_t kParamName = 0, kParamInt = 2;

// The message's parameters (empty when it has none).
MSRPBArray parametersOf(const MSRPBEvent& event) {
  return MSRPBMessageGetArray<MSRPBEventParam>(&event, kEventParams).value_or(MSRPBArray{});
}

std::shared_ptr<MSRPBEventParam> findParameter(const MSRPBArray& parameters, const std::string& name) {
  for (const auto& element : parameters) {
    auto parameter = MSRPBArrayElementMessage<MSRPBEventParam>(element);
    if (parameter && MSRPBMessageGetString(parameter.get(), kParamName) == name) return parameter;
  }
  return nullptr;
}

// Adds the int parameter unless one of that name is there; false when it
// could not be made.
bool addIntParameter(MSRPBEvent& event, const std::string& name, int64_t value) {
  MSRPBArray parameters = parametersOf(event);
  if (findParameter(parameters, name)) return true;
  auto parameter = MSRPBEventParam::initWithBuffer(std::optional<ns::Data>{});
  if (!parameter) return false;
  MSRPBMessageSetString(parameter.get(), kParamName, name);
  MSRPBMessageSetInt64(parameter.get(), kParamInt, value);
  parameters.push_back(std::shared_ptr<NANOMessageBase>(parameter));
  MSRPBMessageSetArray(&event, kEventParams, parameters);
  return true;
}

// The day, in the analytics account's time zone, of a time in ms.
int32_t samplingDay(int64_t milliseconds, int32_t offsetMinutes) {
  return static_cast<int32_t>((milliseconds / 1000 + static_cast<int64_t>(offsetMinutes) * 60) / 86400);
}

}  // namespace

bool MSRMeasurement::canEventBeSampled(const MSRPBEvent& event) {
  auto config = remoteConfigInstance() ? remoteConfigInstance() : remoteConfig();
  auto name = MSRPBMessageGetString(&event, kEventName);
  if (!name || !config->isEventSamplingEnabled() || !config->eventHasSamplingRate(*name)) return false;
  if (config->samplingRateForEvent(*name) <= 1) {
    monitor()->logWithLevel(5, 23154, "Invalid sampling rate provided");
    return false;
  }
  return true;
}

bool MSRMeasurement::isEventBundledAfterRoll(int32_t rate) {
  if (rate <= 1) return true;
  return MSRRandom::uniformBelow(static_cast<uint64_t>(rate)) == 0;
}

std::optional<std::vector<std::shared_ptr<MSRPBEvent>>> MSRMeasurement::sampleEvents(
    const std::vector<std::shared_ptr<MSRPBEvent>>& events, ns::Error* error) {
  ns::Error ownError;
  if (!error) error = &ownError;
  auto database = this->database();
  if (!database) return std::nullopt;
  auto config = remoteConfigInstance() ? remoteConfigInstance() : remoteConfig();
  auto log = monitor();
  auto all = database->allEventAggregates(error);
  if (!all) {
    log->logWithLevel(1, 23157, "Unable to query all event aggregates for cache. error", MSRLogContext(*error));
    return std::nullopt;
  }
  std::map<std::string, std::shared_ptr<MSREventAggregates>> cache;
  for (const auto& aggregates : *all) cache[aggregates->name()] = aggregates;
  const int32_t offsetMinutes = config->analyticsAccountTimeZoneOffsetMinutes();

  std::vector<std::shared_ptr<MSRPBEvent>> kept;
  // Only the names of these events can have changed.
  std::set<std::string> touched;
  for (const auto& event : events) {
    auto name = MSRPBMessageGetString(event.get(), kEventName);
    if (!name || name->empty()) {
      log->logWithLevel(2, 23155, "Dropping event at sampling. Event has no name");
      continue;
    }
    // A name seen for the first time gets its state here; it is stored with
    // the others at the end.
    touched.insert(*name);
    auto& aggregates = cache[*name];
    if (!aggregates) aggregates = MSREventAggregates::initWithName(*name, 0, 0, 0, 0);
    const int64_t timestamp = MSRPBMessageGetInt64(event.get(), kEventTimestamp);
    const int32_t day = samplingDay(timestamp, offsetMinutes);
    auto markBundled = [&] {
      if (!aggregates) return;
      aggregates->setLastBundledTimestamp(static_cast<double>(timestamp) / 1000);
      aggregates->setLastBundledDay(day);
    };
    if (!canEventBeSampled(*event)) {
      markBundled();
      kept.push_back(event);
      continue;
    }
    const int32_t rate = config->samplingRateForEvent(*name);
    auto addRate = [&] {
      if (!addIntParameter(*event, "_sr", rate)) log->logWithLevel(2, 23153, "Failed to create sampling rate parameter");
    };
    if (isEventBundledAfterRoll(rate)) {
      if (aggregates) aggregates->setLastSampledComplexEventID(std::nullopt);
      markBundled();
      addRate();
      kept.push_back(event);
    } else {
      int32_t comparisonDay = aggregates ? aggregates->lastBundledDay() : 0;
      if (comparisonDay == 0) {
        comparisonDay = samplingDay(MSRPBMessageGetInt64(event.get(), kEventPreviousTimestamp), offsetMinutes);
      }
      if (comparisonDay != day) {
        markBundled();
        addRate();
        if (!addIntParameter(*event, "_efs", 1)) {
          log->logWithLevel(2, 23158, "Failed to create exempt from sampling parameter");
        }
        if (aggregates) aggregates->setLastExemptFromSampling(true);
        kept.push_back(event);
      } else if (auto id = findParameter(parametersOf(*event), "_eid"); id && aggregates) {
        aggregates->setLastSampledComplexEventID(MSRPBMessageGetInt64(id.get(), kParamInt));
      }
    }
    if (aggregates) aggregates->setLastSamplingRate(rate);
  }

  for (const auto& name : touched) {
    const auto& cached = cache[name];
    if (!cached) continue;
    auto stored = database->eventAggregatesWithName(name, error);
    if (!stored && !error->domain().empty()) {
      log->logWithLevel(1, 23151, "Unable to query event aggregates to update database. Name, error",
                        MSRLogContext(name), MSRLogContext(*error));
      return std::nullopt;
    }
    // A name the step has not counted has no row to carry the state.
    if (!stored) continue;
    if (cached->lastBundledTimestamp() != 0) stored->setLastBundledTimestamp(cached->lastBundledTimestamp());
    stored->setLastSamplingRate(cached->lastSamplingRate());
    stored->setLastSampledComplexEventID(cached->lastSampledComplexEventID());
    stored->setLastExemptFromSampling(cached->lastExemptFromSampling());
    stored->setLastBundledDay(cached->lastBundledDay());
    if (!database->updateEventAggregates(stored, error)) {
      log->logWithLevel(1, 23152,
                        "Failed to update event aggregates after removing removing events due to sampling. Error",
                        MSRLogContext(*error));
      return std::nullopt;
    }
  }
  return kept;
}

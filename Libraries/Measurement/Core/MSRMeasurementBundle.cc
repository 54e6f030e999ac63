// Bundling raw events on the worker queue: each step reads the oldest
// group of one fingerprint and, in one transaction, counts, limits,
// samples and queues it as one bundle, then deletes its rows.
#include <algorithm>
#include <cmath>
#include <map>

#include "Libraries/Measurement/Core/MSRAEU.h"
#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"
#include "Libraries/Measurement/Core/MSRError.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRNumericUtil.h"
#include "Libraries/Measurement/Reporters/MSRAudience.h"
#include "Libraries/Measurement/Storage/MSRConsentSettingsUtil.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Date.h"

namespace {

// Field indexes of the bundle, event and user property messages.
constexpr int32_t kBundleEvents = 1, kBundleUserAttributes = 2, kBundleStart = 4, kBundleEnd = 5,
                  kBundlePreviousStart = 6, kBundlePreviousEnd = 7, kBundleAppID = 14, kBundleSequenceIndex = 24,
                  kBundleMonitoringData = 25, kBundleAudienceResults = 28, kBundleConfigVersion = 34,
                  kBundleExperimentIDs = 37, kBundleSessionStitchingToken = 43;
constexpr int32_t kUserAttributeTimestamp = 0, kUserAttributeName = 1, kUserAttributeString = 2,
                  kUserAttributeInt = 3, kUserAttributeFloat = 4, kUserAttributeDouble = 5;

// The group rule's own bound: the database reads at most this many rows.
constexpr int64_t kMaxRowsPerGroup = 1000;

int64_t milliseconds(double seconds) { return static_cast<int64_t>(std::trunc(seconds * 1000)); }

const MSRValue* parameter(const MSREvent& event, const char* name) {
  auto found = event.parameters().find(name);
  return found == event.parameters().end() ? nullptr : &found->second;
}

bool isFirstRun(const MSREvent& event) { return parameter(event, "_fr") != nullptr; }

// The bytes of a length-delimited field of a small tag holding the text.
size_t encodedStringFieldSize(const std::string& text) {
  size_t length = text.size(), varint = 1;
  while (length >= 0x80) {
    length >>= 7;
    ++varint;
  }
  return 1 + varint + text.size();
}

}  // namespace

std::shared_ptr<MSRAudience> MSRMeasurement::audience() const {
  std::lock_guard lock(componentsMutex_);
  return audience_;
}

bool MSRMeasurement::bundleRawEvents() {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("bundleRawEvents");
  auto database = this->database();
  auto audience = this->audience();
  if (!database || !audience) return false;
  auto config = remoteConfigInstance() ? remoteConfigInstance() : remoteConfig();
  auto log = monitor();
  bool progressed = false;
  bool committed = database->performTransaction([&] {
    ns::Error error;
    std::optional<int64_t> fingerprint = database->nextMetadataFingerprintToProcess(&error);
    if (!fingerprint) {
      if (error.domain().empty()) return true;  // no raw events
      log->logWithLevel(1, 23095, "Unable to fetch next event metadata. Error", MSRLogContext(error));
      return false;
    }
    auto group = rawEventsWithMetadataFingerprint(*fingerprint);
    if (!group) return false;
    if (group->empty()) return true;
    auto bundle = database->queryRawEventsMetadataWithFingerprint(*fingerprint, &error);
    if (!bundle) {
      log->logWithLevel(1, 23098, "Unable to fetch event metadata. Metadata fingerprint, error",
                        MSRLogContext(*fingerprint), MSRLogContext(error));
      return false;
    }
    auto events = processRawEvents(*group, *fingerprint);
    if (!events) return false;
    if (events->empty()) {
      progressed = true;
      return true;
    }
    evaluationTimeFromRawEvents(*events, *bundle);
    MSRAudienceTimestampsCache cache;
    auto counted = eventsAfterUpdatingEventAggregates(*events, &cache);
    if (!counted) return false;

    bool isRealtime = false;
    std::vector<std::shared_ptr<MSRPBEvent>> messages;
    messages.reserve(counted->size());
    for (const auto& event : *counted) {
      isRealtime = isRealtime || event->isRealtime();
      messages.push_back(event->protoEvent());
    }
    if (config->isEventSamplingEnabled() && !log->isDebugModeEnabled()) {
      ns::Error samplingError;
      auto sampled = sampleEvents(messages, &samplingError);
      if (!sampled) return false;
      messages = std::move(*sampled);
    }
    const int64_t lastRowID = group->back()->rowID();
    if (messages.empty()) {
      log->logWithLevel(5, 23159, "No events left after sampling. Dropping bundle");
      if (!deleteRawEventsUpToRowID(lastRowID, *fingerprint)) return false;
      progressed = true;
      return true;
    }
    MSRPBArray array(messages.begin(), messages.end());
    MSRPBMessageSetArray(bundle.get(), kBundleEvents, array);

    double start = group->front()->rawEvent()->timestamp(), end = start;
    for (const auto& raw : *group) {
      start = std::min(start, raw->rawEvent()->timestamp());
      end = std::max(end, raw->rawEvent()->timestamp());
    }
    if (!updateAppMetadataForBundle(*bundle, start, end)) return false;

    auto properties = MSRPBMessageGetArray<MSRPBUserAttribute>(bundle.get(), kBundleUserAttributes);
    for (const auto& element : properties.value_or(MSRPBArray{})) {
      auto property = MSRPBArrayElementMessage<MSRPBUserAttribute>(element);
      if (property && !audience->evaluateFiltersForNanoUserProperty(*property, &cache, start)) return false;
    }
    std::vector<std::shared_ptr<MSRPBAudienceLeafFilterResult>> results;
    if (!audience->resultsForBundling(&results)) {
      log->logWithLevel(1, 23113, "Unable to read audience evaluation results");
      return false;
    }
    if (!results.empty()) {
      MSRPBMessageSetArray(bundle.get(), kBundleAudienceResults, MSRPBArray(results.begin(), results.end()));
    }
    addBundleMetadataIntoBundle(*bundle, start, end);
    if (!config->sessionStitchingTokenFeatureEnabled() || MSRConsentSettingsUtil::isAnalyticsStorageDenied()) {
      MSRPBMessageClearField(bundle.get(), kBundleSessionStitchingToken);
    }
    if (!database->insertBundle(bundle, isRealtime, &error)) {
      log->logWithLevel(1, 23115, "Unable to insert bundle. Error", MSRLogContext(error));
      return false;
    }
    log->logWithLevel(8, 23221, MSRConsentSettingsUtil::description());
    log->logWithLevel(7, 23116, "Bundle added to the upload queue. BundleID, timestamp (ms)",
                      MSRLogContext(MSRPBMessageGetInt32(bundle.get(), kBundleSequenceIndex)),
                      MSRLogContext(milliseconds(end)));
    if (!deleteRawEventsUpToRowID(lastRowID, *fingerprint)) return false;
    progressed = true;
    return true;
  });
  if (!committed || !progressed) return false;
  setSuspendedUploadTimestamp(0);
  return true;
}

// A group is a run of consecutive rows from the oldest raw event, so that
// deleting every row up to its last one deletes exactly the group. Its
// first row always joins: a row that alone reaches the size limit travels
// alone instead of stopping every later bundle behind it.
//
// The rule reads the row's columns only: an event's encoded size is its
// stored message (the event without its name) plus the name's field, so
// each row is decoded once, by the database, and not a second time here.
std::optional<std::vector<std::shared_ptr<MSRRawEventData>>> MSRMeasurement::rawEventsWithMetadataFingerprint(
    int64_t fingerprint) {
  auto database = this->database();
  if (!database) return std::nullopt;
  auto config = remoteConfigInstance() ? remoteConfigInstance() : remoteConfig();
  auto log = monitor();
  const int64_t maxEvents = std::min<int64_t>(config->uploadMaxEventsPerBundle(), kMaxRowsPerGroup);
  const int64_t maxBytes = config->uploadMaxSizeLimitBytes();
  int64_t firstHour = 0, lastRowID = 0, totalBytes = 0;
  size_t accepted = 0;
  auto filter = [&](size_t index, const ns::Dictionary& row) {
    const ns::Value* rowID = row.find("rowid");
    const ns::Value* timestamp = row.find("timestamp");
    const ns::Value* data = row.find("data");
    const ns::Value* name = row.find("name");
    if (!rowID || !timestamp || !timestamp->isNumber() || !data || !data->asData() || !name || !name->isString()) {
      log->logWithLevel(4, 23096, "Failed to filter raw event. Error",
                        MSRLogContext(ns::Error::withDescription(kMSRErrorDomain, 1, "Unable to read the raw event's columns")));
      return false;
    }
    if (static_cast<int64_t>(index) >= maxEvents) return false;
    const int64_t hour = static_cast<int64_t>(std::floor(timestamp->doubleValue())) / 3600;
    if (index == 0) {
      firstHour = hour;
    } else if (hour != firstHour || rowID->integerValue() != lastRowID + 1) {
      return false;
    }
    const int64_t size = static_cast<int64_t>(data->asData()->size() + encodedStringFieldSize(name->stringValue()));
    if (index > 0 && MSRSaturatingAdd(totalBytes, size) >= maxBytes) return false;
    totalBytes = MSRSaturatingAdd(totalBytes, size);
    lastRowID = rowID->integerValue();
    ++accepted;
    return true;
  };
  ns::Error error;
  auto events = database->rawEventsWithMetadataFingerprint(fingerprint, &error, filter);
  if ((!events || events->empty()) && !error.domain().empty()) {
    log->logWithLevel(1, 23097, "Inconsistent state, raw event is expected. Error", MSRLogContext(error));
    return std::nullopt;
  }
  if (events && events->size() < accepted) {
    // The database skipped rows it could not read; they go with the group.
    log->logWithLevel(4, 23096, "Failed to filter raw event. Error", MSRLogContext(error));
  }
  return events;
}

bool MSRMeasurement::deleteRawEventsUpToRowID(int64_t maxRowID, int64_t metadataFingerprint) {
  auto database = this->database();
  auto log = monitor();
  ns::Error error;
  if (!database->deleteRawEventsWithMaxRowID(maxRowID, &error)) {
    log->logWithLevel(1, 23119, "Unable to delete raw events. RowID, error", MSRLogContext(maxRowID),
                      MSRLogContext(error));
    return false;
  }
  auto remaining = database->containsRawEventWithMetadataFingerprint(metadataFingerprint, &error);
  if (!remaining) {
    log->logWithLevel(1, 23120, "Unable to query existence of raw event. Metadata, error",
                      MSRLogContext(metadataFingerprint), MSRLogContext(error));
    return false;
  }
  if (!*remaining && !database->deleteRawEventMetadataWithMetadataFingerprint(metadataFingerprint, &error)) {
    log->logWithLevel(1, 23121, "Unable to delete raw event metadata. Metadata, error",
                      MSRLogContext(metadataFingerprint), MSRLogContext(error));
    return false;
  }
  return true;
}

std::optional<std::vector<std::shared_ptr<MSREvent>>> MSRMeasurement::processRawEvents(
    const std::vector<std::shared_ptr<MSRRawEventData>>& rawEvents, int64_t metadataFingerprint) {
  auto database = this->database();
  if (!database || rawEvents.empty()) return std::nullopt;
  auto config = remoteConfigInstance() ? remoteConfigInstance() : remoteConfig();
  auto log = monitor();
  const bool adImpressionAllowed = config->blocklistInternal() && !config->blocklistPublic();
  const bool removeRedundantEngagement = config->redundantEngagementRemovalEnabled();
  std::vector<std::shared_ptr<MSRRawEventData>> kept;
  for (const auto& raw : rawEvents) {
    const MSREvent& event = *raw->rawEvent();
    const bool isAdImpression = event.name() == "ad_impression";
    bool rejected = config->isEventBlocklisted(event.name()) || (isAdImpression && config->isEventBlocklisted("_ai"));
    if (isAdImpression && adImpressionAllowed) rejected = false;
    if (rejected) {
      log->logWithLevel(4, 23099, "Rejected event. Event name", MSRLogContext(event.name()));
      continue;
    }
    if (removeRedundantEngagement && event.name() == "_e") {
      const MSRValue* firstRun = parameter(event, "_fr");
      if (firstRun && firstRun->isInt64() && firstRun->int64Value() == 1) continue;
    }
    kept.push_back(raw);
  }
  if (kept.empty()) {
    if (!deleteRawEventsUpToRowID(rawEvents.back()->rowID(), metadataFingerprint)) return std::nullopt;
    log->logWithLevel(4, 23100, "Rejected all events.");
    return std::vector<std::shared_ptr<MSREvent>>{};
  }
  ns::Error error;
  auto counts = database->dailyCounts(&error);
  if (!counts) {
    log->logWithLevel(1, 23101, "Failed to query daily event counts. Error", MSRLogContext(error));
    return std::nullopt;
  }
  bool countsChanged = false;
  std::vector<std::shared_ptr<MSREvent>> events;
  events.reserve(kept.size());
  for (auto raw : kept) {
    if (raw->rawEvent()->name() == "ad_impression") raw = internalEventFromPublicEvent(raw);
    if (!raw) continue;
    countsChanged = checkConversion(raw->rawEvent(), *counts) || countsChanged;
    countsChanged = checkRealtime(raw->rawEvent(), *counts) || countsChanged;
    raw = validatePurchaseEvent(raw);
    events.push_back(raw->rawEvent());
  }
  if (countsChanged && !database->updateDailyCounts(counts, &error)) {
    log->logWithLevel(2, 23106, "Failed to update daily event counts. Name, error", MSRLogContext(error));
    return std::nullopt;
  }
  return events;
}

std::shared_ptr<MSRRawEventData> MSRMeasurement::internalEventFromPublicEvent(
    const std::shared_ptr<MSRRawEventData>& rawEvent) {
  const MSREvent& event = *rawEvent->rawEvent();
  if (event.name() != "ad_impression") return rawEvent;
  auto internal = MSREvent::initWithOrigin(event.origin(), false, "_ai", event.timestamp(), event.previousTimestamp(),
                                           event.parameters());
  if (!internal) return rawEvent;
  return MSRRawEventData::initWithRawEvent(internal, rawEvent->rowID(), rawEvent->metadataFingerprint());
}

// Today's count of a counter, which belongs to another day when the
// counted day is not today.
#define MSR_TODAYS(counts, today, counter) ((counts).day() == (today) ? (counts).counter() : 0)

bool MSRMeasurement::checkConversion(const std::shared_ptr<MSREvent>& event, MSRDailyCounts& dailyCounts) {
  auto config = remoteConfigInstance() ? remoteConfigInstance() : remoteConfig();
  if (config->isEventCustomConversion(event->name())) event->setConversion(true);
  if (!event->isConversion() || !MSRIsPublicName(event->name())) return false;
  const int32_t today = currentDay();
  const int32_t limit = config->maxConversionsPerDay();
  if (MSR_TODAYS(dailyCounts, today, conversionsCount) >= limit) {
    event->setConversion(false);
    monitor()->logWithLevel(3, 23102, "Too many conversion events. Not logging event as conversion. Name, limit",
                            MSRLogContext(event->name()), MSRLogContext(static_cast<int64_t>(limit)));
    return false;
  }
  dailyCounts.incrementCountsForCurrentDay(today, false, true);
  dailyCounts.decrementAllEventsCount();
  return true;
}

bool MSRMeasurement::checkRealtime(const std::shared_ptr<MSREvent>& event, MSRDailyCounts& dailyCounts) {
  if (!event->isRealtime() && !event->isConversion()) return false;
  auto config = remoteConfigInstance() ? remoteConfigInstance() : remoteConfig();
  auto log = monitor();
  const std::string& name = event->name();
  const bool capApplies = !log->isDebugModeEnabled() && name != "_iap" && name != "_f" && name != "_fx";
  if (!capApplies) {
    event->setRealtime(true);
    log->logWithLevel(7, 23105,
                      "Event is not subject to real-time event count daily limit. Marking an event as real-time. "
                      "Event name, parameters",
                      MSRLogContext(name));
    return false;
  }
  const int32_t today = currentDay();
  if (MSR_TODAYS(dailyCounts, today, realtimeCount) < config->maxRealtimeEventCountPerDay()) {
    dailyCounts.incrementRealtimeCountsForCurrentDay(today);
    event->setRealtime(true);
    log->logWithLevel(7, 23103,
                      "Event is under real-time event count daily limit. Marking the event as real-time. Event name, "
                      "parameters",
                      MSRLogContext(name));
    return true;
  }
  event->setRealtime(false);
  log->logWithLevel(4, 23104,
                    "Number of real-time events is over the real-time event count daily limit. Event is no longer "
                    "real-time. Event name, parameters",
                    MSRLogContext(name));
  return false;
}

#undef MSR_TODAYS

std::shared_ptr<MSRRawEventData> MSRMeasurement::validatePurchaseEvent(const std::shared_ptr<MSRRawEventData>& rawEvent) {
  const MSREvent& event = *rawEvent->rawEvent();
  if (event.name() != "_iap" || !MSRAEU::isASRS()) return rawEvent;
  MSRValueMap parameters = event.parameters();
  parameters.insert_or_assign("sandbox", MSRValue::initWithInt64(1));
  auto marked = event.copyWithParameters(parameters);
  if (!marked) return rawEvent;
  return MSRRawEventData::initWithRawEvent(marked, rawEvent->rowID(), rawEvent->metadataFingerprint());
}

std::optional<double> MSRMeasurement::evaluationTimeFromRawEvents(const std::vector<std::shared_ptr<MSREvent>>& events,
                                                                  MSRPBMeasurementBundle& bundle) {
  auto database = this->database();
  auto audience = this->audience();
  if (!database || !audience) return std::nullopt;
  auto log = monitor();
  const bool startsSession =
      std::any_of(events.begin(), events.end(), [](const auto& event) { return event->name() == "_s"; });
  ns::Error error;
  if (startsSession) {
    audience->clearEvaluationResultsForSessionScopedFilters();
    auto properties = MSRPBMessageGetArray<MSRPBUserAttribute>(&bundle, kBundleUserAttributes);
    for (const auto& element : properties.value_or(MSRPBArray{})) {
      auto property = MSRPBArrayElementMessage<MSRPBUserAttribute>(element);
      if (property && !audience->evaluateFiltersForNanoUserProperty(*property, nullptr, std::nullopt)) {
        return std::nullopt;
      }
    }
    if (!database->clearCurrentSessionCounts(&error)) {
      log->logWithLevel(1, 23185, "Failed to clear event session counts. Error", MSRLogContext(error));
      return std::nullopt;
    }
  }
  int64_t total = 0;
  for (const auto& event : events) {
    const MSRValue* engagement = parameter(*event, "_et");
    if (!engagement || isFirstRun(*event)) continue;
    if (!engagement->isInt64()) {
      log->logWithLevel(1, 23165, "User engagement event doesn't contain any user engagement time");
      continue;
    }
    total = MSRSaturatingAdd(total, engagement->int64Value());
  }
  if (!updateUserEngagement(total, bundle, false)) return std::nullopt;
  if (startsSession && !database->deleteUserAttributeWithName("_se", &error)) {
    log->logWithLevel(1, 23188, "Unable to delete session engagement property on session start. Error",
                      MSRLogContext(error));
    return std::nullopt;
  }
  updateUserEngagement(total, bundle, true);
  return std::nullopt;
}

bool MSRMeasurement::updateUserEngagement(int64_t milliseconds, MSRPBMeasurementBundle& bundle, bool sessionScoped) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("updateUserEngagement");
  auto log = monitor();
  if (milliseconds < 0) {
    log->logWithLevel(2, 23186, "User engagement time is negative.");
    return false;
  }
  if (milliseconds == 0) return true;
  auto database = this->database();
  if (!database) return false;
  const std::string name = sessionScoped ? "_se" : "_lte";
  ns::Error error;
  auto stored = database->userAttributeWithName(name, &error);
  if (!stored && !error.domain().empty()) {
    log->logWithLevel(1, 23187, "Failed to query for user engagement user property. Name, error", MSRLogContext(name),
                      MSRLogContext(error));
    return false;
  }
  int64_t value = stored && stored->value().isInt64() ? MSRSaturatingAdd(stored->value().int64Value(), milliseconds)
                                                      : milliseconds;
  double now = ns::Date::now().timeIntervalSince1970();
  auto attribute = MSRUserAttribute::initWithOrigin("auto", name, MSRValue::initWithInt64(value), now);
  if (!attribute || setUserPropertyInDatabaseOnWorkerQueue(attribute) == 0) return false;

  MSRPBArray properties = MSRPBMessageGetArray<MSRPBUserAttribute>(&bundle, kBundleUserAttributes).value_or(MSRPBArray{});
  bool replaced = false;
  for (auto& element : properties) {
    auto property = MSRPBArrayElementMessage<MSRPBUserAttribute>(element);
    if (!property || MSRPBMessageGetString(property.get(), kUserAttributeName) != name) continue;
    MSRPBMessageClearField(property.get(), kUserAttributeString);
    MSRPBMessageClearField(property.get(), kUserAttributeFloat);
    MSRPBMessageClearField(property.get(), kUserAttributeDouble);
    MSRPBMessageSetInt64(property.get(), kUserAttributeInt, value);
    MSRPBMessageSetInt64(property.get(), kUserAttributeTimestamp, ::milliseconds(now));
    replaced = true;
  }
  if (!replaced) properties.push_back(std::shared_ptr<NANOMessageBase>(attribute->protoUserAttribute()));
  MSRPBMessageSetArray(&bundle, kBundleUserAttributes, properties);
  return true;
}

// Each name's aggregates are read once and written once per group, after
// its last event: the stored result is that of counting event by event,
// without a read and a write for every event of a common name.
std::optional<std::vector<std::shared_ptr<MSREvent>>> MSRMeasurement::eventsAfterUpdatingEventAggregates(
    const std::vector<std::shared_ptr<MSREvent>>& events, MSRAudienceTimestampsCache* audienceTimestampsCache) {
  auto database = this->database();
  auto audience = this->audience();
  if (!database || !audience) return std::nullopt;
  auto log = monitor();
  std::vector<std::shared_ptr<MSREvent>> out;
  out.reserve(events.size());
  std::map<std::string, std::shared_ptr<MSREventAggregates>> counted;
  std::vector<std::shared_ptr<MSREventAggregates>> toStore;  // in order of first appearance
  for (auto event : events) {
    std::shared_ptr<MSREventAggregates>& aggregates = counted[event->name()];
    if (!aggregates) {
      ns::Error error;
      auto stored = database->eventAggregatesWithName(event->name(), &error);
      if (!stored && !error.domain().empty()) {
        log->logWithLevel(1, 23107, "Failed to query event aggregates. Name, error", MSRLogContext(event->name()),
                          MSRLogContext(error));
        return std::nullopt;
      }
      if (stored) {
        aggregates = stored;
      } else {
        aggregates = MSREventAggregates::initWithName(event->name(), 0, 0, 0, event->timestamp());
        if (!aggregates) return std::nullopt;
        // Its first event has no previous one.
        aggregates->setLastFireTimestamp(event->previousTimestamp());
      }
      toStore.push_back(aggregates);
    }
    if (aggregates->lastFireTimestamp() != event->previousTimestamp()) {
      if (auto copy = event->copyWithPreviousTimestamp(aggregates->lastFireTimestamp())) event = copy;
    }
    aggregates->incrementCurrentBundleCount();
    aggregates->incrementLifetimeCount();
    aggregates->incrementCurrentSessionCount();
    aggregates->setLastFireTimestamp(event->timestamp());
    if (!audience->evaluateFiltersForEvent(event, aggregates, audienceTimestampsCache)) return std::nullopt;
    out.push_back(std::move(event));
  }
  for (const auto& aggregates : toStore) {
    ns::Error error;
    if (!database->updateEventAggregates(aggregates, &error)) {
      log->logWithLevel(1, 23108, "Failed to update event aggregates. Error", MSRLogContext(error));
      return std::nullopt;
    }
  }
  return out;
}

bool MSRMeasurement::updateAppMetadataForBundle(MSRPBMeasurementBundle& bundle, double bundleStartTimestamp,
                                                double bundleEndTimestamp) {
  auto database = this->database();
  if (!database) return false;
  auto log = monitor();
  ns::Error error;
  auto metadata = database->queryAppMetadata(&error);
  if (!metadata) {
    log->logWithLevel(1, 23111, "Unable to fetch app metadata for bundling events. Error", MSRLogContext(error));
    return false;
  }
  const double lastStart = metadata->lastBundleStartTimestamp(), lastEnd = metadata->lastBundleEndTimestamp();
  if (lastEnd > 0) MSRPBMessageSetInt64(&bundle, kBundlePreviousEnd, milliseconds(lastEnd));
  if (lastStart > 0) {
    MSRPBMessageSetInt64(&bundle, kBundlePreviousStart, milliseconds(lastStart));
  } else if (lastEnd > 0) {
    MSRPBMessageSetInt64(&bundle, kBundlePreviousStart, milliseconds(lastEnd));
  }
  metadata->incrementLastBundleIndex();
  metadata->setLastBundleStartTimestamp(bundleStartTimestamp);
  metadata->setLastBundleEndTimestamp(bundleEndTimestamp);
  MSRPBMessageSetInt32(&bundle, kBundleSequenceIndex, metadata->lastBundleIndex());
  if (!database->updateAppMetadata(metadata, &error)) {
    log->logWithLevel(1, 23112, "Unable to update the app metadata. Error", MSRLogContext(error));
    return false;
  }
  return true;
}

void MSRMeasurement::addBundleMetadataIntoBundle(MSRPBMeasurementBundle& bundle, double bundleStartTimestamp,
                                                 double bundleEndTimestamp) {
  auto config = remoteConfigInstance() ? remoteConfigInstance() : remoteConfig();
  std::vector<int64_t> experiments = config->experimentIDs();
  if (!experiments.empty()) {
    MSRPBArray ids;
    for (int64_t id : experiments) ids.emplace_back(ns::Value(id));
    MSRPBMessageSetArray(&bundle, kBundleExperimentIDs, ids);
  }
  if (persistedConfig_) {
    auto data = monitor()->monitoringDataForDispatchWithSamplePeriod(
        config->monitoringSamplePeriod(), persistedConfig_->lastMonitorDataSampledTimestamp());
    if (data && !data->empty()) {
      MSRPBMessageSetString(&bundle, kBundleMonitoringData, *data);
      persistedConfig_->setLastMonitorDataSampledTimestamp(ns::Date::now().timeIntervalSince1970());
    }
  }
  if (config->version() >= 0) MSRPBMessageSetInt64(&bundle, kBundleConfigVersion, config->version());
  auto appID = MSRPBMessageGetString(&bundle, kBundleAppID);
  if (!appID || appID->empty()) {
    std::optional<std::string> fallback;
    if (auto identity = this->identity()) fallback = identity->appID();
    if (!fallback || fallback->empty()) fallback = ns::Bundle::mainBundle()->bundleIdentifier();
    if (fallback) MSRPBMessageSetString(&bundle, kBundleAppID, *fallback);
  }
  MSRPBMessageSetInt64(&bundle, kBundleStart, milliseconds(bundleStartTimestamp));
  MSRPBMessageSetInt64(&bundle, kBundleEnd, milliseconds(bundleEndTimestamp));
}

// For tests, test children and benchmarks: the two multi-step changes the
// measurement core makes to its database, each in one transaction, until
// the core's own code makes them.
//
// Storing an event: its aggregates counted, the metadata stored under its
// fingerprint, room made under the stored-events limit, the raw row.
// Bundling: the oldest fingerprint's run of consecutive raw events (at
// most 1,000) read, gathered with their metadata in one bundle that is
// queued, their rows deleted (and the metadata once unused), the bundle
// sequence advanced.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Libraries/Measurement/Core/MSRNSDataAdditions.h"
#include "Libraries/Measurement/Storage/MSRDatabase.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace msr_testing {

// Field indexes of the bundle message.
inline constexpr int32_t kBundleEvents = 1, kBundleStart = 4, kBundleEnd = 5, kBundleAppID = 14,
                         kBundleSequenceIndex = 24;

inline int64_t metadataFingerprint(const MSRPBMeasurementBundle& metadata) {
  return msr_64LSBMD5(metadata.protoBuffer().value_or(ns::Data{}));
}

// The steps of storing one event, inside the caller's transaction.
inline bool writeEventAsTheCore(MSRDatabase& database, const std::shared_ptr<MSREvent>& event,
                                const std::shared_ptr<MSRPBMeasurementBundle>& metadata, bool isRealtime,
                                ns::Error* error) {
  auto aggregates = database.eventAggregatesWithName(event->name(), error);
  if (!aggregates) aggregates = MSREventAggregates::initWithName(event->name(), 0, 0, 0, event->timestamp());
  aggregates->incrementCurrentBundleCount();
  aggregates->incrementCurrentSessionCount();
  aggregates->setLastFireTimestamp(event->timestamp());
  if (!database.updateEventAggregates(aggregates, error)) return false;
  if (!database.insertIfNotExistsRawEventMetadata(metadata, error)) return false;
  if (!database.deleteRawEventsOverAbsoluteLimit(error)) return false;
  return database.insertRawEvent(event, metadataFingerprint(*metadata), isRealtime, error);
}

// One transaction; false when it was rolled back.
inline bool storeEventAsTheCore(MSRDatabase& database, const std::shared_ptr<MSREvent>& event,
                                const std::shared_ptr<MSRPBMeasurementBundle>& metadata, bool isRealtime,
                                ns::Error* error) {
  return database.performTransaction([&] { return writeEventAsTheCore(database, event, metadata, isRealtime, error); });
}

// One transaction; the number of events bundled (0 when there were none),
// none when it was rolled back.
inline std::optional<size_t> bundleOldestEventsAsTheCore(MSRDatabase& database, const std::string& appID,
                                                         ns::Error* error) {
  ns::Error ownError;
  if (!error) error = &ownError;
  size_t bundled = 0;
  bool committed = database.performTransaction([&] {
    std::optional<int64_t> fingerprint = database.nextMetadataFingerprintToProcess(error);
    if (!fingerprint) return error->domain().empty();
    // A run of consecutive row ids from the oldest raw event, so that every
    // row up to the run's end belongs to it.
    std::optional<int64_t> first;
    auto consecutive = [&first](size_t index, const ns::Dictionary& row) {
      const ns::Value* id = row.find("rowid");
      if (!id) return false;
      if (!first) first = id->integerValue();
      return id->integerValue() == *first + static_cast<int64_t>(index);
    };
    auto events = database.rawEventsWithMetadataFingerprint(*fingerprint, error, consecutive);
    if (!events || events->empty()) return false;
    auto bundle = database.queryRawEventsMetadataWithFingerprint(*fingerprint, error);
    auto sequence = database.queryAppMetadata(error);
    if (!bundle || !sequence) return false;
    MSRPBArray messages;
    for (const auto& event : *events) {
      messages.push_back(std::shared_ptr<NANOMessageBase>(event->rawEvent()->protoEvent()));
    }
    MSRPBMessageSetArray(bundle.get(), kBundleEvents, messages);
    double start = events->front()->rawEvent()->timestamp(), end = events->back()->rawEvent()->timestamp();
    sequence->incrementLastBundleIndex();
    sequence->setLastBundleStartTimestamp(start);
    sequence->setLastBundleEndTimestamp(end);
    if (!database.updateAppMetadata(sequence, error)) return false;
    MSRPBMessageSetInt32(bundle.get(), kBundleSequenceIndex, sequence->lastBundleIndex());
    MSRPBMessageSetInt64(bundle.get(), kBundleStart, static_cast<int64_t>(std::trunc(start * 1000)));
    MSRPBMessageSetInt64(bundle.get(), kBundleEnd, static_cast<int64_t>(std::trunc(end * 1000)));
    MSRPBMessageSetString(bundle.get(), kBundleAppID, appID);
    if (!database.insertBundle(bundle, false, error)) return false;
    if (!database.deleteRawEventsWithMaxRowID(events->back()->rowID(), error)) return false;
    auto remaining = database.containsRawEventWithMetadataFingerprint(*fingerprint, error);
    if (!remaining) return false;
    if (!*remaining && !database.deleteRawEventMetadataWithMetadataFingerprint(*fingerprint, error)) return false;
    bundled = events->size();
    return true;
  });
  if (!committed) return std::nullopt;
  return bundled;
}

}  // namespace msr_testing

// The client metrics' records: the per-log-source table of dropped events,
// the persisted counting window (ZTCORMetricsMetadata, kept by the store as
// "metrics_metadata") and one report (ZTCORMetrics), whose transport bytes
// are the ClientMetrics message (ClientMetrics.proto).
//
// All three are immutable values.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "Libraries/EventTransport/ZTCOREvent.h"
#include "Libraries/EventTransport/ZTCOREventDataObject.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/KeyedArchiveCoding.h"
#include "Platform/Foundation/KeyedUnarchiver.h"

// Drop reasons the transport counts.
inline constexpr int64_t kZTCORDropReasonExpired = 1;      // the store's expiry sweep removed the event
inline constexpr int64_t kZTCORDropReasonStoreFull = 2;    // the store refused it
inline constexpr int64_t kZTCORDropReasonServerRejected = 5;  // the server answered the upload with 400

// Log source (mapping ID) -> reason -> count.
using ZTCORDroppedEventCounts = std::map<std::string, std::map<int64_t, int64_t>>;

class ZTCORLogSourceMetrics : public ns::Coding {
 public:
  static constexpr const char* kClassName = "ZTCORLogSourceMetrics";
  static constexpr const char* kCountsKey = "droppedEventCounterByLogSource";

  static std::shared_ptr<ZTCORLogSourceMetrics> metrics();
  // One count per event with a mapping ID; events without one are not counted.
  template <class Events>
  static std::shared_ptr<ZTCORLogSourceMetrics> metricsWithEvents(const Events& events, int64_t reason) {
    ZTCORDroppedEventCounts counts;
    for (const auto& event : events) {
      if (event && !event->mappingID().empty()) counts[event->mappingID()][reason] += 1;
    }
    return std::make_shared<ZTCORLogSourceMetrics>(std::move(counts));
  }
  // Counts of both, added reason by reason.
  std::shared_ptr<ZTCORLogSourceMetrics> logSourceMetricsByMergingWithLogSourceMetrics(
      const ZTCORLogSourceMetrics& other) const;

  explicit ZTCORLogSourceMetrics(ZTCORDroppedEventCounts counts) : counts_(std::move(counts)) {}
  const ZTCORDroppedEventCounts& droppedEventCounterByLogSource() const { return counts_; }

  bool operator==(const ZTCORLogSourceMetrics& other) const { return counts_ == other.counts_; }
  size_t hash() const;
  std::string description() const;

  // Archived as a dictionary of dictionaries; reasons are its keys, as text.
  std::string className() const override { return kClassName; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override;
  static std::shared_ptr<ns::Coding> initWithCoder(ns::KeyedUnarchiver& coder);

 private:
  ZTCORDroppedEventCounts counts_;
};

class ZTCORMetricsMetadata : public ns::Coding {
 public:
  static constexpr const char* kClassName = "ZTCORMetricsMetadata";
  static constexpr const char* kStartDateKey = "collectionStartDate";
  static constexpr const char* kLogSourceMetricsKey = "logSourceMetrics";

  static std::shared_ptr<ZTCORMetricsMetadata> metadataWithCollectionStartDate(
      ns::Date start, std::shared_ptr<ZTCORLogSourceMetrics> logSourceMetrics);

  ZTCORMetricsMetadata(ns::Date start, std::shared_ptr<ZTCORLogSourceMetrics> logSourceMetrics)
      : collectionStartDate_(start), logSourceMetrics_(std::move(logSourceMetrics)) {}
  ns::Date collectionStartDate() const { return collectionStartDate_; }
  const std::shared_ptr<ZTCORLogSourceMetrics>& logSourceMetrics() const { return logSourceMetrics_; }

  bool operator==(const ZTCORMetricsMetadata& other) const;
  size_t hash() const;
  std::string description() const;

  std::string className() const override { return kClassName; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override;
  // Null unless both fields are present with their classes.
  static std::shared_ptr<ns::Coding> initWithCoder(ns::KeyedUnarchiver& coder);

 private:
  ns::Date collectionStartDate_;
  std::shared_ptr<ZTCORLogSourceMetrics> logSourceMetrics_;
};

class ZTCORStorageMetadata;

class ZTCORMetrics : public ZTCOREventDataObject {
 public:
  // Ends the window now; the bundle ID is the main bundle's (empty when none).
  static std::shared_ptr<ZTCORMetrics> metricsWithMetricsMetadata(const ZTCORMetricsMetadata& metadata,
                                                                  const ZTCORStorageMetadata& storageMetadata);

  ZTCORMetrics(ns::Date start, ns::Date end, std::shared_ptr<ZTCORLogSourceMetrics> logSourceMetrics,
               uint64_t currentCacheSize, uint64_t maxCacheSize, std::string bundleID)
      : collectionStartDate_(start),
        collectionEndDate_(end),
        logSourceMetrics_(std::move(logSourceMetrics)),
        currentCacheSize_(currentCacheSize),
        maxCacheSize_(maxCacheSize),
        bundleID_(std::move(bundleID)) {}

  ns::Date collectionStartDate() const { return collectionStartDate_; }
  ns::Date collectionEndDate() const { return collectionEndDate_; }
  const std::shared_ptr<ZTCORLogSourceMetrics>& logSourceMetrics() const { return logSourceMetrics_; }
  uint64_t currentCacheSize() const { return currentCacheSize_; }
  uint64_t maxCacheSize() const { return maxCacheSize_; }
  const std::string& bundleID() const { return bundleID_; }

  bool operator==(const ZTCORMetrics& other) const;
  size_t hash() const;
  std::string description() const;

  // The ClientMetrics message (ZTCORMetricsEncoding.cc); empty when it
  // cannot be encoded (logged).
  ns::Data transportBytes() const override;

 private:
  ns::Date collectionStartDate_;
  ns::Date collectionEndDate_;
  std::shared_ptr<ZTCORLogSourceMetrics> logSourceMetrics_;
  uint64_t currentCacheSize_;
  uint64_t maxCacheSize_;
  std::string bundleID_;
};

// The unit of work of the transport: one event for one mapping ID and one
// upload target, carrying its payload's bytes, its tier, the clocks at
// sending and optional side data ("custom bytes", a JSON object).
//
// An event is a plain value object without locks: built on the caller's
// thread, then handed from queue to queue, never touched by two at once.
//
// Equality compares the fields that identify an event (ID, mapping ID,
// target, tier, clock snapshot and payload bytes) one by one; the hash only
// buckets. A batch gathers its events in a ZTCOREventSet, so two different
// events can never collapse into one there.
//
// Archive (secure keyed archive, keys in this order): "ZTCOREventEventIDKey",
// "ZTCOREventMappingIDKey", "ZTCOREventTargetKey", "ZTCOREventQoSTierKey",
// "ZTCOREventClockSnapshotKey", "ZTCOREventCustomDataKey",
// "ZTCOREventExpirationDateKey", "ZTCOREventSerializedDataObjectBytesKey".
// The data object itself is not archived, only its bytes; an archive
// without them does not decode.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>

#include "Libraries/EventTransport/ZTCORClock.h"
#include "Libraries/EventTransport/ZTCOREventDataObject.h"
#include "Libraries/EventTransport/ZTCORTargets.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/KeyedArchiveCoding.h"
#include "Platform/Foundation/KeyedUnarchiver.h"

inline constexpr const char* kZTCOREventEventIDKey = "ZTCOREventEventIDKey";
inline constexpr const char* kZTCOREventMappingIDKey = "ZTCOREventMappingIDKey";
inline constexpr const char* kZTCOREventTargetKey = "ZTCOREventTargetKey";
inline constexpr const char* kZTCOREventQoSTierKey = "ZTCOREventQoSTierKey";
inline constexpr const char* kZTCOREventClockSnapshotKey = "ZTCOREventClockSnapshotKey";
inline constexpr const char* kZTCOREventCustomDataKey = "ZTCOREventCustomDataKey";
inline constexpr const char* kZTCOREventExpirationDateKey = "ZTCOREventExpirationDateKey";
inline constexpr const char* kZTCOREventSerializedDataObjectBytesKey = "ZTCOREventSerializedDataObjectBytesKey";

// Seven days: how long an event waits on the device for its upload.
inline constexpr double kZTCOREventLifetimeSeconds = 604800;

class ZTCOREvent : public ns::Coding {
 public:
  static constexpr const char* kClassName = "ZTCOREvent";

  // A fresh random UUID, upper case, without its "-".
  static std::string nextEventID();

  // Null for an empty mapping ID or a target below 1. Tier 3, a new ID, and
  // an expiration seven days from now.
  static std::shared_ptr<ZTCOREvent> initWithMappingID(const std::string& mappingID, ZTCORUploadTargetID target);
  // The client-metrics event of a target: mapping ID "1710", the record as payload.
  static std::shared_ptr<ZTCOREvent> eventWithMetrics(std::shared_ptr<ZTCOREventDataObject> metrics,
                                                      ZTCORUploadTargetID target);

  const std::string& eventID() const { return eventID_; }
  void setEventID(std::string eventID) { eventID_ = std::move(eventID); }
  const std::string& mappingID() const { return mappingID_; }
  ZTCORUploadTargetID target() const { return target_; }

  const std::shared_ptr<ZTCOREventDataObject>& dataObject() const { return dataObject_; }
  // Keeps the object and, in every case, takes its bytes anew (none for null).
  void setDataObject(std::shared_ptr<ZTCOREventDataObject> dataObject);
  const std::optional<ns::Data>& serializedDataObjectBytes() const { return serializedDataObjectBytes_; }

  ZTCOREventQoSTier qosTier() const { return qosTier_; }
  void setQosTier(ZTCOREventQoSTier tier) { qosTier_ = tier; }
  const std::shared_ptr<ZTCORClock>& clockSnapshot() const { return clockSnapshot_; }
  void setClockSnapshot(std::shared_ptr<ZTCORClock> clock) { clockSnapshot_ = std::move(clock); }
  const std::optional<ns::Date>& expirationDate() const { return expirationDate_; }
  void setExpirationDate(std::optional<ns::Date> date) { expirationDate_ = date; }
  const std::optional<ns::Data>& customBytes() const { return customBytes_; }
  void setCustomBytes(std::optional<ns::Data> bytes) { customBytes_ = std::move(bytes); }

  // The three values kept inside the custom bytes (ZTCOREventCustomBytes.cc).
  bool needsNetworkConnectionInfoPopulated() const;
  void setNeedsNetworkConnectionInfoPopulated(bool needed);
  std::optional<ns::Data> networkConnectionInfoData() const;
  void setNetworkConnectionInfoData(const std::optional<ns::Data>& data);
  std::optional<int64_t> eventCode() const;
  void setEventCode(std::optional<int64_t> code);

  // Same ID, payload, tier, clock and custom bytes; its own expiration date.
  std::shared_ptr<ZTCOREvent> copy() const;

  size_t hash() const;
  bool isEqual(const ZTCOREvent& other) const;
  bool operator==(const ZTCOREvent& other) const { return isEqual(other); }

  std::string className() const override { return kClassName; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override;
  static std::shared_ptr<ns::Coding> initWithCoder(ns::KeyedUnarchiver& coder);

  std::string description() const;

  ZTCOREvent(std::string eventID, std::string mappingID, ZTCORUploadTargetID target);

 private:
  std::string eventID_;
  std::string mappingID_;
  ZTCORUploadTargetID target_;
  std::shared_ptr<ZTCOREventDataObject> dataObject_;
  std::optional<ns::Data> serializedDataObjectBytes_;
  ZTCOREventQoSTier qosTier_ = ZTCOREventQosDefault;
  std::shared_ptr<ZTCORClock> clockSnapshot_;
  std::optional<ns::Date> expirationDate_;
  std::optional<ns::Data> customBytes_;
};

// Events by value: what a batch holds.
struct ZTCOREventHash {
  size_t operator()(const std::shared_ptr<ZTCOREvent>& event) const { return event ? event->hash() : 0; }
};
struct ZTCOREventEqual {
  bool operator()(const std::shared_ptr<ZTCOREvent>& a, const std::shared_ptr<ZTCOREvent>& b) const {
    return a && b ? a->isEqual(*b) : a == b;
  }
};
using ZTCOREventSet = std::unordered_set<std::shared_ptr<ZTCOREvent>, ZTCOREventHash, ZTCOREventEqual>;

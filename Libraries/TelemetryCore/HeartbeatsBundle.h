// The stored record of one app ID's heartbeats: at most `capacity` (30) of
// them in a ring buffer, and per period the date of the last one added, so
// that a day is recorded once even after the buffer was drained.
//
// Stored as JSON (the heartbeat storage file), an object with the keys
//   "capacity"                 integer, the slot count
//   "lastAddedHeartbeatDates"  flat array of period and date pairs:
//                              [1, 657417600, ...] (1 is daily)
//   "buffer"                   {"circularQueue": [slot, ...], "tailIndex": n}
// where a slot is null (empty) or {"agent": text, "date": d, "version": 0,
// "timePeriods": [1]}, and every date d is a number: seconds since
// 2001-01-01 00:00:00 GMT. Later launches read these files: the format
// stays. A file that does not have this shape, names an unknown period, or
// whose capacity is not its number of slots reads as no bundle.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "Libraries/TelemetryCore/Heartbeat.h"
#include "Libraries/TelemetryCore/HeartbeatsPayload.h"
#include "Libraries/TelemetryCore/RingBuffer.h"
#include "Platform/Foundation/Value.h"

namespace zovcore {

struct HeartbeatsBundle {
  static constexpr int64_t kDefaultCapacity = 30;

  // `capacity` empty slots; the daily period last added in the distant past.
  explicit HeartbeatsBundle(int64_t capacity = kDefaultCapacity);

  int64_t capacity;
  std::map<TimePeriod, ns::Date> lastAddedHeartbeatDates;
  RingBuffer<Heartbeat> buffer;

  // Adds a heartbeat (see the header comment of RingBuffer): an overwritten
  // heartbeat's date no longer counts as the last added; a damaged tail
  // starts the bundle afresh with a diagnostic heartbeat whose agent names
  // the error ("<agent> error/Out-of-bounds-push-at-...").
  void append(const Heartbeat& heartbeat);
  // Takes out the heartbeat of `date`, if any, keeping the others' order.
  std::optional<Heartbeat> removeHeartbeat(ns::Date date);
  // One entry per agent with its dates in slot order, sorted by agent.
  HeartbeatsPayload makeHeartbeatsPayload() const;

  bool operator==(const HeartbeatsBundle&) const = default;
};

// The JSON above. Encoding cannot fail (text that is not UTF-8 is written
// with replacement characters).
ns::Data encodeHeartbeatsBundle(const HeartbeatsBundle& bundle);
// Nothing for bytes that are not such a document.
std::optional<HeartbeatsBundle> decodeHeartbeatsBundle(const ns::Data& data);

}  // namespace zovcore

#include "Libraries/TelemetryCore/HeartbeatsBundle.h"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace zovcore {

HeartbeatsBundle::HeartbeatsBundle(int64_t capacity)
    : capacity(capacity), lastAddedHeartbeatDates{{TimePeriod::daily, ns::Date::distantPast()}}, buffer(capacity) {}

void HeartbeatsBundle::append(const Heartbeat& heartbeat) {
  if (capacity < 1) return;
  std::optional<RingBufferError> error;
  std::optional<Heartbeat> overwritten = buffer.push(heartbeat, &error);
  if (!error) {
    if (overwritten) {
      for (auto& [period, date] : lastAddedHeartbeatDates) {
        if (date == overwritten->date) date = ns::Date::distantPast();
      }
    }
    for (TimePeriod period : heartbeat.timePeriods) lastAddedHeartbeatDates[period] = heartbeat.date;
    return;
  }
  // A damaged tail: start afresh and say why in the heartbeat's agent.
  *this = HeartbeatsBundle(capacity);
  std::string description = error->description();
  std::replace(description.begin(), description.end(), ' ', '-');
  Heartbeat diagnostic{heartbeat.agent + " error/" + description, heartbeat.date, 0, heartbeat.timePeriods};
  std::optional<RingBufferError> again;
  buffer.push(diagnostic, &again);
  if (!again) {
    for (TimePeriod period : diagnostic.timePeriods) lastAddedHeartbeatDates[period] = diagnostic.date;
  }
}

// Popping walks back from the newest; the heartbeats popped on the way are
// pushed back oldest first from where popping stopped, so they keep their
// order (one slot earlier when popping ended at an empty slot).
std::optional<Heartbeat> HeartbeatsBundle::removeHeartbeat(ns::Date date) {
  std::vector<Heartbeat> popped;
  std::optional<Heartbeat> removed;
  while (std::optional<Heartbeat> heartbeat = buffer.pop()) {
    if (heartbeat->date == date) {
      removed = std::move(heartbeat);
      break;
    }
    popped.push_back(std::move(*heartbeat));
  }
  for (auto it = popped.rbegin(); it != popped.rend(); ++it) buffer.push(*it);
  return removed;
}

HeartbeatsPayload HeartbeatsBundle::makeHeartbeatsPayload() const {
  HeartbeatsPayload payload;
  for (const Heartbeat& heartbeat : buffer.elements()) {
    auto same = std::find_if(payload.userAgentPayloads.begin(), payload.userAgentPayloads.end(),
                             [&](const UserAgentPayload& p) { return p.agent == heartbeat.agent; });
    if (same == payload.userAgentPayloads.end()) {
      payload.userAgentPayloads.push_back({heartbeat.agent, {heartbeat.date}});
    } else {
      same->dates.push_back(heartbeat.date);
    }
  }
  std::stable_sort(payload.userAgentPayloads.begin(), payload.userAgentPayloads.end(),
                   [](const UserAgentPayload& a, const UserAgentPayload& b) { return a.agent < b.agent; });
  return payload;
}

namespace {

using nlohmann::json;

json encodeHeartbeat(const Heartbeat& heartbeat) {
  json periods = json::array();
  for (TimePeriod period : heartbeat.timePeriods) periods.push_back(static_cast<int64_t>(period));
  return {{"agent", heartbeat.agent},
          {"date", heartbeat.date.timeIntervalSinceReferenceDate()},
          {"version", heartbeat.version},
          {"timePeriods", std::move(periods)}};
}

std::optional<int64_t> integer(const json& value) {
  if (!value.is_number_integer()) return std::nullopt;
  return value.get<int64_t>();
}

std::optional<ns::Date> date(const json& value) {
  if (!value.is_number()) return std::nullopt;
  return ns::Date(value.get<double>());
}

std::optional<TimePeriod> period(const json& value) {
  std::optional<int64_t> raw = integer(value);
  return raw ? timePeriodFromRawValue(*raw) : std::nullopt;
}

const json* member(const json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

std::optional<Heartbeat> decodeHeartbeat(const json& value) {
  const json* agent = member(value, "agent");
  const json* when = member(value, "date");
  const json* version = member(value, "version");
  const json* periods = member(value, "timePeriods");
  if (!agent || !agent->is_string() || !when || !version || !periods || !periods->is_array()) return std::nullopt;
  Heartbeat heartbeat;
  heartbeat.agent = agent->get<std::string>();
  std::optional<ns::Date> d = date(*when);
  std::optional<int64_t> v = integer(*version);
  if (!d || !v) return std::nullopt;
  heartbeat.date = *d;
  heartbeat.version = *v;
  for (const json& raw : *periods) {
    std::optional<TimePeriod> p = period(raw);
    if (!p) return std::nullopt;
    heartbeat.timePeriods.push_back(*p);
  }
  return heartbeat;
}

}  // namespace

ns::Data encodeHeartbeatsBundle(const HeartbeatsBundle& bundle) {
  json lastAdded = json::array();
  for (const auto& [period, when] : bundle.lastAddedHeartbeatDates) {
    lastAdded.push_back(static_cast<int64_t>(period));
    lastAdded.push_back(when.timeIntervalSinceReferenceDate());
  }
  json slots = json::array();
  for (const auto& slot : bundle.buffer.circularQueue()) slots.push_back(slot ? encodeHeartbeat(*slot) : json());
  json document = {{"capacity", bundle.capacity},
                   {"lastAddedHeartbeatDates", std::move(lastAdded)},
                   {"buffer", {{"circularQueue", std::move(slots)}, {"tailIndex", bundle.buffer.tailIndex()}}}};
  std::string text = document.dump(-1, ' ', false, json::error_handler_t::replace);
  return ns::Data(text.begin(), text.end());
}

std::optional<HeartbeatsBundle> decodeHeartbeatsBundle(const ns::Data& data) {
  json document = json::parse(data.begin(), data.end(), nullptr, false);
  if (document.is_discarded()) return std::nullopt;
  const json* capacity = member(document, "capacity");
  const json* lastAdded = member(document, "lastAddedHeartbeatDates");
  const json* buffer = member(document, "buffer");
  const json* slots = buffer ? member(*buffer, "circularQueue") : nullptr;
  const json* tail = buffer ? member(*buffer, "tailIndex") : nullptr;
  if (!capacity || !lastAdded || !lastAdded->is_array() || lastAdded->size() % 2 != 0 || !slots ||
      !slots->is_array() || !tail) {
    return std::nullopt;
  }
  std::optional<int64_t> slotCount = integer(*capacity);
  std::optional<int64_t> tailIndex = integer(*tail);
  // A capacity other than the number of slots would size a fresh buffer
  // from an untrusted number.
  if (!slotCount || !tailIndex || *slotCount != static_cast<int64_t>(slots->size())) return std::nullopt;

  std::map<TimePeriod, ns::Date> dates;
  for (size_t i = 0; i < lastAdded->size(); i += 2) {
    std::optional<TimePeriod> p = period((*lastAdded)[i]);
    std::optional<ns::Date> d = date((*lastAdded)[i + 1]);
    if (!p || !d) return std::nullopt;
    dates[*p] = *d;
  }
  std::vector<std::optional<Heartbeat>> queue;
  for (const json& slot : *slots) {
    if (slot.is_null()) {
      queue.emplace_back();
      continue;
    }
    std::optional<Heartbeat> heartbeat = decodeHeartbeat(slot);
    if (!heartbeat) return std::nullopt;
    queue.push_back(std::move(heartbeat));
  }
  HeartbeatsBundle bundle(0);
  bundle.capacity = *slotCount;
  bundle.lastAddedHeartbeatDates = std::move(dates);
  bundle.buffer = RingBuffer<Heartbeat>(std::move(queue), *tailIndex);
  return bundle;
}

}  // namespace zovcore

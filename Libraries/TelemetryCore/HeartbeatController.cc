#include "Libraries/TelemetryCore/HeartbeatController.h"

#include "Platform/Foundation/Calendar.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/Foundation/TimeZone.h"

namespace zovcore {

ns::Date standardizedDate(ns::Date date) {
  static const ns::Calendar* calendar = [] {
    auto* c = new ns::Calendar(ns::Calendar::Identifier::ISO8601);
    c->setLocale(ns::Locale::posix());
    c->setTimeZone(*ns::TimeZone::forSecondsFromGMT(0));
    return c;
  }();
  return calendar->startOfDay(date);
}

HeartbeatController::HeartbeatController(const std::string& id)
    : HeartbeatController(HeartbeatStorage::sharedStorage(id), [] { return standardizedDate(ns::Date::now()); }) {}

HeartbeatController::HeartbeatController(std::shared_ptr<HeartbeatStorageProtocol> storage,
                                         std::function<ns::Date()> dateProvider)
    : storage_(std::move(storage)), dateProvider_(std::move(dateProvider)) {}

void HeartbeatController::log(const std::string& agent) {
  ns::Date today = dateProvider_();
  storage_->updateBundleAsync([agent, today](std::optional<HeartbeatsBundle> stored) {
    HeartbeatsBundle bundle = stored ? std::move(*stored) : HeartbeatsBundle(kHeartbeatsStorageCapacity);
    std::vector<TimePeriod> due;
    for (const auto& [period, last] : bundle.lastAddedHeartbeatDates) {
      if (today.timeIntervalSince(last) >= timeInterval(period)) due.push_back(period);
    }
    if (!due.empty()) bundle.append(Heartbeat{agent, today, 0, due});
    return std::optional<HeartbeatsBundle>(std::move(bundle));
  });
}

HeartbeatsPayload HeartbeatController::flush() {
  std::optional<HeartbeatsBundle> previous;
  bool saved = storage_->replaceBundle(
      [](std::optional<HeartbeatsBundle> stored) -> std::optional<HeartbeatsBundle> {
        if (!stored) return std::nullopt;
        HeartbeatsBundle emptied(kHeartbeatsStorageCapacity);
        emptied.lastAddedHeartbeatDates = stored->lastAddedHeartbeatDates;
        return emptied;
      },
      &previous);
  if (!saved || !previous) return HeartbeatsPayload::emptyPayload();
  return previous->makeHeartbeatsPayload();
}

HeartbeatsPayload HeartbeatController::flushHeartbeatFromToday() {
  ns::Date today = dateProvider_();
  std::optional<Heartbeat> removed;
  storage_->updateBundleSync([&removed, today](std::optional<HeartbeatsBundle> stored) {
    if (stored) removed = stored->removeHeartbeat(today);
    return stored;
  });
  if (!removed) return HeartbeatsPayload::emptyPayload();
  HeartbeatsPayload payload;
  payload.userAgentPayloads.push_back({removed->agent, {removed->date}});
  return payload;
}

}  // namespace zovcore

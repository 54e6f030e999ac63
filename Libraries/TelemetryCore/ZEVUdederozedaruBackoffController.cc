#include "Libraries/TelemetryCore/ZEVUdederozedaruBackoffController.h"

#include <openssl/rand.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"

namespace {
constexpr double kMaximumRecoverableWaitSeconds = 30 * 60;
constexpr double kUnrecoverableWaitSeconds = 24 * 60 * 60;
}  // namespace

ZEVUdederozedaruBackoffEventData::ZEVUdederozedaruBackoffEventData(ZEVUdederozedaruBackoffEvent eventType,
                                                                   ns::Date lastEventDate, int64_t eventCount)
    : eventType_(eventType),
      lastEventDate_(lastEventDate),
      eventCount_(eventCount),
      backoffTimeInterval_(backoffTimeIntervalWithEvent(eventType, eventCount)) {}

double ZEVUdederozedaruBackoffEventData::backoffTimeIntervalWithEvent(ZEVUdederozedaruBackoffEvent event,
                                                                      int64_t eventCount) {
  switch (event) {
    case ZEVUdederozedaruBackoffEvent::Success:
      return 0;
    case ZEVUdederozedaruBackoffEvent::RecoverableFailure:
      return recoverableErrorBackoffTimeForAttemptNumber(eventCount);
    case ZEVUdederozedaruBackoffEvent::UnrecoverableFailure:
      return kUnrecoverableWaitSeconds;
  }
  return 0;
}

double ZEVUdederozedaruBackoffEventData::recoverableErrorBackoffTimeForAttemptNumber(int64_t attemptNumber) {
  return std::min(std::pow(2.0, static_cast<double>(attemptNumber)) + randomMilliseconds(),
                  kMaximumRecoverableWaitSeconds);
}

double ZEVUdederozedaruBackoffEventData::randomMilliseconds() {
  uint32_t random = 0;
  if (RAND_bytes(reinterpret_cast<unsigned char*>(&random), sizeof random) != 1) {
    random = std::random_device()();
  }
  return static_cast<double>(random % 1000) * 0.001;
}

ZEVUdederozedaruBackoffController::ZEVUdederozedaruBackoffController()
    : ZEVUdederozedaruBackoffController([] { return ns::Date::now(); }) {}

ZEVUdederozedaruBackoffController::ZEVUdederozedaruBackoffController(CurrentDateProvider currentDateProvider)
    : currentDateProvider_(std::move(currentDateProvider)) {}

void ZEVUdederozedaruBackoffController::registerEvent(ZEVUdederozedaruBackoffEvent event) {
  std::lock_guard lock(mutex_);
  int64_t count = lastEventData_ && lastEventData_->eventType() == event ? lastEventData_->eventCount() + 1 : 1;
  lastEventData_.emplace(event, currentDateProvider_(), count);
}

bool ZEVUdederozedaruBackoffController::isNextRequestAllowed() {
  std::lock_guard lock(mutex_);
  if (!lastEventData_) return true;
  return currentDateProvider_().timeIntervalSince(lastEventData_->lastEventDate()) >=
         lastEventData_->backoffTimeInterval();
}

std::optional<ZEVUdederozedaruBackoffEventData> ZEVUdederozedaruBackoffController::lastEventData() const {
  std::lock_guard lock(mutex_);
  return lastEventData_;
}

std::optional<ZEVUdederozedaruBackoffEvent> ZEVUdederozedaruBackoffEventForOutcome(
    const std::optional<ns::Error>& APIError) {
  if (!APIError) return ZEVUdederozedaruBackoffEvent::Success;
  auto response = ZEVUdederozedaruHTTPError::HTTPResponse(*APIError);
  if (!response) return std::nullopt;
  switch (response->statusCode()) {
    case 400:
    case 403:
      return ZEVUdederozedaruBackoffEvent::UnrecoverableFailure;
    case 401:
    case 404:
      return std::nullopt;
    default:
      return ZEVUdederozedaruBackoffEvent::RecoverableFailure;
  }
}

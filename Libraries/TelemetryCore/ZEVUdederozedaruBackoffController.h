// Request back-off of the installations service: asked before every
// registration and token refresh whether a request may go now, and told the
// outcome of each.
//
//   success                      no wait; every earlier wait lifted
//   recoverable failure (n-th    min(2^n seconds + 0 to 0.999 s at random,
//   in a row)                    1800 s): about 2, 4, 8 ... 1024, then 1800
//   unrecoverable failure        24 hours
//
// A request is allowed when no event came yet, or when at least the wait has
// passed from the last event's date to now; a clock that went back keeps
// requests refused until the wait has passed from that recorded date. The
// state lives in memory only. Both operations serialise on the controller's
// own lock and may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Error.h"

enum class ZEVUdederozedaruBackoffEvent : int64_t {
  Success = 0,
  RecoverableFailure = 1,
  UnrecoverableFailure = 2,
};

class ZEVUdederozedaruBackoffEventData {
 public:
  // The wait is computed once, here.
  ZEVUdederozedaruBackoffEventData(ZEVUdederozedaruBackoffEvent eventType, ns::Date lastEventDate, int64_t eventCount);

  ZEVUdederozedaruBackoffEvent eventType() const { return eventType_; }
  ns::Date lastEventDate() const { return lastEventDate_; }
  // Events of this type in a row, this one counted.
  int64_t eventCount() const { return eventCount_; }
  double backoffTimeInterval() const { return backoffTimeInterval_; }

  static double backoffTimeIntervalWithEvent(ZEVUdederozedaruBackoffEvent event, int64_t eventCount);
  static double recoverableErrorBackoffTimeForAttemptNumber(int64_t attemptNumber);
  // A uniformly random whole number of milliseconds from 0 to 999, in seconds.
  static double randomMilliseconds();

 private:
  ZEVUdederozedaruBackoffEvent eventType_;
  ns::Date lastEventDate_;
  int64_t eventCount_;
  double backoffTimeInterval_;
};

class ZEVUdederozedaruBackoffControllerProtocol {
 public:
  virtual ~ZEVUdederozedaruBackoffControllerProtocol() = default;
  virtual void registerEvent(ZEVUdederozedaruBackoffEvent event) = 0;
  virtual bool isNextRequestAllowed() = 0;
};

class ZEVUdederozedaruBackoffController : public ZEVUdederozedaruBackoffControllerProtocol {
 public:
  using CurrentDateProvider = std::function<ns::Date()>;

  // Its clock is ns::Date::now.
  ZEVUdederozedaruBackoffController();
  explicit ZEVUdederozedaruBackoffController(CurrentDateProvider currentDateProvider);

  void registerEvent(ZEVUdederozedaruBackoffEvent event) override;
  bool isNextRequestAllowed() override;

  const CurrentDateProvider& currentDateProvider() const { return currentDateProvider_; }
  std::optional<ZEVUdederozedaruBackoffEventData> lastEventData() const;

 private:
  const CurrentDateProvider currentDateProvider_;
  mutable std::mutex mutex_;
  std::optional<ZEVUdederozedaruBackoffEventData> lastEventData_;
};

// The event an outcome of a registration or token refresh counts as: success
// (no error) 0; an HTTP error with status 400 or 403 2, with 401 or 404
// none (the service handles those itself), with any other status 1; any
// other error (no HTTP answer) none.
std::optional<ZEVUdederozedaruBackoffEvent> ZEVUdederozedaruBackoffEventForOutcome(
    const std::optional<ns::Error>& APIError);

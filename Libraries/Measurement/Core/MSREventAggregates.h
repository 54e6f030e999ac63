// The counters the engine keeps per event name (one row of the measurement
// database's "events" table): how many events of the name were ever
// bundled, counted for the current bundle period and seen in the current
// session, when the last one fired and was bundled, and the sampling state
// of the last bundled one.
//
//   auto aggregates = MSREventAggregates::initWithName("_e", 0, 0, 0, now);
//   aggregates->incrementLifetimeCount();
//
// The three counts never go negative: they change only through their
// increments, which start again at 0 past the largest 32-bit count. The
// name passes the internal event-name rule. Changed only on the
// measurement worker queue.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class MSREventAggregates {
 public:
  // Null for an invalid name, and for a negative count (monitor message
  // 17000, level 5).
  static std::shared_ptr<MSREventAggregates> initWithName(const std::string& name, int32_t lifetimeCount,
                                                          int32_t currentBundleCount, int32_t currentSessionCount,
                                                          double lastFireTimestamp);

  const std::string& name() const { return name_; }
  int32_t lifetimeCount() const { return lifetimeCount_; }
  int32_t currentBundleCount() const { return currentBundleCount_; }
  int32_t currentSessionCount() const { return currentSessionCount_; }

  // Each adds one; at 2,147,483,647 the count becomes 0 instead (level 5:
  // 17001 lifetime, 17002 bundle, 17003 session).
  void incrementLifetimeCount();
  void incrementCurrentBundleCount();
  void incrementCurrentSessionCount();

  double lastFireTimestamp() const { return lastFireTimestamp_; }
  void setLastFireTimestamp(double seconds) { lastFireTimestamp_ = seconds; }
  double lastBundledTimestamp() const { return lastBundledTimestamp_; }
  void setLastBundledTimestamp(double seconds) { lastBundledTimestamp_ = seconds; }
  const std::optional<int64_t>& lastSampledComplexEventID() const { return lastSampledComplexEventID_; }
  void setLastSampledComplexEventID(std::optional<int64_t> id) { lastSampledComplexEventID_ = id; }
  int32_t lastSamplingRate() const { return lastSamplingRate_; }
  void setLastSamplingRate(int32_t rate) { lastSamplingRate_ = rate; }
  int32_t lastBundledDay() const { return lastBundledDay_; }
  void setLastBundledDay(int32_t day) { lastBundledDay_ = day; }
  bool lastExemptFromSampling() const { return lastExemptFromSampling_; }
  void setLastExemptFromSampling(bool exempt) { lastExemptFromSampling_ = exempt; }

 private:
  MSREventAggregates() = default;

  bool lastExemptFromSampling_ = false;
  int32_t lifetimeCount_ = 0;
  int32_t currentBundleCount_ = 0;
  int32_t currentSessionCount_ = 0;
  int32_t lastSamplingRate_ = 1;
  int32_t lastBundledDay_ = 0;
  std::string name_;
  double lastFireTimestamp_ = 0;
  double lastBundledTimestamp_ = 0;
  std::optional<int64_t> lastSampledComplexEventID_;
};

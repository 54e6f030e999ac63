// The monitor's health sample: one kept message (its key and encoded
// context) out of the monitored messages counted since the entry started.
// Not thread-safe: the monitor touches it only on its queue.
#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/Value.h"

class MSRMonitoringSampledData {
 public:
  // From what the suite holds: used only when it is [string, integer,
  // string, date]; anything else gives an empty sample.
  explicit MSRMonitoringSampledData(const std::optional<ns::Value>& stored = std::nullopt);

  static bool isValidUserDefaultsArrayEntry(const ns::Value& value);

  // Counts one message. A new entry keeps it; otherwise it replaces the kept
  // one with chance 1/population (a uniform draw below the population is
  // 0), so each message of the population is kept with equal chance.
  void insertOrUpdateSampledDataWithKey(const std::string& key, const std::string& encodedContext);
  // See MSRMonitor::monitoringDataForDispatchWithSamplePeriod; `now` in
  // seconds since 1970.
  std::optional<std::string> monitoringDataForDispatchWithSamplePeriod(double period, double lastSampledTimestamp,
                                                                     double now);

  bool empty() const { return !entry_; }
  int64_t population() const { return entry_ ? entry_->population : 0; }
  // The array to store, or nothing for an empty sample.
  std::optional<ns::Value> storedValue() const;

 private:
  struct Entry {
    std::string context;
    int64_t population = 0;
    std::string key;
    ns::Date started;
  };
  std::optional<Entry> entry_;
};

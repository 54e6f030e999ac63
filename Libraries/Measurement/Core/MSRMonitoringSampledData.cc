#include "Libraries/Measurement/Core/MSRMonitoringSampledData.h"

#include <cmath>

#include "Libraries/Measurement/Core/MSRRandom.h"

MSRMonitoringSampledData::MSRMonitoringSampledData(const std::optional<ns::Value>& stored) {
  if (!stored || !isValidUserDefaultsArrayEntry(*stored)) return;
  const ns::Array& array = *stored->asArray();
  entry_ = Entry{*array[0].asString(), array[1].integerValue(), *array[2].asString(), *array[3].asDate()};
}

bool MSRMonitoringSampledData::isValidUserDefaultsArrayEntry(const ns::Value& value) {
  const ns::Array* array = value.asArray();
  return array && array->size() == 4 && (*array)[0].isString() && (*array)[1].isNumber() &&
         (*array)[2].isString() && (*array)[3].isDate();
}

void MSRMonitoringSampledData::insertOrUpdateSampledDataWithKey(const std::string& key,
                                                                const std::string& encodedContext) {
  if (!entry_) {
    entry_ = Entry{encodedContext, 1, key, ns::Date::now()};
    return;
  }
  ++entry_->population;
  if (MSRRandom::uniformBelow(static_cast<uint64_t>(entry_->population)) == 0) {
    entry_->key = key;
    entry_->context = encodedContext;
  }
}

std::optional<std::string> MSRMonitoringSampledData::monitoringDataForDispatchWithSamplePeriod(
    double period, double lastSampledTimestamp, double now) {
  if (!entry_) {
    if (lastSampledTimestamp > 0 && std::fabs(now - lastSampledTimestamp) > period) return "0:";
    return std::nullopt;
  }
  if (entry_->started.timeIntervalSince1970() >= now - period) return std::nullopt;
  std::string answer = std::to_string(entry_->population) + ":" + entry_->key;
  if (!entry_->context.empty()) answer += ":" + entry_->context;
  entry_.reset();
  return answer;
}

std::optional<ns::Value> MSRMonitoringSampledData::storedValue() const {
  if (!entry_) return std::nullopt;
  return ns::Value(ns::Array{ns::Value(entry_->context), ns::Value(entry_->population), ns::Value(entry_->key),
                             ns::Value(entry_->started)});
}

#include "Libraries/Measurement/Reporters/MSRAudienceTimestampsCache.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Storage/MSREventFilter.h"
#include "Libraries/Measurement/Storage/MSRFilterResult.h"
#include "Libraries/Measurement/Storage/MSRPropertyFilter.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace {

// Field indexes of ResultData and its timestamp entries.
constexpr int32_t kResultDynamic = 2, kResultSequence = 3;
constexpr int32_t kEntryFilterID = 0, kEntryTimestamp = 1, kEntryTimestamps = 1;

}  // namespace

int64_t MSRAudienceWholeSeconds(double seconds) {
  const double whole = std::trunc(seconds);
  if (std::isnan(whole)) return 0;
  // 2^63 is exact as a double; anything at or past it does not fit.
  if (whole >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
  if (whole < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(whole);
}

std::shared_ptr<MSRSequenceTimestampsCache> MSRSequenceTimestampsCache::initWithAudienceID(int32_t audienceID) {
  return std::shared_ptr<MSRSequenceTimestampsCache>(new MSRSequenceTimestampsCache(audienceID));
}

std::optional<std::vector<double>> MSRSequenceTimestampsCache::sequenceTimestampsForFilterID(int32_t filterID) const {
  auto found = timestamps_.find(filterID);
  if (found == timestamps_.end()) return std::nullopt;
  return found->second;
}

void MSRSequenceTimestampsCache::addEventFilterTimestamp(double timestamp, int32_t filterID) {
  std::vector<double>& list = timestamps_[filterID];
  if (!list.empty()) {
    if (timestamp < list.back()) {
      MSRMeasurement::monitor()->logWithLevel(5, 42000,
                                              "Adding a sequence timestamp less than the last added timestamp");
    }
    if (MSRAudienceWholeSeconds(list.back()) == MSRAudienceWholeSeconds(timestamp)) return;
  }
  list.push_back(timestamp);
}

void MSRSequenceTimestampsCache::setUserPropertyTimestamp(double timestamp, int32_t filterID) {
  std::vector<double>& list = timestamps_[filterID];
  if (!list.empty() && timestamp < list.back()) {
    MSRMeasurement::monitor()->logWithLevel(5, 42001, "Setting a sequence timestamp less than the last set timestamp");
  }
  list.assign(1, timestamp);
}

std::vector<std::shared_ptr<MSRPBSequenceFilterResultTimestamp>>
MSRSequenceTimestampsCache::sequenceFilterResultTimestamps() const {
  std::vector<std::shared_ptr<MSRPBSequenceFilterResultTimestamp>> entries;
  for (const auto& [filterID, list] : timestamps_) {
    auto entry = MSRPBSequenceFilterResultTimestamp::initWithMessageInfo(nullptr);
    MSRPBMessageSetInt32(entry.get(), kEntryFilterID, filterID);
    if (!list.empty()) {
      std::vector<double> sorted = list;
      std::sort(sorted.begin(), sorted.end());
      MSRPBArray times;
      for (double time : sorted) times.emplace_back(ns::Value(MSRAudienceWholeSeconds(time)));
      MSRPBMessageSetArray(entry.get(), kEntryTimestamps, times);
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

void MSRAudienceTimestampsCache::populateCachedTimestamps(const MSRFilterResult* result, int32_t audienceID) {
  const bool loadDynamic = !dynamic_.contains(audienceID);
  const bool loadSequence = !sequence_.contains(audienceID);
  if (!loadDynamic && !loadSequence) return;
  std::map<int32_t, double> dynamic;
  auto sequence = MSRSequenceTimestampsCache::initWithAudienceID(audienceID);
  std::shared_ptr<MSRPBResultData> stored;
  if (result && result->currentResults()) stored = MSRPBResultData::initWithBuffer(*result->currentResults());
  if (stored) {
    for (const auto& element : MSRPBMessageGetArray<MSRPBDynamicFilterResultTimestamp>(stored.get(), kResultDynamic)
                                   .value_or(MSRPBArray{})) {
      auto entry = MSRPBArrayElementMessage<MSRPBDynamicFilterResultTimestamp>(element);
      if (!entry) continue;
      dynamic[MSRPBMessageGetInt32(entry.get(), kEntryFilterID)] =
          static_cast<double>(MSRPBMessageGetInt64(entry.get(), kEntryTimestamp));
    }
    for (const auto& element : MSRPBMessageGetArray<MSRPBSequenceFilterResultTimestamp>(stored.get(), kResultSequence)
                                   .value_or(MSRPBArray{})) {
      auto entry = MSRPBArrayElementMessage<MSRPBSequenceFilterResultTimestamp>(element);
      if (!entry) continue;
      auto times = MSRPBMessageGetArray(entry.get(), kEntryTimestamps).value_or(MSRPBArray{});
      const auto* last = times.empty() ? nullptr : std::get_if<ns::Value>(&times.back());
      if (last) {
        sequence->addEventFilterTimestamp(static_cast<double>(last->integerValue()),
                                          MSRPBMessageGetInt32(entry.get(), kEntryFilterID));
      }
    }
  }
  if (loadDynamic) dynamic_[audienceID] = std::move(dynamic);
  if (loadSequence) sequence_[audienceID] = std::move(sequence);
}

void MSRAudienceTimestampsCache::addEvaluationTimestamp(double timestamp, const MSREventFilter& filter) {
  addEvaluationTimestamp(timestamp, filter, true);
}

void MSRAudienceTimestampsCache::addEvaluationTimestamp(double timestamp, const MSRPropertyFilter& filter) {
  addEvaluationTimestamp(timestamp, filter, false);
}

void MSRAudienceTimestampsCache::addEvaluationTimestamp(double timestamp, const MSRAudienceFilter& filter,
                                                        bool isEventFilter) {
  const int32_t audienceID = filter.audienceID();
  if (filter.isSequence()) {
    auto& cache = sequence_[audienceID];
    if (!cache) cache = MSRSequenceTimestampsCache::initWithAudienceID(audienceID);
    if (isEventFilter) {
      cache->addEventFilterTimestamp(timestamp, filter.filterID());
    } else {
      cache->setUserPropertyTimestamp(timestamp, filter.filterID());
    }
    return;
  }
  if (!filter.isDynamic() && !filter.isSessionScoped()) return;
  auto found = dynamic_.find(audienceID);
  if (found == dynamic_.end()) return;
  auto stored = found->second.find(filter.filterID());
  const double current = stored == found->second.end() ? 0 : stored->second;
  if (timestamp > current) {
    found->second[filter.filterID()] = timestamp;
  } else {
    MSRMeasurement::monitor()->logWithLevel(
        5, 6037, "Candidate evaluation timestamp is earlier than cached evaluation timestamp");
  }
}

bool MSRAudienceTimestampsCache::hasTimestampsForAudienceID(int32_t audienceID) const {
  return dynamic_.contains(audienceID) || sequence_.contains(audienceID);
}

std::vector<std::shared_ptr<MSRPBDynamicFilterResultTimestamp>>
MSRAudienceTimestampsCache::dynamicTimestampsForAudienceID(int32_t audienceID) const {
  std::vector<std::shared_ptr<MSRPBDynamicFilterResultTimestamp>> entries;
  auto found = dynamic_.find(audienceID);
  if (found == dynamic_.end()) return entries;
  for (const auto& [filterID, time] : found->second) {
    auto entry = MSRPBDynamicFilterResultTimestamp::initWithMessageInfo(nullptr);
    MSRPBMessageSetInt32(entry.get(), kEntryFilterID, filterID);
    MSRPBMessageSetInt64(entry.get(), kEntryTimestamp, MSRAudienceWholeSeconds(time));
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<std::shared_ptr<MSRPBSequenceFilterResultTimestamp>>
MSRAudienceTimestampsCache::sequenceTimestampsForAudienceID(int32_t audienceID) const {
  auto found = sequence_.find(audienceID);
  if (found == sequence_.end() || !found->second) return {};
  return found->second->sequenceFilterResultTimestamps();
}

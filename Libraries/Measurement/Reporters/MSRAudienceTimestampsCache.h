// The evaluation timestamps gathered while one bundle is made: per audience,
// the latest evaluation time of each dynamic or session-scoped filter, and
// the evaluation times of each sequence filter. Loaded once per audience
// from its stored result, added to as filters come out true, and written
// back into the audience's result. Times are seconds since 1970; in the
// result messages they are whole seconds, truncated (saturated at the int64
// range, NaN as 0: the times come from stored rows and edited events).
//
// One cache belongs to one bundling pass on the worker queue; nothing here
// locks.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "Libraries/WireMessages/MSRPBUploadMessages.h"

class MSRAudienceFilter;
class MSREventFilter;
class MSRPropertyFilter;
class MSRFilterResult;

// Whole seconds of a time for a result message.
int64_t MSRAudienceWholeSeconds(double seconds);

// The sequence filters' evaluation times of one audience.
class MSRSequenceTimestampsCache {
 public:
  static std::shared_ptr<MSRSequenceTimestampsCache> initWithAudienceID(int32_t audienceID);

  int32_t audienceID() const { return audienceID_; }
  const std::map<int32_t, std::vector<double>>& allSequenceTimestampsByFilterID() const { return timestamps_; }
  // A copy of the filter's list; none when it has none.
  std::optional<std::vector<double>> sequenceTimestampsForFilterID(int32_t filterID) const;
  // Appends, unless the last time is the same whole second; an earlier time
  // is logged (42000) and still appended.
  void addEventFilterTimestamp(double timestamp, int32_t filterID);
  // The list becomes this one time; an earlier time is logged (42001).
  void setUserPropertyTimestamp(double timestamp, int32_t filterID);
  // One entry per filter in ascending ID order, its times ascending.
  std::vector<std::shared_ptr<MSRPBSequenceFilterResultTimestamp>> sequenceFilterResultTimestamps() const;

 private:
  explicit MSRSequenceTimestampsCache(int32_t audienceID) : audienceID_(audienceID) {}
  int32_t audienceID_;
  std::map<int32_t, std::vector<double>> timestamps_;
};

class MSRAudienceTimestampsCache {
 public:
  MSRAudienceTimestampsCache() = default;

  // Loads the audience's stored times once per pass (`result` may be null:
  // none stored): every dynamic entry, and the last time of each sequence
  // entry. Data that does not decode loads as no times.
  void populateCachedTimestamps(const MSRFilterResult* result, int32_t audienceID);
  // A sequence filter's time joins its list (event filters append, property
  // filters replace); a dynamic or session-scoped filter keeps the later of
  // its stored and this time (an earlier one is logged, 6037), once the
  // audience was loaded. Plain filters keep no time.
  void addEvaluationTimestamp(double timestamp, const MSREventFilter& filter);
  void addEvaluationTimestamp(double timestamp, const MSRPropertyFilter& filter);

  // Whether the audience's times were loaded in this pass.
  bool hasTimestampsForAudienceID(int32_t audienceID) const;
  // One entry per filter in ascending ID order; empty when there are none.
  std::vector<std::shared_ptr<MSRPBDynamicFilterResultTimestamp>> dynamicTimestampsForAudienceID(
      int32_t audienceID) const;
  std::vector<std::shared_ptr<MSRPBSequenceFilterResultTimestamp>> sequenceTimestampsForAudienceID(
      int32_t audienceID) const;

  const std::map<int32_t, std::map<int32_t, double>>& cachedDynamicFilterEvaluationTimestamps() const {
    return dynamic_;
  }
  const std::map<int32_t, std::shared_ptr<MSRSequenceTimestampsCache>>& cachedSequenceEvaluationTimestamps() const {
    return sequence_;
  }

 private:
  void addEvaluationTimestamp(double timestamp, const MSRAudienceFilter& filter, bool isEventFilter);

  std::map<int32_t, std::map<int32_t, double>> dynamic_;
  std::map<int32_t, std::shared_ptr<MSRSequenceTimestampsCache>> sequence_;
};

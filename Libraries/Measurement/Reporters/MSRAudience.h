// The audience evaluator over the measurement database: it stores the
// filters of a configuration's audiences, evaluates them against each
// bundled event and user property, and gives each bundle its audience
// results.
//
// Per audience one row of results holds two word lists with one bit per
// filter (MSRAudienceFunctions.h): status (evaluated with a definite
// answer) and results (the answer is YES), plus the evaluation times of
// dynamic, session-scoped and sequence filters. A filter moves from never
// evaluated to false to true; a plain filter, once true, is never
// evaluated again; a session start resets session-scoped filters; only a
// dynamic, not session-scoped property filter falls back to false.
//
// Every database failure is logged with its code and ends the call with
// NO; what the call computed before it is not stored. A filter that cannot
// be evaluated records nothing and the others go on.
//
// Threads: every call runs on the measurement worker queue; nothing here
// locks.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "Libraries/Measurement/Core/MSREvent.h"
#include "Libraries/Measurement/Core/MSREventAggregates.h"
#include "Libraries/Measurement/Core/MSRUserAttribute.h"
#include "Libraries/Measurement/Reporters/MSRAudienceTimestampsCache.h"
#include "Libraries/Measurement/Storage/MSRFilterResult.h"
#include "Libraries/WireMessages/MSRPBConfigurationMessages.h"
#include "Libraries/WireMessages/MSRPBUploadMessages.h"

class MSRDatabase;

class MSRAudience {
 public:
  static std::shared_ptr<MSRAudience> initWithDatabase(std::shared_ptr<MSRDatabase> database);

  // Checks the new configuration's audiences and replaces the stored
  // filters with those of the valid ones (public names rewritten to
  // internal ones). More audiences than maxAudienceCount: nothing changes
  // and the answer is YES. Results of audiences still configured are kept;
  // those of audiences gone are deleted once there are more results than
  // maxFilterResultCount.
  bool updateAudiences(const std::vector<std::shared_ptr<MSRPBAudience>>& audiences);

  // The event's name, parameters and time; a null cache: one for this call.
  bool evaluateFiltersForEvent(const std::shared_ptr<MSREvent>& event,
                               const std::shared_ptr<MSREventAggregates>& eventAggregates,
                               MSRAudienceTimestampsCache* audienceTimestampsCache);
  bool evaluateFiltersForEventName(const std::string& eventName, const MSRValueMap& eventParameters,
                                   const std::shared_ptr<MSREventAggregates>& eventAggregates, double eventTimestamp,
                                   MSRAudienceTimestampsCache* audienceTimestampsCache);
  // The evaluation time is `evaluationTimestamp` when given, else the
  // property's last set time.
  bool evaluateFiltersForUserProperty(const std::shared_ptr<MSRUserAttribute>& userProperty,
                                      MSRAudienceTimestampsCache* audienceTimestampsCache,
                                      std::optional<double> evaluationTimestamp);
  // `evaluationTime` none: the property's own set time. A property without
  // a value answers NO (6039).
  bool evaluateFiltersForNanoUserProperty(const MSRPBUserAttribute& userProperty,
                                          MSRAudienceTimestampsCache* audienceTimestampsCache,
                                          std::optional<double> evaluationTime);

  // One leaf per audience with an evaluated filter: its current results,
  // the results of the last bundle when they differ, and whether the
  // audience goes into a bundle for the first time. The stored results
  // then remember what was bundled. *results is empty on failure.
  bool resultsForBundling(std::vector<std::shared_ptr<MSRPBAudienceLeafFilterResult>>* results);
  // A session start: the bits and times of session-scoped filters are
  // cleared, and an audience left with no evaluated filter loses its row.
  bool clearEvaluationResultsForSessionScopedFilters();
  // Deletes the results of audiences in neither the stored filters nor
  // `audienceIDs`, when there are more results than maxFilterResultCount.
  bool maybeDeleteStaleFilterResults(const std::set<int32_t>& audienceIDs);

  // Whether filter `filterID` has been evaluated and is true in `result`
  // (null: no result stored yet).
  static bool isFilterResult(const MSRFilterResult* result, int32_t filterID);
  // The result with the filter's bits set to a definite `newEvaluationResult`
  // and the cache's times for the audience (the stored times when the cache
  // never loaded them); the previous results stay as they were.
  static std::shared_ptr<MSRFilterResult> updatedFilterResultWithFilterID(
      int32_t filterID, int32_t audienceID, const MSRFilterResult* currentFilterResult, bool newEvaluationResult,
      const MSRAudienceTimestampsCache& audienceTimestampsCache);

 private:
  std::shared_ptr<MSRDatabase> database_;
};

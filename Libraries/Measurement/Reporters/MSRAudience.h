// The audience evaluator over the measurement database: it stores the
// filters of a configuration's audiences, evaluates them against each
// bundled event and user property, and gives each bundle its audience
// results. All of it runs on the measurement worker queue.
//
// Until audiences are evaluated, every step succeeds without storing or
// reporting anything.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "Libraries/Measurement/Core/MSREvent.h"
#include "Libraries/Measurement/Core/MSREventAggregates.h"
#include "Libraries/WireMessages/MSRPBConfigurationMessages.h"
#include "Libraries/WireMessages/MSRPBUploadMessages.h"

class MSRDatabase;

// The evaluation timestamps of dynamic and sequence filters gathered while
// one bundle is made.
class MSRAudienceTimestampsCache {
 public:
  MSRAudienceTimestampsCache() = default;
};

class MSRAudience {
 public:
  static std::shared_ptr<MSRAudience> initWithDatabase(std::shared_ptr<MSRDatabase> database);

  // Checks and stores the filters of a new configuration's audiences.
  bool updateAudiences(const std::vector<std::shared_ptr<MSRPBAudience>>& audiences);
  bool evaluateFiltersForEvent(const std::shared_ptr<MSREvent>& event,
                               const std::shared_ptr<MSREventAggregates>& eventAggregates,
                               MSRAudienceTimestampsCache* audienceTimestampsCache);
  // `evaluationTime` none: the property's own set time.
  bool evaluateFiltersForNanoUserProperty(const MSRPBUserAttribute& userProperty,
                                          MSRAudienceTimestampsCache* audienceTimestampsCache,
                                          std::optional<double> evaluationTime);
  bool resultsForBundling(std::vector<std::shared_ptr<MSRPBAudienceLeafFilterResult>>* results);
  bool clearEvaluationResultsForSessionScopedFilters();

 private:
  std::shared_ptr<MSRDatabase> database_;
};

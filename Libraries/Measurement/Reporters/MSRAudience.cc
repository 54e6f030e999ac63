#include "Libraries/Measurement/Reporters/MSRAudience.h"

std::shared_ptr<MSRAudience> MSRAudience::initWithDatabase(std::shared_ptr<MSRDatabase> database) {
  auto audience = std::make_shared<MSRAudience>();
  audience->database_ = std::move(database);
  return audience;
}

bool MSRAudience::updateAudiences(const std::vector<std::shared_ptr<MSRPBAudience>>&) { return true; }

bool MSRAudience::evaluateFiltersForEvent(const std::shared_ptr<MSREvent>&, const std::shared_ptr<MSREventAggregates>&,
                                          MSRAudienceTimestampsCache*) {
  return true;
}

bool MSRAudience::evaluateFiltersForNanoUserProperty(const MSRPBUserAttribute&, MSRAudienceTimestampsCache*,
                                                     std::optional<double>) {
  return true;
}

bool MSRAudience::resultsForBundling(std::vector<std::shared_ptr<MSRPBAudienceLeafFilterResult>>* results) {
  if (results) results->clear();
  return true;
}

bool MSRAudience::clearEvaluationResultsForSessionScopedFilters() { return true; }

// One property filter of an audience: it applies to one user property.
// A plain value the measurement database makes for the audience evaluator.
#pragma once

#include <memory>

#include "Libraries/Measurement/Storage/MSRAudienceFilter.h"

class MSRPropertyFilter : public MSRAudienceFilter {
 public:
  static std::shared_ptr<MSRPropertyFilter> initWithAudienceID(int32_t audienceID, int32_t filterID,
                                                               std::string propertyName, ns::Data data,
                                                               bool sessionScoped, bool dynamic, bool sequence) {
    return std::shared_ptr<MSRPropertyFilter>(new MSRPropertyFilter(
        audienceID, filterID, std::move(propertyName), std::move(data), sessionScoped, dynamic, sequence));
  }
  const std::string& propertyName() const { return filteredName(); }

 private:
  using MSRAudienceFilter::MSRAudienceFilter;
};

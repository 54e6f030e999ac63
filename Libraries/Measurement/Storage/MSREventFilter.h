// One event filter of an audience: it applies to the events of one name.
// A plain value the measurement database makes for the audience evaluator.
#pragma once

#include <memory>

#include "Libraries/Measurement/Storage/MSRAudienceFilter.h"

class MSREventFilter : public MSRAudienceFilter {
 public:
  static std::shared_ptr<MSREventFilter> initWithAudienceID(int32_t audienceID, int32_t filterID,
                                                            std::string eventName, ns::Data data, bool sessionScoped,
                                                            bool dynamic, bool sequence) {
    return std::shared_ptr<MSREventFilter>(
        new MSREventFilter(audienceID, filterID, std::move(eventName), std::move(data), sessionScoped, dynamic, sequence));
  }
  const std::string& eventName() const { return filteredName(); }

 private:
  using MSRAudienceFilter::MSRAudienceFilter;
};

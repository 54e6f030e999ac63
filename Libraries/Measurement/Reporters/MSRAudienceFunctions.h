// The audience evaluator's plain steps: vetting one audience of a new
// configuration, deciding a stored filter row, the rules for when a filter
// is evaluated again and when a property's new answer replaces the old,
// and where a filter's bit lives in a result's words.
//
// Bits: filter f is bit f mod 64 of word f / 64 of both word lists of a
// result (status: evaluated with a definite answer; results: that answer
// is YES).
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "Libraries/Measurement/Core/MSREventAggregates.h"
#include "Libraries/Measurement/Core/MSRUserAttribute.h"
#include "Libraries/Measurement/Core/MSRValue.h"
#include "Libraries/Measurement/Reporters/MSRAudienceFilterPredicates.h"
#include "Libraries/Measurement/Storage/MSREventFilter.h"
#include "Libraries/Measurement/Storage/MSRPropertyFilter.h"
#include "Libraries/WireMessages/MSRPBConfigurationMessages.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Libraries/WireMessages/MSRPBUploadMessages.h"
#include "Platform/Foundation/Error.h"

// The error codes of a rejected audience: the audience itself, one of its
// event filters, one of its property filters.
inline constexpr int64_t kMSRInvalidAudienceCode = 9, kMSRInvalidEventFilterCode = 10,
                         kMSRInvalidPropertyFilterCode = 11;

// YES when the audience may be stored beside those already accepted; else
// NO with the first rule it breaks as a measurement error (code 9, 10 or
// 11 and the rule's text). The limits are the running configuration's
// maxFiltersPerAudience and maxParametersPerFilter.
bool MSRValidateAudience(const MSRPBAudience& audience, const std::set<int32_t>& acceptedAudienceIDs,
                         ns::Error* error);

// The row's filter message decided for the event (none, logged 6035, when
// its data does not decode).
MSRAudienceResult MSREvaluateEventFilterRow(const MSREventFilter& filter, const MSRValueMap& parameters,
                                            const MSREventAggregates* aggregates);
// The row's filter message decided for the property (none, logged 6036,
// when its data does not decode). The answer is the filter's own, before
// MSRShouldReplacePropertyResult weighs it against the earlier truth.
MSRAudienceResult MSREvaluatePropertyFilterRow(const MSRPropertyFilter& filter, const MSRUserAttribute* attribute);

// A plain filter, once true, is never evaluated again; dynamic, sequence
// and session-scoped ones always are.
bool MSRShouldEvaluateFilter(bool alreadyTrue, const MSRAudienceFilter& filter);
// A property's answer is recorded when it is YES, or when the filter is
// dynamic and not session scoped (so only such a filter falls back to NO).
bool MSRShouldReplacePropertyResult(bool result, const MSRAudienceFilter& filter);

bool MSRHasAnyBitSet(const std::vector<uint64_t>& words);
int32_t MSRFilterWordIndex(int32_t filterID);
int32_t MSRFilterBitIndex(int32_t filterID);

// The messages of a repeated message field (none when refused).
template <class T>
std::vector<std::shared_ptr<T>> MSRAudienceMessagesOf(const NANOMessageBase* message, int32_t index) {
  std::vector<std::shared_ptr<T>> out;
  for (const auto& element : MSRPBMessageGetArray<T>(message, index).value_or(MSRPBArray{})) {
    if (auto item = MSRPBArrayElementMessage<T>(element)) out.push_back(std::move(item));
  }
  return out;
}

// A user property of the bundle's upload form: set time = milliseconds /
// 1000, origin "", the string value if present, else the double, else the
// int64. Null (logged 6039) when it carries no value or breaks the rules.
std::shared_ptr<MSRUserAttribute> MSRUserAttributeFromNano(const MSRPBUserAttribute& property);

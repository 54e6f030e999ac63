// The predicates that decide one audience filter against one event or one
// user property, and the validity checks of number and string filters that
// vet a configuration's audiences before they are stored. Plain functions
// over the configuration messages and measurement values: no state, no
// storage; any thread (the worker queue in practice).
//
// A result is YES, NO or none: none means the filter could not be
// evaluated (a message to the measurement monitor says why) and the caller
// records nothing for it.
//
// Numbers. Number filters carry their comparison values as decimal text.
// Doubles compare with the texts read as en_US numbers (a leading "+" is
// allowed), and "equal" accepts the comparison value and the two
// representable doubles on either side of it. Int64 values, event counts
// and numeric strings compare as decimal numbers, exactly.
//
// Strings. Match types 1 regular expression, 2 begins with, 3 ends with, 4
// contains, 5 equals, 6 equals one of a list; case-insensitive unless the
// filter says case sensitive. A regular expression comes from the server
// and runs on the worker queue, so its search is bounded
// (MSRAudienceRegularExpressionLimit): a search stopped by the bound is no
// answer (none, code 9007 at level 1), never a "no match".
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Libraries/Measurement/Core/MSREventAggregates.h"
#include "Libraries/Measurement/Core/MSRUserAttribute.h"
#include "Libraries/Measurement/Core/MSRValue.h"
#include "Libraries/WireMessages/MSRPBConfigurationMessages.h"
#include "Platform/Foundation/DecimalNumber.h"
#include "Platform/Foundation/RegularExpression.h"

// YES, NO, or none for "not evaluated".
using MSRAudienceResult = std::optional<bool>;

// What one audience regular-expression search may do. ICU counts the limit
// in units of engine steps, never in time, so a search stops at the same
// point on any machine; a linear search of the longest parameter or
// property value stays far inside it.
inline constexpr ns::RegularExpression::MatchLimit MSRAudienceRegularExpressionLimit{1000, 1 << 20};

// A number filter's comparison values as decimal numbers.
struct MSRAudienceComparisonValues {
  bool valid = false;
  ns::DecimalNumber comparisonValue;
  ns::DecimalNumber minComparisonValue;
  ns::DecimalNumber maxComparisonValue;
};

// The filter's event name must be `eventName`; then the event count filter
// (session count when the filter is session scoped, else lifetime count)
// and each parameter filter in order must hold. The first result that is
// not YES is the answer.
MSRAudienceResult MSREvaluateEventFilter(const MSRPBEventFilter* filter, const std::string& eventName,
                                         const MSRValueMap& parameters, const MSREventAggregates* aggregates);
// The filter's property name must be the attribute's; then its Filter on
// the attribute's value.
MSRAudienceResult MSREvaluatePropertyFilter(const MSRPBPropertyFilter* filter, const MSRUserAttribute* attribute);
// A number filter wins over a string filter; a present complement inverts
// a definite answer.
MSRAudienceResult MSREvaluateFilter(const MSRPBFilter* filter, const MSRValue& value);

bool MSRIsValidNumberFilter(const MSRPBNumberFilter* filter);
MSRAudienceResult MSREvaluateNumberFilterWithDouble(const MSRPBNumberFilter* filter, double value);
MSRAudienceResult MSREvaluateNumberFilterWithInt64(const MSRPBNumberFilter* filter, int64_t value);
MSRAudienceResult MSREvaluateNumberFilterWithDecimal(const MSRPBNumberFilter* filter,
                                                     const ns::DecimalNumber& value);

// A type 1 filter's compiled expression goes to *expression when asked.
bool MSRValidateStringFilter(const MSRPBStringFilter* filter,
                             std::shared_ptr<const ns::RegularExpression>* expression);
bool MSRIsValidStringFilter(const MSRPBStringFilter* filter);
MSRAudienceResult MSREvaluateStringFilter(const MSRPBStringFilter* filter, const std::optional<std::string>& text);

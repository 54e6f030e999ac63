#include "Libraries/Measurement/Reporters/MSRAudienceFilterPredicates.h"

#include <cmath>
#include <limits>
#include <vector>

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRNumericUtil.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Platform/Foundation/NumberFormatter.h"
#include "Platform/Foundation/StringCompare.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {

// Field indexes of the messages.
constexpr int32_t kEventFilterName = 1, kEventFilterParameterFilters = 2, kEventFilterCountFilter = 4,
                  kEventFilterSessionScoped = 7;
constexpr int32_t kPropertyFilterName = 1, kPropertyFilterFilter = 2;
constexpr int32_t kFilterString = 0, kFilterNumber = 1, kFilterComplement = 2, kFilterParameterName = 3;
constexpr int32_t kNumberType = 0, kNumberValue = 2, kNumberMinimum = 3, kNumberMaximum = 4;
constexpr int32_t kStringMatchType = 0, kStringExpression = 1, kStringCaseSensitive = 2, kStringList = 3;

enum : uint32_t { kLessThan = 1, kGreaterThan = 2, kEqual = 3, kBetween = 4 };
enum : uint32_t { kRegularExpression = 1, kBeginsWith = 2, kEndsWith = 3, kContains = 4, kExact = 5, kInList = 6 };

void log(int64_t level, int64_t code, const std::string& message) {
  MSRMeasurement::monitor()->logWithLevel(level, code, message);
}
void log(int64_t level, int64_t code, const std::string& message, std::vector<MSRLogContext> contexts) {
  MSRMeasurement::monitor()->logWithLevel(level, code, message, contexts);
}

// A filter as log lines show it: its encoded bytes.
ns::Value describe(const NANOMessageBase* message) {
  if (!message) return ns::Value();
  auto bytes = message->protoBuffer();
  return bytes ? ns::Value(*bytes) : ns::Value();
}

// Enumerations travel as uint64; every value past 4 or 6 is unknown alike.
uint32_t enumValue(const NANOMessageBase* message, int32_t index) {
  return static_cast<uint32_t>(MSRPBMessageGetInt32(message, index));
}

bool hasNumericText(const MSRPBNumberFilter* filter, int32_t index) {
  auto text = MSRPBMessageGetString(filter, index);
  return text && MSRIsValidDecimalString(*text);
}

// The filter's texts as doubles: en_US numbers, which may carry a leading
// "+" as the server writes positive values.
std::optional<double> doubleFromFilterText(const std::optional<std::string>& text) {
  if (!text || text->empty()) return std::nullopt;
  static const ns::NumberFormatter formatter = [] {
    ns::NumberFormatter made;
    made.setLocale(ns::Locale("en_US"));
    return made;
  }();
  std::string_view number = *text;
  if (number.size() > 1 && number.front() == '+' && number[1] != '+' && number[1] != '-') number.remove_prefix(1);
  return formatter.numberFromString(number);
}

std::optional<ns::DecimalNumber> decimalFromFilterText(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return MSRDecimalNumberFromString(*text);
}

MSRAudienceComparisonValues comparisonValues(const MSRPBNumberFilter* filter) {
  MSRAudienceComparisonValues values;
  if (enumValue(filter, kNumberType) == kBetween) {
    if (!MSRPBMessageHasField(filter, kNumberMinimum) || !MSRPBMessageHasField(filter, kNumberMaximum)) {
      log(1, 8003, "Number filter does not have both min and max comparison values");
      return values;
    }
    auto minimum = decimalFromFilterText(MSRPBMessageGetString(filter, kNumberMinimum));
    if (!minimum) {
      log(1, 8004, "Number filter min comparison value is not a number");
      return values;
    }
    auto maximum = decimalFromFilterText(MSRPBMessageGetString(filter, kNumberMaximum));
    if (!maximum) {
      log(1, 8005, "Number filter max comparison value is not a number");
      return values;
    }
    values.minComparisonValue = *minimum;
    values.maxComparisonValue = *maximum;
  } else {
    if (!MSRPBMessageHasField(filter, kNumberValue)) {
      log(1, 8001, "Number filter has no comparison value");
      return values;
    }
    auto value = decimalFromFilterText(MSRPBMessageGetString(filter, kNumberValue));
    if (!value) {
      log(1, 8002, "Number filter comparison value is not a number");
      return values;
    }
    values.comparisonValue = *value;
  }
  values.valid = true;
  return values;
}

// Both texts the same length in UTF-16 and an anchored match at the start:
// equality under the filter's case rule.
bool equalUnder(const std::string& text, const std::string& expression, unsigned options) {
  std::u16string a = ns::toUtf16(text), b = ns::toUtf16(expression);
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  return ns::rangeOfString(a, b, options | ns::kAnchored).location == 0;
}

}  // namespace

MSRAudienceResult MSREvaluateEventFilter(const MSRPBEventFilter* filter, const std::string& eventName,
                                         const MSRValueMap& parameters, const MSREventAggregates* aggregates) {
  if (!filter) {
    log(1, 7004, "Event filter is nil. Audience filter will not be evaluated");
    return std::nullopt;
  }
  if (eventName.empty()) {
    log(1, 7005, "Event name is nil. Audience filter will not be evaluated");
    return std::nullopt;
  }
  auto filterName = MSRPBMessageGetString(filter, kEventFilterName);
  if (!filterName || *filterName != eventName) {
    log(1, 7006, "Event filter name does not match event name. Audience filter will not be evaluated");
    return std::nullopt;
  }
  auto countFilter = MSRPBMessageGetMessage<MSRPBNumberFilter>(filter, kEventFilterCountFilter);
  auto parameterFilters =
      MSRPBMessageGetArray<MSRPBFilter>(filter, kEventFilterParameterFilters).value_or(MSRPBArray{});
  if (!countFilter && parameterFilters.empty()) return true;

  if (countFilter) {
    if (!aggregates || aggregates->name() != eventName) {
      log(1, 7007, "Event aggregates name does not match event name. Audience filter will not be evaluated",
          {aggregates ? ns::Value(aggregates->name()) : ns::Value(), eventName, describe(filter)});
      return std::nullopt;
    }
    const bool sessionScoped = MSRPBMessageGetBool(filter, kEventFilterSessionScoped);
    const int64_t count = sessionScoped ? aggregates->currentSessionCount() : aggregates->lifetimeCount();
    MSRAudienceResult result = MSREvaluateNumberFilterWithInt64(countFilter.get(), count);
    if (result != true) return result;
  }

  for (const auto& element : parameterFilters) {
    auto parameterFilter = MSRPBArrayElementMessage<MSRPBFilter>(element);
    auto name = MSRPBMessageGetString(parameterFilter.get(), kFilterParameterName);
    if (!name || name->empty()) {
      log(1, 7008, "Event filter does not have parameter name. Audience filter will not be evaluated");
      return std::nullopt;
    }
    auto parameter = parameters.find(*name);
    if (parameter == parameters.end()) {
      log(3, 7009, "Event does not have parameter required by filter. Audience filter will not be evaluated");
      return std::nullopt;
    }
    if (parameter->second.isString() && !MSRPBMessageHasField(parameterFilter.get(), kFilterString)) {
      log(3, 7010,
          "Event param is a string and the filter does not have a string filter. Audience filter will not be "
          "evaluated. Event name, event params, filter",
          {eventName, *name, describe(parameterFilter.get())});
      return std::nullopt;
    }
    MSRAudienceResult result = MSREvaluateFilter(parameterFilter.get(), parameter->second);
    if (result != true) return result;
  }
  return true;
}

MSRAudienceResult MSREvaluatePropertyFilter(const MSRPBPropertyFilter* filter, const MSRUserAttribute* attribute) {
  if (!filter) {
    log(1, 7011, "Property filter is nil. Audience filter will not be evaluated");
    return std::nullopt;
  }
  if (!attribute) {
    log(1, 7012, "User property is nil. Audience filter will not be evaluated");
    return std::nullopt;
  }
  auto name = MSRPBMessageGetString(filter, kPropertyFilterName);
  if (!name || *name != attribute->name()) {
    log(1, 7013, "User property name does not match property filter name. Audience filter will not be evaluated");
    return std::nullopt;
  }
  auto inner = MSRPBMessageGetMessage<MSRPBFilter>(filter, kPropertyFilterFilter);
  if (!inner) {
    log(1, 7014, "Property filter does not have filter. Audience filter will not be evaluated");
    return std::nullopt;
  }
  const MSRValue& value = attribute->value();
  if (!value.isString() && !value.isInt64() && !value.isDouble()) {
    log(1, 7015, "Unknown user property type. Audience filter will not be evaluated. Property Name",
        {attribute->name()});
    return std::nullopt;
  }
  return MSREvaluateFilter(inner.get(), value);
}

MSRAudienceResult MSREvaluateFilter(const MSRPBFilter* filter, const MSRValue& value) {
  auto stringFilter = MSRPBMessageGetMessage<MSRPBStringFilter>(filter, kFilterString);
  auto numberFilter = MSRPBMessageGetMessage<MSRPBNumberFilter>(filter, kFilterNumber);
  if (!stringFilter && !numberFilter) {
    log(1, 7000, "Filter has neither a number nor string filter. Audience filter will not be evaluated");
    return std::nullopt;
  }
  MSRAudienceResult result;
  if (numberFilter) {
    if (value.isString()) {
      const std::string text = value.stringValue().value_or("");
      if (!MSRIsValidDecimalString(text)) {
        log(3, 7001, "String value is not a numeric value. Audience filter will not be evaluated. Value, filter",
            {text, describe(filter)});
        return std::nullopt;
      }
      auto decimal = MSRDecimalNumberFromString(text);
      if (!decimal) return std::nullopt;
      result = MSREvaluateNumberFilterWithDecimal(numberFilter.get(), *decimal);
    } else if (value.isDouble()) {
      if (!std::isfinite(value.doubleValue())) {
        log(3, 7002, "Value is not within double range. Audience filter will not be evaluated");
        return std::nullopt;
      }
      result = MSREvaluateNumberFilterWithDouble(numberFilter.get(), value.doubleValue());
    } else if (value.isInt64()) {
      result = MSREvaluateNumberFilterWithInt64(numberFilter.get(), value.int64Value());
    } else {
      return std::nullopt;
    }
  } else {
    if (!value.isString()) {
      log(3, 7003, "Value is not a string. Audience filter will not be evaluated");
      return std::nullopt;
    }
    result = MSREvaluateStringFilter(stringFilter.get(), value.stringValue());
  }
  if (result && MSRPBMessageGetBool(filter, kFilterComplement)) result = !*result;
  return result;
}

bool MSRIsValidNumberFilter(const MSRPBNumberFilter* filter) {
  if (!filter) return false;
  if (!MSRPBMessageHasField(filter, kNumberType)) {
    log(1, 8006, "Number filter has no comparison type");
    return false;
  }
  switch (enumValue(filter, kNumberType)) {
    case kLessThan:
    case kGreaterThan:
    case kEqual:
      if (!hasNumericText(filter, kNumberValue)) {
        log(1, 8008, "Numeric filter does not have a valid comparison value. Filter", {describe(filter)});
        return false;
      }
      return true;
    case kBetween: {
      bool valid = true;
      if (!hasNumericText(filter, kNumberMinimum)) {
        log(1, 8009, "Numeric filter does not have a valid min comparison value. Filter", {describe(filter)});
        valid = false;
      }
      if (!hasNumericText(filter, kNumberMaximum)) {
        log(1, 8010, "Numeric filter does not have a valid max comparison value. Filter", {describe(filter)});
        valid = false;
      }
      return valid;
    }
    case 0:
      log(1, 8007, "Number filter has unknown comparison type");
      return false;
    default:
      log(1, 8011, "Number filter has a real unknown comparison type");
      return false;
  }
}

MSRAudienceResult MSREvaluateNumberFilterWithDouble(const MSRPBNumberFilter* filter, double value) {
  if (!MSRIsValidNumberFilter(filter)) return std::nullopt;
  if (!std::isfinite(value)) {
    log(3, 7002, "Value is not within double range. Audience filter will not be evaluated");
    return std::nullopt;
  }
  const uint32_t type = enumValue(filter, kNumberType);
  auto invalid = [] {
    log(1, 8012, "Number filter is invalid, the comparison filter is not valid. Audience filter will not be evaluated");
    return std::nullopt;
  };
  if (type == kBetween) {
    auto minimum = doubleFromFilterText(MSRPBMessageGetString(filter, kNumberMinimum));
    auto maximum = doubleFromFilterText(MSRPBMessageGetString(filter, kNumberMaximum));
    if (!minimum || !maximum) return invalid();
    return *minimum <= value && value <= *maximum;
  }
  auto comparison = doubleFromFilterText(MSRPBMessageGetString(filter, kNumberValue));
  if (!comparison) return invalid();
  const double v = *comparison;
  switch (type) {
    case kLessThan:
      return value < v;
    case kGreaterThan:
      return value > v;
    default: {
      // v itself or either neighbouring double: two steps out each way,
      // exclusive.
      constexpr double kInfinity = std::numeric_limits<double>::infinity();
      const double below = std::nextafter(std::nextafter(v, -kInfinity), -kInfinity);
      const double above = std::nextafter(std::nextafter(v, kInfinity), kInfinity);
      return below < value && value < above;
    }
  }
}

MSRAudienceResult MSREvaluateNumberFilterWithInt64(const MSRPBNumberFilter* filter, int64_t value) {
  return MSREvaluateNumberFilterWithDecimal(filter, ns::DecimalNumber(value));
}

MSRAudienceResult MSREvaluateNumberFilterWithDecimal(const MSRPBNumberFilter* filter,
                                                     const ns::DecimalNumber& value) {
  if (!MSRIsValidNumberFilter(filter)) return std::nullopt;
  if (value.isNaN()) return std::nullopt;
  MSRAudienceComparisonValues values = comparisonValues(filter);
  if (!values.valid) {
    log(1, 8015,
        "Parsed decimal number comparison values are not valid. Audience filter will not be evaluated. Filter",
        {describe(filter)});
    return std::nullopt;
  }
  switch (enumValue(filter, kNumberType)) {
    case kLessThan:
      return value < values.comparisonValue;
    case kGreaterThan:
      return value > values.comparisonValue;
    case kEqual:
      return value == values.comparisonValue;
    default:
      return values.minComparisonValue <= value && value <= values.maxComparisonValue;
  }
}

bool MSRValidateStringFilter(const MSRPBStringFilter* filter,
                             std::shared_ptr<const ns::RegularExpression>* expression) {
  if (!filter) return false;
  if (!MSRPBMessageHasField(filter, kStringMatchType)) {
    log(1, 9000, "String filter has no match type");
    return false;
  }
  const uint32_t type = enumValue(filter, kStringMatchType);
  if (type == 0) {
    log(1, 9001, "String filter has unknown match type");
    return false;
  }
  if (type == kInList) {
    auto list = MSRPBMessageGetArray(filter, kStringList);
    if (!list || list->empty() || MSRPBMessageHasField(filter, kStringExpression)) {
      log(1, 9003, "String filter has no expression list");
      return false;
    }
    return true;
  }
  if (!MSRPBMessageHasField(filter, kStringExpression)) {
    log(1, 9002, "String filter has no expression");
    return false;
  }
  if (type == kRegularExpression) {
    const bool caseSensitive = MSRPBMessageGetBool(filter, kStringCaseSensitive);
    ns::Error error;
    auto compiled = ns::RegularExpression::make(MSRPBMessageGetString(filter, kStringExpression).value_or(""),
                                                caseSensitive ? 0u : unsigned{ns::RegularExpression::kCaseInsensitive},
                                                &error);
    if (!compiled) {
      log(1, 9004, "Unable to parse regular expression", {error});
      return false;
    }
    if (expression) *expression = std::move(compiled);
  }
  return true;
}

bool MSRIsValidStringFilter(const MSRPBStringFilter* filter) { return MSRValidateStringFilter(filter, nullptr); }

MSRAudienceResult MSREvaluateStringFilter(const MSRPBStringFilter* filter, const std::optional<std::string>& text) {
  if (!text) {
    log(1, 9005, "Evaluation string is nil. Audience filter will not be evaluated");
    return std::nullopt;
  }
  std::shared_ptr<const ns::RegularExpression> compiled;
  if (!MSRValidateStringFilter(filter, &compiled)) {
    log(1, 9006, "String filter is invalid. Audience filter will not be evaluated");
    return std::nullopt;
  }
  const unsigned options = MSRPBMessageGetBool(filter, kStringCaseSensitive) ? 0u : unsigned{ns::kCaseInsensitive};
  const std::string expression = MSRPBMessageGetString(filter, kStringExpression).value_or("");
  switch (enumValue(filter, kStringMatchType)) {
    case kRegularExpression: {
      ns::Error error;
      auto match = compiled->firstMatch(ns::toUtf16(*text), MSRAudienceRegularExpressionLimit, error);
      if (!error.domain().empty()) {
        // A pattern that backtracks past the bound would hold every event
        // behind it on the worker queue: no answer for this filter.
        log(1, 9007, "Regular expression match exceeded its limit. Audience filter will not be evaluated", {error});
        return std::nullopt;
      }
      return match.has_value();
    }
    case kBeginsWith:
      return ns::rangeOfString(*text, expression, options | ns::kAnchored).location != ns::kNotFound;
    case kEndsWith:
      return ns::rangeOfString(*text, expression, options | ns::kAnchored | ns::kBackwards).location != ns::kNotFound;
    case kContains:
      return ns::rangeOfString(*text, expression, options).location != ns::kNotFound;
    case kExact:
      return equalUnder(*text, expression, options);
    case kInList:
      for (const auto& element : MSRPBMessageGetArray(filter, kStringList).value_or(MSRPBArray{})) {
        const auto* item = std::get_if<ns::Value>(&element);
        if (item && item->asString() && equalUnder(*text, *item->asString(), options)) return true;
      }
      return false;
    default:
      return false;
  }
}

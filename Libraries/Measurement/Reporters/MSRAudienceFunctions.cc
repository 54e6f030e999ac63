#include "Libraries/Measurement/Reporters/MSRAudienceFunctions.h"

#include <algorithm>

#include "Libraries/Measurement/Core/MSRError.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Storage/MSRRemoteConfig.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace {

// Field indexes of the messages.
constexpr int32_t kAudienceID = 0, kAudiencePropertyFilters = 1, kAudienceEventFilters = 2;
constexpr int32_t kEventFilterID = 0, kEventFilterName = 1, kEventFilterParameters = 2, kEventFilterCount = 4;
constexpr int32_t kPropertyFilterID = 0, kPropertyFilterName = 1, kPropertyFilterFilter = 2;
constexpr int32_t kFilterString = 0, kFilterNumber = 1, kFilterParameterName = 3;
constexpr int32_t kNumberMatchAsFloat = 1;
constexpr int32_t kNanoTimestamp = 0, kNanoName = 1, kNanoString = 2, kNanoInt = 3, kNanoDouble = 5;

bool fail(ns::Error* error, int64_t code, const char* description) {
  MSRSetError(error, code, description);
  return false;
}

bool hasName(const NANOMessageBase* message, int32_t index) {
  auto name = MSRPBMessageGetString(message, index);
  return name && !name->empty();
}

// The filter ID rules both kinds share: present, in 0 ..< the maximum, not
// used before within the audience.
bool checkFilterID(const NANOMessageBase* filter, int32_t index, int32_t maxFilters, std::set<int32_t>& used,
                   ns::Error* error, int64_t code, const char* missing, const char* outOfRange,
                   const char* duplicate) {
  if (!MSRPBMessageHasField(filter, index)) return fail(error, code, missing);
  const int32_t id = MSRPBMessageGetInt32(filter, index);
  if (id < 0 || id >= maxFilters) return fail(error, code, outOfRange);
  if (!used.insert(id).second) return fail(error, code, duplicate);
  return true;
}

bool validateEventFilter(const MSRPBEventFilter& filter, int32_t maxFilters, int32_t maxParameters,
                         std::set<int32_t>& used, ns::Error* error) {
  constexpr int64_t code = kMSRInvalidEventFilterCode;
  if (!hasName(&filter, kEventFilterName)) return fail(error, code, "Event filter missing event name");
  if (!checkFilterID(&filter, kEventFilterID, maxFilters, used, error, code, "Missing event filter ID",
                     "Event filter ID is out of range", "Duplicate event filter ID")) {
    return false;
  }
  if (auto count = MSRPBMessageGetMessage<MSRPBNumberFilter>(&filter, kEventFilterCount)) {
    if (MSRPBMessageGetBool(count.get(), kNumberMatchAsFloat)) {
      return fail(error, code, "Event filter has float event count filter");
    }
    if (!MSRIsValidNumberFilter(count.get())) return fail(error, code, "Event filter has invalid event count filter");
  }
  auto parameters = MSRAudienceMessagesOf<MSRPBFilter>(&filter, kEventFilterParameters);
  if (static_cast<int64_t>(parameters.size()) > maxParameters) {
    return fail(error, code, "Event filter parameters filters count out of range");
  }
  for (const auto& parameter : parameters) {
    if (!hasName(parameter.get(), kFilterParameterName)) {
      return fail(error, code, "Event filter missing parameter name");
    }
    auto number = MSRPBMessageGetMessage<MSRPBNumberFilter>(parameter.get(), kFilterNumber);
    auto string = MSRPBMessageGetMessage<MSRPBStringFilter>(parameter.get(), kFilterString);
    if (!number == !string) return fail(error, code, "Event filter must have exactly one of number or string filter");
    if (number && !MSRIsValidNumberFilter(number.get())) {
      return fail(error, code, "Event filter has invalid number filter");
    }
    if (string && !MSRIsValidStringFilter(string.get())) {
      return fail(error, code, "Event filter has invalid string filter");
    }
  }
  return true;
}

bool validatePropertyFilter(const MSRPBPropertyFilter& filter, int32_t maxFilters, std::set<int32_t>& used,
                            ns::Error* error) {
  constexpr int64_t code = kMSRInvalidPropertyFilterCode;
  if (!hasName(&filter, kPropertyFilterName)) return fail(error, code, "Property filter missing property name");
  if (!checkFilterID(&filter, kPropertyFilterID, maxFilters, used, error, code, "Missing property filter ID",
                     "Property filter ID is out of range", "Duplicate property filter ID")) {
    return false;
  }
  auto inner = MSRPBMessageGetMessage<MSRPBFilter>(&filter, kPropertyFilterFilter);
  if (!inner) return fail(error, code, "Property filter has no filter");
  auto number = MSRPBMessageGetMessage<MSRPBNumberFilter>(inner.get(), kFilterNumber);
  auto string = MSRPBMessageGetMessage<MSRPBStringFilter>(inner.get(), kFilterString);
  if (!number == !string) return fail(error, code, "Property filter must have exactly one of number or string filter");
  if (number && !MSRIsValidNumberFilter(number.get())) {
    return fail(error, code, "Property filter has invalid number filter");
  }
  if (string && !MSRIsValidStringFilter(string.get())) {
    return fail(error, code, "Property filter has invalid string filter");
  }
  return true;
}

}  // namespace

bool MSRValidateAudience(const MSRPBAudience& audience, const std::set<int32_t>& acceptedAudienceIDs,
                         ns::Error* error) {
  constexpr int64_t code = kMSRInvalidAudienceCode;
  if (!MSRPBMessageHasField(&audience, kAudienceID)) return fail(error, code, "Missing audience ID");
  const int32_t audienceID = MSRPBMessageGetInt32(&audience, kAudienceID);
  if (audienceID < 0) return fail(error, code, "Audience ID is negative");
  if (acceptedAudienceIDs.contains(audienceID)) return fail(error, code, "Duplicate audience ID");

  auto eventFilters = MSRAudienceMessagesOf<MSRPBEventFilter>(&audience, kAudienceEventFilters);
  auto propertyFilters = MSRAudienceMessagesOf<MSRPBPropertyFilter>(&audience, kAudiencePropertyFilters);
  if (eventFilters.empty() && propertyFilters.empty()) return fail(error, code, "Audience missing filters arrays");
  auto config = MSRMeasurement::remoteConfig();
  const int32_t maxFilters = config->maxFiltersPerAudience();
  const int32_t maxParameters = config->maxParametersPerFilter();
  const size_t count = eventFilters.size() + propertyFilters.size();
  if (count < 1 || count > static_cast<size_t>(std::max(maxFilters, 0))) {
    return fail(error, code, "Audience filter count out of range");
  }
  std::set<int32_t> usedFilterIDs;
  for (const auto& filter : eventFilters) {
    if (!validateEventFilter(*filter, maxFilters, maxParameters, usedFilterIDs, error)) return false;
  }
  for (const auto& filter : propertyFilters) {
    if (!validatePropertyFilter(*filter, maxFilters, usedFilterIDs, error)) return false;
  }
  return true;
}

MSRAudienceResult MSREvaluateEventFilterRow(const MSREventFilter& filter, const MSRValueMap& parameters,
                                            const MSREventAggregates* aggregates) {
  auto message = filter.data().empty() ? nullptr : MSRPBEventFilter::initWithBuffer(filter.data());
  if (!message) {
    MSRMeasurement::monitor()->logWithLevel(
        1, 6035,
        "Event filter contains no data or corrupt data. Event will not be evaluated. Event name, filter ID, audience "
        "ID, dynamic",
        {filter.eventName(), filter.filterID(), filter.audienceID(), filter.isDynamic()});
    return std::nullopt;
  }
  return MSREvaluateEventFilter(message.get(), filter.eventName(), parameters, aggregates);
}

MSRAudienceResult MSREvaluatePropertyFilterRow(const MSRPropertyFilter& filter, const MSRUserAttribute* attribute) {
  auto message = filter.data().empty() ? nullptr : MSRPBPropertyFilter::initWithBuffer(filter.data());
  if (!message) {
    MSRMeasurement::monitor()->logWithLevel(
        1, 6036,
        "User property filter contains no data or corrupt data. User property will not be evaluated. User property "
        "name, filter ID, audience ID, dynamic",
        {filter.propertyName(), filter.filterID(), filter.audienceID(), filter.isDynamic()});
    return std::nullopt;
  }
  return MSREvaluatePropertyFilter(message.get(), attribute);
}

bool MSRShouldEvaluateFilter(bool alreadyTrue, const MSRAudienceFilter& filter) {
  if (!alreadyTrue) return true;
  return filter.isDynamic() || filter.isSequence() || filter.isSessionScoped();
}

bool MSRShouldReplacePropertyResult(bool result, const MSRAudienceFilter& filter) {
  return result || (filter.isDynamic() && !filter.isSessionScoped());
}

bool MSRHasAnyBitSet(const std::vector<uint64_t>& words) {
  return std::any_of(words.begin(), words.end(), [](uint64_t word) { return word != 0; });
}

int32_t MSRFilterWordIndex(int32_t filterID) { return filterID / 64; }
int32_t MSRFilterBitIndex(int32_t filterID) { return filterID % 64; }

std::shared_ptr<MSRUserAttribute> MSRUserAttributeFromNano(const MSRPBUserAttribute& property) {
  std::optional<MSRValue> value;
  if (auto text = MSRPBMessageGetString(&property, kNanoString)) {
    value = MSRValue::initWithString(*text);
  } else if (MSRPBMessageHasField(&property, kNanoDouble)) {
    value = MSRValue::initWithDouble(MSRPBMessageGetDouble(&property, kNanoDouble));
  } else if (MSRPBMessageHasField(&property, kNanoInt)) {
    value = MSRValue::initWithInt64(MSRPBMessageGetInt64(&property, kNanoInt));
  }
  std::shared_ptr<MSRUserAttribute> attribute;
  if (value) {
    const double setTime = static_cast<double>(MSRPBMessageGetInt64(&property, kNanoTimestamp)) / 1000.0;
    attribute = MSRUserAttribute::initWithOrigin("", MSRPBMessageGetString(&property, kNanoName).value_or(""), *value,
                                                 setTime);
  }
  if (!attribute) MSRMeasurement::monitor()->logWithLevel(2, 6039, "Could not convert user property from nano format.");
  return attribute;
}

#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <vector>

#include "Libraries/Measurement/Core/MSREvent.h"
#include "Libraries/Measurement/Core/MSREventNameMap.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRNSStringAdditions.h"
#include "Libraries/Measurement/Storage/MSRUserPropertyNameMap.h"
#include "Platform/Foundation/StringCompare.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {

constexpr const char* kForwardedSuffix = "+ztm";
constexpr int64_t kMaxNameLength = 40;
constexpr int64_t kMaxItems = 200;

void setCode(int64_t* failureCode, int64_t code) {
  if (failureCode) *failureCode = code;
}

std::shared_ptr<MSRMonitor> monitor() { return MSRMeasurement::monitor(); }

// Messages about values are warnings (level 3); about names errors (0).
int64_t levelForKind(int64_t kind) {
  return kind == MSRDataKindEventParameterValue || kind == MSRDataKindUserPropertyValue ? 3 : 0;
}

std::vector<UChar32> scalars(std::string_view text) {
  std::vector<UChar32> out;
  int32_t i = 0, length = static_cast<int32_t>(text.size());
  while (i < length) {
    UChar32 c;
    U8_NEXT(text.data(), i, length, c);
    out.push_back(c);
  }
  return out;
}

bool isLetter(UChar32 c) {
  if (c < 0) return false;
  int8_t type = u_charType(c);
  return type >= U_UPPERCASE_LETTER && type <= U_OTHER_LETTER;
}

bool isNameCharacter(UChar32 c) { return c == '_' || isLetter(c) || (c >= 0 && u_charType(c) == U_DECIMAL_DIGIT_NUMBER); }

// A reserved name or prefix: code 4 and the message (level 0).
bool refuseReserved(int64_t* failureCode, int64_t messageCode, const char* message, const std::string& name) {
  setCode(failureCode, 4);
  monitor()->logWithLevel(0, messageCode, message, name);
  return false;
}

bool isNil(const ns::Value* object) { return !object || object->isNull(); }

const MSRValue* valueObject(const MSRValueCandidate& candidate) { return std::get_if<MSRValue>(&candidate); }

}  // namespace

bool MSRDataTypeValidator::hasReservedPrefixes(std::string_view name) {
  for (std::string_view prefix : {"dozaveve_", "zorori_", "za_"}) {
    if (name.starts_with(prefix)) return true;
  }
  return false;
}

bool MSRDataTypeValidator::isValidString(const ns::Value* object, int64_t minLength, int64_t maxLength,
                                         int64_t dataKind, int64_t* failureCode) {
  setCode(failureCode, 0);
  int64_t level = levelForKind(dataKind);
  if (isNil(object)) {
    setCode(failureCode, 1);
    monitor()->logWithLevel(level, 13001, MSRDataKindLabel(dataKind, " is required and can't be nil"));
    return false;
  }
  const std::string* text = object->asString();
  if (!text) {
    setCode(failureCode, 5);
    monitor()->logWithLevel(level, 13000, MSRDataKindLabel(dataKind, " must be of type NSString"), *object);
    return false;
  }
  if (text->empty() && minLength >= 1) {
    setCode(failureCode, 1);
    if (level == 0) monitor()->logWithLevel(level, 13001, MSRDataKindLabel(dataKind, " is required and can't be empty"));
    return false;
  }
  auto length = static_cast<int64_t>(msr_UTF32Length(*text));
  if (length > maxLength) {
    setCode(failureCode, 2);
    monitor()->logWithLevel(
        level, 13000,
        MSRDataKindLabel(dataKind, ns::format(" is too long. The maximum supported length is %lld", (long long)maxLength)),
        *text);
    return false;
  }
  if (length < minLength) {
    setCode(failureCode, 7);
    monitor()->logWithLevel(
        level, 13000,
        MSRDataKindLabel(dataKind, ns::format(" is too short. The minimum supported length is %lld", (long long)minLength)),
        *text);
    return false;
  }
  return true;
}

bool MSRDataTypeValidator::isValidInternalName(const ns::Value* object, int64_t maxLength, int64_t dataKind,
                                               int64_t* failureCode) {
  if (!isValidString(object, 1, maxLength, dataKind, failureCode)) return false;
  const std::string& text = *object->asString();
  for (UChar32 c : scalars(text)) {
    if (!isNameCharacter(c)) {
      setCode(failureCode, 3);
      monitor()->logWithLevel(0, 13002, MSRDataKindLabel(dataKind, " must contain only letters, numbers, or underscores"),
                              text);
      return false;
    }
  }
  return true;
}

bool MSRDataTypeValidator::isValidPublicName(const ns::Value* object, int64_t maxLength, int64_t dataKind,
                                             int64_t* failureCode) {
  if (!isValidInternalName(object, maxLength, dataKind, failureCode)) return false;
  if (!isLetter(scalars(*object->asString()).front())) {
    setCode(failureCode, 3);
    monitor()->logWithLevel(0, 13003, MSRDataKindLabel(dataKind, " must start with a letter"), *object->asString());
    return false;
  }
  return true;
}

bool MSRDataTypeValidator::isValidValue(const MSRValueCandidate& object, int64_t minLength, int64_t maxLength,
                                        int64_t dataKind, int64_t* failureCode) {
  if (!MSRValidateValueObject(object, dataKind, failureCode)) return false;
  std::optional<std::string> text = valueObject(object)->stringValue();
  if (!text) return true;
  ns::Value string(*text);
  return isValidString(&string, minLength, maxLength, dataKind, failureCode);
}

bool MSRDataTypeValidator::isValidPublicEventName(const ns::Value* name, int64_t* failureCode) {
  if (!isValidPublicName(name, kMaxNameLength, MSRDataKindEventName, failureCode)) return false;
  const std::string& text = *name->asString();
  if (text == "screen_view") return true;
  if (MSREventNameMap().contains(text) && !MSRAdImpressionEventNameMap().contains(text)) {
    return refuseReserved(failureCode, 13006, "Event name is reserved. Ignoring event", text);
  }
  if (hasReservedPrefixes(text)) {
    return refuseReserved(failureCode, 13007, "Event name uses reserved prefix. Ignoring event", text);
  }
  return true;
}

bool MSRDataTypeValidator::isValidInternalEventName(const ns::Value* name, int64_t* failureCode) {
  return isValidInternalName(name, kMaxNameLength, MSRDataKindEventName, failureCode);
}

bool MSRDataTypeValidator::isValidPublicEventParameterName(const ns::Value* name, int64_t* failureCode) {
  if (!isValidPublicName(name, kMaxNameLength, MSRDataKindEventParameterName, failureCode)) return false;
  if (hasReservedPrefixes(*name->asString())) {
    setCode(failureCode, 4);
    monitor()->logWithLevel(0, 13008, "Parameter name uses reserved prefix. Ignoring parameter", *name->asString());
    return false;
  }
  return true;
}

bool MSRDataTypeValidator::isValidInternalEventParameterName(const ns::Value* name, int64_t* failureCode) {
  return isValidInternalName(name, kMaxNameLength, MSRDataKindEventParameterName, failureCode);
}

bool MSRDataTypeValidator::isValidPublicEventParameterValue(const MSRValueCandidate& value, int64_t* failureCode) {
  return isValidValue(value, 0, MSRMeasurement::remoteConfig()->maxPublicEventParameterValueLength(),
                      MSRDataKindEventParameterValue, failureCode);
}

bool MSRDataTypeValidator::isValidInternalEventParameterValue(const MSRValueCandidate& value, int64_t* failureCode) {
  return isValidValue(value, 0, MSRMeasurement::remoteConfig()->maxInternalEventParameterValueLength(),
                      MSRDataKindEventParameterValue, failureCode);
}

bool MSRDataTypeValidator::isValidInternalEventOrigin(const ns::Value* origin, int64_t* failureCode) {
  return isValidInternalName(origin, 32, MSRDataKindEventOrigin, failureCode);
}

bool MSRDataTypeValidator::isValidForwardedEventOrigin(const ns::Value* origin, int64_t* failureCode) {
  setCode(failureCode, 0);
  const std::string* text = isNil(origin) ? nullptr : origin->asString();
  if (isNil(origin) || (text && text->empty())) {
    setCode(failureCode, 1);
    return false;
  }
  if (!text || !text->ends_with(kForwardedSuffix)) {
    setCode(failureCode, 6);
    return false;
  }
  ns::Value base(text->substr(0, text->size() - std::string_view(kForwardedSuffix).size()));
  return isValidInternalName(&base, 32, MSRDataKindEventOrigin, failureCode);
}

bool MSRDataTypeValidator::isValidPublicUserAttributeName(const ns::Value* name, int64_t* failureCode) {
  if (!isValidPublicName(name, 24, MSRDataKindUserPropertyName, failureCode)) return false;
  const std::string& text = *name->asString();
  if (MSRUserPropertyNameMap().contains(text)) {
    return refuseReserved(failureCode, 13009, "User property name is reserved. Ignoring user property", text);
  }
  if (hasReservedPrefixes(text)) {
    return refuseReserved(failureCode, 13010, "User property name uses reserved prefix. Ignoring user property", text);
  }
  return true;
}

bool MSRDataTypeValidator::isValidPublicUserAttributeValue(const MSRValueCandidate& value, int64_t* failureCode) {
  return isValidValue(value, 1, 36, MSRDataKindUserPropertyValue, failureCode);
}

bool MSRDataTypeValidator::isValidInternalUserAttributeName(const ns::Value* name, int64_t* failureCode) {
  return isValidInternalName(name, 24, MSRDataKindUserPropertyName, failureCode);
}

bool MSRDataTypeValidator::isValidInternalUserAttributeValue(const MSRValueCandidate& value, const std::string& name,
                                                             int64_t* failureCode) {
  bool longValue = name == "_id" || name == "_gbraid" || name == "_psmvalue";
  return isValidValue(value, 1, longValue ? 256 : 36, MSRDataKindUserPropertyValue, failureCode);
}

bool MSRDataTypeValidator::isValidScreenParameterValue(const ns::Value* value, int64_t* failureCode) {
  return isValidString(value, 1, 100, MSRDataKindScreenParameterValue, failureCode);
}

bool MSRDataTypeValidator::isValidConditionalUserPropertyOrigin(const ns::Value* origin, int64_t* failureCode) {
  return isValidInternalName(origin, 32, MSRDataKindConditionalUserPropertyOrigin, failureCode);
}

bool MSRDataTypeValidator::isValidConditionalUserPropertyName(const ns::Value* name, int64_t* failureCode) {
  return isValidInternalName(name, 24, MSRDataKindConditionalUserPropertyName, failureCode);
}

bool MSRDataTypeValidator::isValidConditionalUserPropertyValue(const MSRValueCandidate& value, int64_t* failureCode) {
  return isValidValue(value, 1, 36, MSRDataKindConditionalUserPropertyValue, failureCode);
}

bool MSRDataTypeValidator::isValidNumericValue(const MSRValueCandidate& value, int64_t* failureCode) {
  if (!MSRValidateValueObject(value, MSRDataKindEventParameterValue, failureCode)) return false;
  const MSRValue& object = *valueObject(value);
  if (object.isInt64() || object.isDouble()) return true;
  setCode(failureCode, 8);
  monitor()->logWithLevel(3, 13011,
                          MSRDataKindLabel(MSRDataKindEventParameterValue, " must be specified with a numeric type. value"),
                          object.stringValue() ? ns::Value(*object.stringValue()) : ns::Value());
  return false;
}

bool MSRDataTypeValidator::isValidCurrencyCode(const MSRValueCandidate& value, int64_t* failureCode) {
  setCode(failureCode, 0);
  const MSRValue* object = valueObject(value);
  std::optional<std::string> text = object ? object->stringValue() : std::nullopt;
  bool valid = text && ns::utf16Length(*text) == 3;
  if (valid) {
    for (UChar32 c : scalars(*text)) valid = valid && isLetter(c);
  }
  if (valid) return true;
  setCode(failureCode, 9);
  monitor()->logWithLevel(
      3, 13012,
      MSRDataKindLabel(MSRDataKindEventParameterValue, " must contain a 3-letter ISO_4217 currency code. value"),
      object ? ns::Value(object->description()) : ns::Value());
  return false;
}

bool MSRDataTypeValidator::isValidArrayParamForEvent(const std::string& eventName, const std::string& paramName,
                                                     uint64_t arrayCount, bool isNestedArrayParam,
                                                     int64_t* failureCode) {
  setCode(failureCode, 0);
  if (isNestedArrayParam) {
    setCode(failureCode, 13);
    monitor()->logWithLevel(0, 13013, "Nested array parameters are not allowed. Name", paramName);
    return false;
  }
  if (!MSREcommerceEventNames().contains(eventName)) {
    setCode(failureCode, 10);
    monitor()->logWithLevel(
        0, 13013, "Only ecommerce events are allowed to contain array parameters. Invalid ecommerce name", eventName);
    return false;
  }
  if (paramName != "items") {
    setCode(failureCode, 11);
    monitor()->logWithLevel(0, 13013,
                            MSRDataKindLabel(MSRDataKindEventParameterName,
                                             " is an invalid ecommerce items. The name of array parameters for "
                                             "ecommerce should be \"items\". Invalid parameter name"),
                            paramName);
    return false;
  }
  if (arrayCount > static_cast<uint64_t>(kMaxItems)) {
    setCode(failureCode, 12);
    monitor()->logWithLevel(0, 13013,
                            "Array parameter has too many items. The maximum number of supported items is 200. "
                            "Invalid array size",
                            static_cast<int64_t>(arrayCount));
    return false;
  }
  return true;
}

bool MSRDataTypeValidator::isValidArrayParamItem(const ns::Value& item, int64_t* failureCode) {
  setCode(failureCode, 0);
  if (item.asDictionary()) return true;
  setCode(failureCode, 14);
  monitor()->logWithLevel(0, 13014, "Array param must be a dictionary. Parameters", item);
  return false;
}

const std::map<int64_t, std::string>& MSRErrorCodeNameMap() {
  static const auto* map = new std::map<int64_t, std::string>{
      {0, "NoError"},
      {1, "InvalidZMPAppID"},
      {2, "InvalidEventName"},
      {3, "InvalidParameterName"},
      {4, "InvalidParameterValue"},
      {5, "ParameterLimitReached"},
      {6, "InvalidUserPropertyName"},
      {7, "UserPropertyValueTooLong"},
      {8, "EventLimitReached"},
      {9, "UserPropertyLimitReached"},
      {10, "ConversionEventLimitReached"},
      {11, "EventIsBlocked"},
      {12, "UserPropertyIsBlocked"},
      {13, "EventNameIsReserved"},
      {14, "ParameterNameIsReserved"},
      {15, "UserPropertyNameIsReserved"},
      {16, "PublicEventLimitReached"},
      {17, "TooManyExtraParamEvents"},
      {18, "ValueIsNotNumeric"},
      {19, "CurrencyCodeIsMissingOrInvalid"},
      {20, "InvalidArrayParamName"},
      {21, "InvalidArrayParamEventName"},
      {22, "InvalidArrayParamNesting"},
      {23, "CustomParamsInArrayElement"},
      {28, "ItemScopedCustomParameterLimitReached"},
  };
  return *map;
}

const std::set<std::string, std::less<>>& MSREcommerceEventNames() {
  static const auto* names = new std::set<std::string, std::less<>>{
      "add_payment_info", "add_shipping_info", "add_to_cart",        "add_to_wishlist", "begin_checkout",
      "purchase",         "refund",            "remove_from_cart",   "select_item",     "select_promotion",
      "view_cart",        "view_item",         "view_item_list",     "view_promotion",  "ecommerce_purchase",
      "checkout_progress", "purchase_refund",  "select_content",     "set_checkout_option", "view_search_results",
  };
  return *names;
}

const std::set<std::string, std::less<>>& MSREcommerceItemParameterNames() {
  static const auto* names = new std::set<std::string, std::less<>>{
      "affiliation",    "coupon",         "creative_name",  "creative_slot",  "currency",       "discount",
      "index",          "item_id",        "item_brand",     "item_category",  "item_category2", "item_category3",
      "item_category4", "item_category5", "item_list_name", "item_list_id",   "item_name",      "item_variant",
      "location_id",    "payment_type",   "price",          "promotion_id",   "promotion_name", "quantity",
      "shipping",       "shipping_tier",  "tax",            "transaction_id", "value",          "checkout_step",
      "checkout_option", "item_list",     "item_location_id",
  };
  return *names;
}

bool MSRIsPublicName(const ns::Value* name) {
  const std::string* text = isNil(name) ? nullptr : name->asString();
  if (!text) {
    monitor()->logWithLevel(2, 18002, "Cannot check the name. Name is not a string");
    return false;
  }
  return MSRIsPublicName(*text);
}

bool MSRIsPublicName(std::string_view name) {
  if (name.empty()) {
    monitor()->logWithLevel(2, 18003, "Cannot check the name. Name is empty");
    return false;
  }
  return name.front() != '_';
}

bool MSRIsErrorEvent(const MSREvent& event) {
  if (event.name().empty()) {
    monitor()->logWithLevel(2, 18004, "Cannot check the event name. Name is empty");
    return false;
  }
  return event.name() == "_err";
}

std::string MSRTrimmedName(const std::string& name, int64_t maxLength) {
  if (static_cast<int64_t>(msr_UTF32Length(name)) <= maxLength) return name;
  int32_t i = 0, length = static_cast<int32_t>(name.size());
  for (int64_t n = 0; n < maxLength && i < length; ++n) U8_FWD_1(name.data(), i, length);
  return name.substr(0, static_cast<size_t>(i)) + "...";
}

void MSRSetErrorCodeIfAbsent(MSRValueMap& parameters, int64_t code) {
  if (!parameters.contains("_err")) parameters.insert_or_assign("_err", MSRValue::initWithInt64(code));
}

void MSRSetErrorValueParameters(MSRValueMap& parameters, const std::string& name, int64_t maxLength,
                                const std::optional<MSRValue>& value) {
  if (parameters.contains("_ev") || parameters.contains("_el")) return;
  parameters.insert_or_assign("_ev", MSRValue::initWithString(MSRTrimmedName(name, maxLength)));
  if (!value) return;
  int64_t length = 0;
  if (auto text = value->stringValue()) length = static_cast<int64_t>(msr_UTF32Length(*text));
  if (const auto* items = value->arrayValue()) length = static_cast<int64_t>(items->size());
  parameters.insert_or_assign("_el", MSRValue::initWithInt64(length));
}

void MSRSetErrorParameters(MSRValueMap& parameters, int64_t code, const std::string& name, int64_t maxLength,
                           const std::optional<MSRValue>& value) {
  if (parameters.contains("_ev") || parameters.contains("_el") || parameters.contains("_err")) return;
  parameters.insert_or_assign("_err", MSRValue::initWithInt64(code));
  MSRSetErrorValueParameters(parameters, name, maxLength, value);
}

namespace {

bool countsAsCustom(const std::string& name, bool isItem) {
  if (name.empty() || name.front() == '_') return false;
  return !isItem || !MSREcommerceItemParameterNames().contains(name);
}

}  // namespace

int64_t MSRCountCustomParameters(const MSRValueMap& parameters, bool isItem) {
  int64_t count = 0;
  for (const auto& [name, value] : parameters) count += countsAsCustom(name, isItem) ? 1 : 0;
  return count;
}

void MSRTrimCustomParameters(MSRValueMap& parameters, int64_t limit, bool isItem) {
  int64_t count = MSRCountCustomParameters(parameters, isItem);
  if (count <= limit) return;
  std::vector<std::string> names;
  for (const auto& [name, value] : parameters) names.push_back(name);
  // UTF-16 order, which differs from the map's byte order above U+FFFF.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return ns::compare(a, b, ns::kLiteral) == ns::ComparisonResult::Ascending;
  });
  for (auto it = names.rbegin(); it != names.rend() && count > limit; ++it) {
    if (!countsAsCustom(*it, isItem)) continue;
    parameters.erase(*it);
    --count;
  }
}

uint64_t MSRArrayItemCount(const MSREvent& event) {
  uint64_t count = 0;
  for (const auto& [name, value] : event.parameters()) {
    if (const auto* items = value.arrayValue()) count += items->size();
  }
  return count;
}

bool MSRHasScreenParameters(const MSRValueMap& parameters) {
  return parameters.contains("_si") || parameters.contains("_sc") || parameters.contains("_sn");
}

MSRValueMap MSRScreenParameters(const MSRValueMap& parameters) {
  MSRValueMap out;
  for (const char* name : {"_si", "_sc", "_sn"}) {
    auto it = parameters.find(name);
    if (it != parameters.end()) out.insert(*it);
  }
  return out;
}

bool MSRValidateValueAndCurrency(MSRValueMap& parameters) {
  auto value = parameters.find("value");
  if (value == parameters.end()) return true;
  if (MSRDataTypeValidator::isValidNumericValue(value->second)) {
    auto currency = parameters.find("currency");
    if (currency != parameters.end() && MSRDataTypeValidator::isValidCurrencyCode(currency->second)) return true;
    monitor()->logWithLevel(3, 18014,
                            "Value parameter discarded. You must also supply a 3-letter ISO_4217 currency code in the "
                            "currency parameter.");
    parameters.erase(value);
    MSRSetErrorParameters(parameters, 19, "currency", 256, std::nullopt);
    return false;
  }
  parameters.erase(value);
  MSRSetErrorParameters(parameters, 18, "value", 256, std::nullopt);
  return false;
}

namespace {

std::optional<MSRValueMap> validated(const MSRParameterInput& parameters, const std::string& eventName, bool isPublic,
                                     bool isArrayItem);

// The items of a plain array parameter cleaned one by one; none when the
// array may not be here at all. Too many items keeps the first 200.
std::optional<MSRValue> convertedArray(const ns::Array& array, const std::string& paramName,
                                       const std::string& eventName, MSRValueMap& errors, bool isNested,
                                       bool isPublic, int64_t* failureCode) {
  if (!MSRDataTypeValidator::isValidArrayParamForEvent(eventName, paramName, array.size(), isNested, failureCode) &&
      *failureCode != 12) {
    return std::nullopt;
  }
  size_t count = std::min<size_t>(array.size(), kMaxItems);
  std::vector<MSRValueMap> items;
  for (size_t i = 0; i < count; ++i) {
    int64_t itemCode = 0;
    if (!MSRDataTypeValidator::isValidArrayParamItem(array[i], &itemCode)) {
      MSRSetErrorParameters(errors, 4, ns::format("%s[%lu]", paramName.c_str(), (unsigned long)i), kMaxNameLength,
                            std::nullopt);
      continue;
    }
    MSRParameterInput item;
    for (const auto& [name, entry] : *array[i].asDictionary()) item.emplace(name, entry);
    if (auto cleaned = validated(item, eventName, isPublic, true)) items.push_back(std::move(*cleaned));
  }
  return MSRValue::initWithArray(std::move(items));
}

std::optional<MSRValueMap> validated(const MSRParameterInput& parameters, const std::string& eventName, bool isPublic,
                                     bool isArrayItem) {
  if (parameters.empty()) return std::nullopt;
  bool isInternalEvent = MSREventNameMap().contains(eventName) || eventName.starts_with("_");
  auto errorPresent = [](const MSRValueMap& errors) { return errors.contains("_err"); };
  // The error parameters the input already carries are the first problem:
  // nothing recorded now replaces them.
  MSRValueMap errors;
  for (const char* errorName : {"_err", "_ev", "_el"}) {
    auto it = parameters.find(errorName);
    if (it == parameters.end()) continue;
    if (const MSRValue* given = std::get_if<MSRValue>(&it->second)) {
      errors.insert_or_assign(errorName, *given);
    } else if (const ns::Value* plain = std::get_if<ns::Value>(&it->second); plain && !plain->isNull()) {
      if (auto value = MSRValue::valueFromObject(*plain)) errors.insert_or_assign(errorName, *value);
    }
  }
  MSRValueMap kept;       // entries kept, as value objects
  MSRValueMap converted;  // kept entries that were plain objects, converted; they win over errors
  for (const auto& [name, candidate] : parameters) {
    int64_t failureCode = 0;
    ns::Value nameObject(name);
    bool nameValid = isPublic ? MSRDataTypeValidator::isValidPublicEventParameterName(&nameObject, &failureCode) &&
                                    MSRDataTypeValidator::isValidInternalEventParameterName(&nameObject, &failureCode)
                              : MSRDataTypeValidator::isValidInternalEventParameterName(&nameObject, &failureCode);
    if (!nameValid) {
      if (!errorPresent(errors)) {
        bool long_ = static_cast<int64_t>(msr_UTF32Length(name)) > kMaxNameLength;
        MSRSetErrorParameters(errors, failureCode == 4 ? 14 : 3, name, kMaxNameLength,
                              long_ ? std::optional<MSRValue>(MSRValue::initWithString(name)) : std::nullopt);
      }
      continue;
    }
    const MSRValue* given = std::get_if<MSRValue>(&candidate);
    const ns::Value* plain = std::get_if<ns::Value>(&candidate);
    const ns::Array* plainArray = plain && !plain->isNull() ? plain->asArray() : nullptr;
    std::optional<MSRValue> value;
    if (given) {
      value = *given;
    } else if (plainArray) {
      value = MSRValue::initWithArray({});  // stands in until the items are converted below
    } else {
      value = MSRValue::valueFromObject(plain && !plain->isNull() ? plain : nullptr, true);
    }
    if (!value) {
      monitor()->logWithLevel(3, 18015, "Event parameter value must be of type NSString, NSNumber or NSArray. Type",
                              plain ? plain->description() : std::string("nil"));
      continue;
    }
    bool keep = true;
    if (isPublic && !MSRDataTypeValidator::isValidPublicEventParameterValue(*value, &failureCode)) keep = false;
    if (keep && name == "_ev") {
      std::optional<std::string> text = value->stringValue();
      if (text && msr_UTF32Length(*text) > 256 && !(msr_UTF32Length(*text) == 259 && text->ends_with("...")) &&
          !errors.contains("_el")) {
        errors.erase("_ev");
        MSRSetErrorValueParameters(errors, *text, 256, value);
      }
    } else if (keep && isInternalEvent &&
               !MSRDataTypeValidator::isValidInternalEventParameterValue(*value, &failureCode)) {
      keep = false;
    }
    if (keep && plainArray) {
      value = convertedArray(*plainArray, name, eventName, errors, isArrayItem, isPublic, &failureCode);
      keep = value.has_value();
    }
    if (!keep && failureCode == 2 && !errorPresent(errors)) {
      MSRSetErrorParameters(errors, 4, name, kMaxNameLength, value && value->isString() ? value : std::nullopt);
    }
    if (plainArray && failureCode != 0) {
      switch (failureCode) {
        case 10: MSRSetErrorParameters(errors, 21, eventName, kMaxNameLength, std::nullopt); break;
        case 11: MSRSetErrorParameters(errors, 20, name, kMaxNameLength, std::nullopt); break;
        case 12: MSRSetErrorParameters(errors, 17, name, kMaxNameLength, std::nullopt); break;
        case 13: MSRSetErrorParameters(errors, 22, name, kMaxNameLength, std::nullopt); break;
        default: break;
      }
    }
    if (!keep) continue;
    kept.insert_or_assign(name, *value);
    if (!given) converted.insert_or_assign(name, *value);
  }
  MSRValueMap result = std::move(kept);
  for (const auto& [name, value] : errors) result.insert_or_assign(name, value);
  for (const auto& [name, value] : converted) result.insert_or_assign(name, value);

  auto config = MSRMeasurement::remoteConfig();
  if (isArrayItem) {
    int64_t limit = config->itemScopedCustomParameterEnabled() ? config->maxItemScopedCustomParameters() : 0;
    if (MSRCountCustomParameters(result, true) > limit) {
      MSRTrimCustomParameters(result, limit, true);
      MSRSetErrorCodeIfAbsent(result, limit != 0 ? 28 : 23);
      monitor()->logWithLevel(0, 18016, "Item cannot contain custom parameters");
    }
  } else {
    int64_t limit = config->maxPublicEventParams();
    if (MSRCountCustomParameters(result, false) > limit) {
      MSRTrimCustomParameters(result, limit, false);
      MSRSetErrorCodeIfAbsent(result, 5);
      monitor()->logWithLevel(1, 18017, ns::format("Event cannot contain more than %lld parameters", (long long)limit));
    }
  }
  return result;
}

}  // namespace

std::optional<MSRValueMap> MSRValidatedEventParameters(const MSRParameterInput& parameters,
                                                       const std::string& eventName, bool isPublic,
                                                       bool isArrayItem) {
  return validated(parameters, eventName, isPublic, isArrayItem);
}

std::optional<MSRValueMap> MSRValidatedEventParameters(const MSRValueMap& parameters, const std::string& eventName,
                                                       bool isPublic, bool isArrayItem) {
  MSRParameterInput input;
  for (const auto& [name, value] : parameters) input.emplace(name, value);
  return validated(input, eventName, isPublic, isArrayItem);
}

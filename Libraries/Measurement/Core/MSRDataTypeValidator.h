// The engine's rules for names and values, and the cleaning every event's
// parameters go through before they are stored.
//
// Every check answers whether the input passes and, through the optional
// failure code (set to 0 first), why not (1 missing or empty, 2 too long,
// 3 bad character or not starting with a letter, 4 reserved, 5 wrong type,
// 6 forwarded origin without "+ztm", 7 too short, 8 not numeric, 9 not a
// currency code, 10 to 14 array parameter problems). Each failing check
// logs at most one monitor message. Letters are Unicode letters (combining
// marks are not); name characters add decimal digits and "_". Lengths count
// Unicode scalar values. Any thread.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "Libraries/Measurement/Core/MSRValue.h"
#include "Libraries/Measurement/Storage/MSRDataKind.h"

class MSREvent;

class MSRDataTypeValidator {
 public:
  // Whether the name begins with one of the prefixes only the engine may
  // use: "dozaveve_", "zorori_" or "za_" (case matters).
  static bool hasReservedPrefixes(std::string_view name);

  // Building blocks. `object` null stands for nil.
  static bool isValidString(const ns::Value* object, int64_t minLength, int64_t maxLength, int64_t dataKind,
                            int64_t* failureCode = nullptr);
  static bool isValidInternalName(const ns::Value* object, int64_t maxLength, int64_t dataKind,
                                  int64_t* failureCode = nullptr);
  static bool isValidPublicName(const ns::Value* object, int64_t maxLength, int64_t dataKind,
                                int64_t* failureCode = nullptr);
  static bool isValidValue(const MSRValueCandidate& object, int64_t minLength, int64_t maxLength, int64_t dataKind,
                           int64_t* failureCode = nullptr);

  static bool isValidPublicEventName(const ns::Value* name, int64_t* failureCode = nullptr);
  static bool isValidInternalEventName(const ns::Value* name, int64_t* failureCode = nullptr);
  static bool isValidPublicEventParameterName(const ns::Value* name, int64_t* failureCode = nullptr);
  static bool isValidInternalEventParameterName(const ns::Value* name, int64_t* failureCode = nullptr);
  static bool isValidPublicEventParameterValue(const MSRValueCandidate& value, int64_t* failureCode = nullptr);
  static bool isValidInternalEventParameterValue(const MSRValueCandidate& value, int64_t* failureCode = nullptr);
  static bool isValidInternalEventOrigin(const ns::Value* origin, int64_t* failureCode = nullptr);
  static bool isValidForwardedEventOrigin(const ns::Value* origin, int64_t* failureCode = nullptr);
  static bool isValidPublicUserAttributeName(const ns::Value* name, int64_t* failureCode = nullptr);
  static bool isValidPublicUserAttributeValue(const MSRValueCandidate& value, int64_t* failureCode = nullptr);
  static bool isValidInternalUserAttributeName(const ns::Value* name, int64_t* failureCode = nullptr);
  // 256 characters for "_id", "_gbraid" and "_psmvalue", else 36.
  static bool isValidInternalUserAttributeValue(const MSRValueCandidate& value, const std::string& name,
                                                int64_t* failureCode = nullptr);
  // A plain string of 1 to 100 characters (not a value object).
  static bool isValidScreenParameterValue(const ns::Value* value, int64_t* failureCode = nullptr);
  static bool isValidConditionalUserPropertyOrigin(const ns::Value* origin, int64_t* failureCode = nullptr);
  static bool isValidConditionalUserPropertyName(const ns::Value* name, int64_t* failureCode = nullptr);
  static bool isValidConditionalUserPropertyValue(const MSRValueCandidate& value, int64_t* failureCode = nullptr);
  static bool isValidNumericValue(const MSRValueCandidate& value, int64_t* failureCode = nullptr);
  // Exactly three UTF-16 units, all letters, of a string value.
  static bool isValidCurrencyCode(const MSRValueCandidate& value, int64_t* failureCode = nullptr);
  static bool isValidArrayParamForEvent(const std::string& eventName, const std::string& paramName,
                                        uint64_t arrayCount, bool isNestedArrayParam, int64_t* failureCode = nullptr);
  static bool isValidArrayParamItem(const ns::Value& item, int64_t* failureCode = nullptr);
};

// Parameters as they reach the engine: plain objects (strings, numbers,
// arrays of dictionaries) or value objects.
using MSRParameterInput = std::map<std::string, MSRValueCandidate>;

// The name of an "_err" code for logs ("ParameterLimitReached"); none for
// a code without one.
const std::map<int64_t, std::string>& MSRErrorCodeNameMap();
const std::set<std::string, std::less<>>& MSREcommerceEventNames();
const std::set<std::string, std::less<>>& MSREcommerceItemParameterNames();

// The parameters with what is invalid dropped, what is too long trimmed
// and the first problem recorded as "_err" (and "_ev"/"_el"); none for no
// parameters. See the .cc for the order of the rules.
std::optional<MSRValueMap> MSRValidatedEventParameters(const MSRParameterInput& parameters,
                                                       const std::string& eventName, bool isPublic,
                                                       bool isArrayItem);
std::optional<MSRValueMap> MSRValidatedEventParameters(const MSRValueMap& parameters, const std::string& eventName,
                                                       bool isPublic, bool isArrayItem);

// A non-empty name whose first character is not "_".
bool MSRIsPublicName(const ns::Value* name);
bool MSRIsPublicName(std::string_view name);
bool MSRIsErrorEvent(const MSREvent& event);

// Whether "value" (when present) is numeric with a valid "currency"; when
// not, "value" is removed and the problem recorded (19 or 18).
bool MSRValidateValueAndCurrency(MSRValueMap& parameters);

void MSRSetErrorCodeIfAbsent(MSRValueMap& parameters, int64_t code);
// Only when none of "_err", "_ev", "_el" is there.
void MSRSetErrorParameters(MSRValueMap& parameters, int64_t code, const std::string& name, int64_t maxLength,
                           const std::optional<MSRValue>& value);
// "_ev" = the name trimmed to the maximum (its first characters and
// "..."), "_el" = the value's length; nothing when "_ev" or "_el" is there.
void MSRSetErrorValueParameters(MSRValueMap& parameters, const std::string& name, int64_t maxLength,
                                const std::optional<MSRValue>& value);
int64_t MSRCountCustomParameters(const MSRValueMap& parameters, bool isItem);
// Removes public names from the end of UTF-16 order until the count is
// within the limit; internal names stay.
void MSRTrimCustomParameters(MSRValueMap& parameters, int64_t limit, bool isItem);
uint64_t MSRArrayItemCount(const MSREvent& event);
bool MSRHasScreenParameters(const MSRValueMap& parameters);
MSRValueMap MSRScreenParameters(const MSRValueMap& parameters);
// The name trimmed to `maxLength` scalar values followed by "...", or the
// name itself when it is short enough.
std::string MSRTrimmedName(const std::string& name, int64_t maxLength);

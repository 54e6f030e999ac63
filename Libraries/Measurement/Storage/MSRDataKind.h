// The kinds of data the engine validates, and the two helpers its
// validator reports a missing or mistyped value with. Plain functions;
// any queue.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "Libraries/Measurement/Core/MSRValue.h"
#include "Platform/Foundation/Value.h"

enum MSRDataKind : int64_t {
  MSRDataKindEventName = 0,
  MSRDataKindEventOrigin = 1,
  MSRDataKindEventParameterName = 2,
  MSRDataKindEventParameterValue = 3,
  MSRDataKindUserPropertyName = 4,
  MSRDataKindUserPropertyValue = 5,
  MSRDataKindScreenParameterValue = 6,
  MSRDataKindConditionalUserPropertyOrigin = 7,
  MSRDataKindConditionalUserPropertyName = 8,
  MSRDataKindConditionalUserPropertyValue = 9,
};

// The kind's label ("User property name", ...; "Object" for an unknown
// kind), followed by the suffix when it is not empty.
std::string MSRDataKindLabel(int64_t dataKind, const std::string& suffix);

// What a caller hands over where a value object is expected: nothing, a
// value object, or some other object.
using MSRValueCandidate = std::variant<std::monostate, MSRValue, ns::Value>;

// True for a value object. Nothing: failure code 1 and monitor message
// 13004 (level 3) "<label> cannot be nil". Another object: failure code 5
// and 13005 (level 3) "<label> must be a MSRValue instance. value" with
// the object's class name. The failure code is set to 0 first (when given).
bool MSRValidateValueObject(const MSRValueCandidate& object, int64_t dataKind, int64_t* failureCode);

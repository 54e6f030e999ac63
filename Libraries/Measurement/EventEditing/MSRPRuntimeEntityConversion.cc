// The entity half of MSRPRuntimeEntityConverter.
#include <limits>
#include <utility>

#include "Libraries/Measurement/EventEditing/MSRPBooleanValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPNestingGuard.h"
#include "Libraries/Measurement/EventEditing/MSRPNumberValue.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeEntityConverter.h"
#include "Libraries/Measurement/EventEditing/MSRPStatementValue.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Platform/Foundation/StringUtf16.h"

MSRPValueRef MSRPRuntimeEntityConverter::runtimeValueFromRuntimeEntity(const MSRPBRuntimeEntity& entity,
                                                                       ns::Error& error) {
  switch (MSRPBMessageGetInt32(&entity, MSRPRuntimeEntityKind)) {
    case MSRPRuntimeEntityKindString:
      return stringValueFromRuntimeEntity(entity);
    case MSRPRuntimeEntityKindNumber:
      return numberValueFromRuntimeEntity(entity);
    case MSRPRuntimeEntityKindBoolean:
      return booleanValueFromRuntimeEntity(entity);
    case MSRPRuntimeEntityKindStatement:
      return statementValueFromRuntimeEntity(entity, error);
    default:
      MSRPSetError(error, MSRPErrorEntityKind);
      return MSRPUndefinedValue::sharedInstance();
  }
}

MSRPValueRef MSRPRuntimeEntityConverter::stringValueFromRuntimeEntity(const MSRPBRuntimeEntity& entity) {
  std::optional<std::string> text = MSRPBMessageGetString(&entity, MSRPRuntimeEntityString);
  return std::make_shared<MSRPStringValue>(text ? ns::toUtf16(*text) : std::u16string());
}

MSRPValueRef MSRPRuntimeEntityConverter::numberValueFromRuntimeEntity(const MSRPBRuntimeEntity& entity) {
  double number = MSRPBMessageHasField(&entity, MSRPRuntimeEntityNumber)
                      ? MSRPBMessageGetDouble(&entity, MSRPRuntimeEntityNumber)
                      : std::numeric_limits<double>::quiet_NaN();
  return std::make_shared<MSRPNumberValue>(number);
}

MSRPValueRef MSRPRuntimeEntityConverter::booleanValueFromRuntimeEntity(const MSRPBRuntimeEntity& entity) {
  return MSRPBooleanValue::booleanValueWithBool(MSRPBMessageGetBool(&entity, MSRPRuntimeEntityBoolean));
}

MSRPValueRef MSRPRuntimeEntityConverter::statementValueFromRuntimeEntity(const MSRPBRuntimeEntity& entity,
                                                                         ns::Error& error) {
  std::optional<std::string> name = MSRPBMessageGetString(&entity, MSRPRuntimeEntityCommandName);
  if (!name) {
    MSRPSetError(error, MSRPErrorStatementWithoutName);
    return MSRPUndefinedValue::sharedInstance();
  }
  MSRPNestingGuard nesting(error);
  if (!nesting.entered()) return MSRPUndefinedValue::sharedInstance();
  MSRPValueList arguments;
  std::optional<MSRPBArray> children =
      MSRPBMessageGetArray<MSRPBRuntimeEntity>(&entity, MSRPRuntimeEntityArguments);
  if (children) {
    arguments.reserve(children->size());
    for (const MSRPBArrayElement& child : *children) {
      std::shared_ptr<MSRPBRuntimeEntity> argument = MSRPBArrayElementMessage<MSRPBRuntimeEntity>(child);
      if (!argument) {
        MSRPSetError(error, MSRPErrorEntityKind);
        return MSRPUndefinedValue::sharedInstance();
      }
      arguments.push_back(runtimeValueFromRuntimeEntity(*argument, error));
      if (MSRPHasError(error)) return MSRPUndefinedValue::sharedInstance();
    }
  }
  return std::make_shared<MSRPStatementValue>(ns::toUtf16(*name), std::move(arguments));
}

#include "Libraries/Measurement/EventEditing/MSRPKeyValueStore.h"

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"
#include "Platform/Foundation/StringUtf16.h"

MSRPKeyValueStore::MSRPKeyValueStore(const std::string& functionName, MSRPKeyValueBlock getValueBlock)
    : MSRPFunctionValue(ns::toUtf16(functionName)), getValueBlock_(std::move(getValueBlock)) {
  setValue(std::make_shared<MSRPKeyValueStoreGetValue>(getValueBlock_), u"getValue");
}

MSRPKeyValueStoreGetValue::MSRPKeyValueStoreGetValue(MSRPKeyValueBlock getValueBlock)
    : MSRPFunctionValue(u"getValue"), getValueBlock_(std::move(getValueBlock)) {}

MSRPValueRef MSRPKeyValueStoreGetValue::invokeWithArguments(const MSRPValueList& arguments,
                                                            const std::shared_ptr<MSRPScope>& scope,
                                                            ns::Error& error) {
  if (!MSRPCheckArgumentCount(arguments, 2, error)) return MSRPUndefinedValue::sharedInstance();
  MSRPValueList values = MSRPEvaluateArguments(arguments, scope, error);
  if (MSRPHasError(error)) return MSRPUndefinedValue::sharedInstance();
  std::u16string key = values[0]->stringValueOrError(error);
  if (MSRPHasError(error)) return MSRPUndefinedValue::sharedInstance();
  std::optional<std::string> answer = getValueBlock_ ? getValueBlock_(ns::toUtf8(key)) : std::nullopt;
  if (!answer) return values[1];
  std::u16string text = ns::toUtf16(*answer);
  // The answer becomes program data, so it is made under the run's bounds.
  if (!MSRPAllowString(text.size(), error)) return MSRPUndefinedValue::sharedInstance();
  return std::make_shared<MSRPStringValue>(std::move(text));
}

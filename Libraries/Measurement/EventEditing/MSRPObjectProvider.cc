#include "Libraries/Measurement/EventEditing/MSRPObjectProvider.h"

#include "Libraries/Measurement/EventEditing/MSRPRuntimeEntityConverter.h"
#include "Platform/Foundation/StringUtf16.h"

MSRPObjectProvider::MSRPObjectProvider(const std::string& name, MSRPObjectBlock block)
    : MSRPFunctionValue(ns::toUtf16(name)), block_(std::move(block)) {}

MSRPValueRef MSRPObjectProvider::invokeWithArguments(const MSRPValueList&, const std::shared_ptr<MSRPScope>&,
                                                     ns::Error& error) {
  std::optional<ns::Value> object = block_ ? block_() : std::nullopt;
  return MSRPRuntimeEntityConverter::runtimeValueFromNSObject(object ? &*object : nullptr, error);
}

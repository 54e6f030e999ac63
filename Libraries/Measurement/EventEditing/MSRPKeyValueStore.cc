#include "Libraries/Measurement/EventEditing/MSRPKeyValueStore.h"

#include "Platform/Foundation/StringUtf16.h"

MSRPKeyValueStore::MSRPKeyValueStore(const std::string& functionName, MSRPKeyValueBlock getValueBlock)
    : MSRPFunctionValue(ns::toUtf16(functionName)), getValueBlock_(std::move(getValueBlock)) {}

#include "Libraries/Measurement/EventEditing/MSRPObjectProvider.h"

#include "Platform/Foundation/StringUtf16.h"

MSRPObjectProvider::MSRPObjectProvider(const std::string& name, MSRPObjectBlock block)
    : MSRPFunctionValue(ns::toUtf16(name)), block_(std::move(block)) {}

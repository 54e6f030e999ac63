// The notation the conformance cases and the evaluator child write
// programs in: a JSON array is a statement, its first element the command
// name and the rest its arguments; strings, numbers and booleans are
// literals.
#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "Libraries/Measurement/EventEditing/MSRPBooleanValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNumberValue.h"
#include "Libraries/Measurement/EventEditing/MSRPStatementValue.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Platform/Foundation/StringUtf16.h"

namespace msrptest {

inline MSRPValueRef valueFromNotation(const nlohmann::json& node) {
  if (node.is_string()) return std::make_shared<MSRPStringValue>(ns::toUtf16(node.get<std::string>()));
  if (node.is_boolean()) return MSRPBooleanValue::booleanValueWithBool(node.get<bool>());
  if (node.is_number()) return std::make_shared<MSRPNumberValue>(node.get<double>());
  if (node.is_array() && !node.empty() && node[0].is_string()) {
    MSRPValueList arguments;
    for (size_t i = 1; i < node.size(); ++i) arguments.push_back(valueFromNotation(node[i]));
    return std::make_shared<MSRPStatementValue>(ns::toUtf16(node[0].get<std::string>()), std::move(arguments));
  }
  throw std::invalid_argument("not a literal or a statement: " + node.dump());
}

}  // namespace msrptest

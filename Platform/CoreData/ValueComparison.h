// Equality and order of attribute values as predicates and sorts see them:
// numbers by value across kinds, strings by UTF-8 bytes (optionally folded
// for case and diacritics), dates by time, data by bytes.
#pragma once

#include <optional>

#include "Platform/Foundation/Value.h"

namespace cd {

// <0, 0, >0; nullopt when either side is nil or the kinds differ.
std::optional<int> orderValues(const ns::Value& a, const ns::Value& b, bool caseInsensitive = false,
                               bool diacriticInsensitive = false);

}  // namespace cd

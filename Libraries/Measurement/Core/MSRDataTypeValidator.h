// The engine's rules for names and values. Today the reserved prefixes;
// the validator's own work adds the name and value rules.
#pragma once

#include <string_view>

class MSRDataTypeValidator {
 public:
  // Whether the name begins with one of the prefixes only the engine may
  // use: "dozaveve_", "zorori_" or "za_" (case matters).
  static bool hasReservedPrefixes(std::string_view name);
};

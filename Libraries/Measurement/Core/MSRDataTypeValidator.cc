#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"

bool MSRDataTypeValidator::hasReservedPrefixes(std::string_view name) {
  for (std::string_view prefix : {"dozaveve_", "zorori_", "za_"}) {
    if (name.starts_with(prefix)) return true;
  }
  return false;
}

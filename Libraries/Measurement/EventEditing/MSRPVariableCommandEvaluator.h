// Variables, literals and properties: assignment ("3"), declarations ("41",
// "52"), reads ("15"), array and object literals ("7", "8"), property reads
// ("16", "17") and writes ("43"), type names ("40"), undefined ("44") and
// null ("45"). Eager.
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPCommandEvaluator.h"

class MSRPVariableCommandEvaluator final : public MSRPTableCommandEvaluator {
 public:
  MSRPVariableCommandEvaluator();
};
